// Veltrin, the toolbox: one instance, a main window that hides into the tray, and the
// announcement the status check may show.
#include "shared/dll_search.h"
#include "toolbox/toolbox_program.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before COM, the browser or the shell load anything. The skin library and the system
    // libraries this program imports are already loaded: the program's folder comes first
    // for them, and every one of those the skin imports is in System32, which the system
    // searches before the current folder or PATH (scripts/package checks the imports).
    RestrictDllSearch();
    return RunToolbox(instance);
}
