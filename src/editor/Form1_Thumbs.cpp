// The window's answers to the thumbnails' Click, DoDelete and SetDelay events.
// The behaviour is still to be written; the events already arrive here with the
// thumbnail's index.
#include "editor/Form1.h"

void Form1::ucSF_Click(int /*Index*/, int16_t /*Shift*/) {}

void Form1::ucSF_DoDelete(int /*Index*/) {}

void Form1::ucSF_SetDelay(int /*Index*/, int16_t /*Val*/) {}
