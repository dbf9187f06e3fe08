// Marking frames on the zoom view: a click starts and ends marking, moves
// reshape the current frame, a right click sets its hot spot.
// The behaviour is still to be written; the view's events already arrive here.
#include "editor/Form1.h"

void Form1::Picture1_MouseDown(int /*Button*/, int /*Shift*/, double /*X*/, double /*Y*/) {}

void Form1::Picture1_MouseMove(int /*Button*/, int /*Shift*/, double /*X*/, double /*Y*/) {}
