// Veltrin, the toolbox: one instance, a main window that hides into the tray, and the
// announcement the status check may show.
#include "toolbox/toolbox_program.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunToolbox(instance); }
