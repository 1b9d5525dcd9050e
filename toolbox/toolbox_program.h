#pragma once
// The main program from start to exit: one instance, its values, the start entry of the
// updater, the skin, the main and announcement windows, the status timer and the loop.

#include <windows.h>

// Always 0.
int RunToolbox(HINSTANCE instance);
