// Cut, Copy and Paste of frames (the Edit menu) and the paste itself.
// The behaviour is still to be written; the menu items already arrive here.
#include "editor/Form1.h"

void Form1::mnuCut_Click() {}

void Form1::mnuCopy_Click() {}

void Form1::mnuPaste_Click() {}

void Form1::DoPaste(int16_t /*iType*/) {}
