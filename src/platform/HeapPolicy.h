#pragma once
// Picture buffers of several megabytes come and go as the window is resized
// and the views zoom and pan. By default the C library hands such blocks back
// to the system when they are freed, and every new one then faults in fresh,
// zeroed pages; keeping them in the process makes the next one cheap.
void KeepFreedBuffers();
