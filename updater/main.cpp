// Morvane, the updater: starts the main program at once, or first updates it.
#include "shared/diagnostic_log.h"
#include "shared/dll_search.h"
#include "shared/process.h"
#include "updater/process_values.h"
#include "updater/single_instance.h"
#include "updater/startup.h"
#include "updater/update_window.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything loads a library (imports are loaded already: see toolbox/main.cpp).
    RestrictDllSearch();
    // Then: while another copy updates, this one must not end or fetch anything.
    const SingleUpdater single;
    if (!single.IsFirst()) {
        // That copy did the version check; this user only needs the main program.
        Updater().InstallDir = ProgramFolder();
        OpenProgramLog(Updater().InstallDir, "Morvane");
        LogLine("another updater ran until now; starting the main program without a check of its own");
        RunProgram(Updater().MainProgram());
        return 0;
    }
    if (CheckForUpdate()) {
        RunUpdateWindow(instance);
    } else {
        RunProgram(Updater().MainProgram());
    }
    return 0;
}
