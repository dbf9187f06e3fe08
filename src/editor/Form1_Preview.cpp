// The animation preview in the group box Frame1 and the mask-colour command.
// The behaviour is still to be written; the controls' events already arrive here.
#include "editor/Form1.h"

void Form1::cmdPlay_Click() {}

void Form1::cmdStep_Click() {}

void Form1::Timer1_Timer() {}

void Form1::HScroll2_Change() {}

void Form1::HScroll3_Change() {}

void Form1::Picture5_DblClick() {}

void Form1::Label6_DblClick() {}
