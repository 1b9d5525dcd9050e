// Morvane, the updater: starts the main program at once, or first updates it.
#include "shared/process.h"
#include "updater/process_values.h"
#include "updater/startup.h"
#include "updater/update_window.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    if (CheckForUpdate()) {
        RunUpdateWindow(instance);
    } else {
        RunProgram(Updater().MainProgram());
    }
    return 0;
}
