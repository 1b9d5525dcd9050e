#pragma once
// One updater per machine. The logon task and the Run value both start it where UAC is
// off, and a second user may log on while the first user's updater installs; a second
// copy must neither end programs nor fetch anything while the first one works.

#include "shared/unique_handle.h"

#include <windows.h>

// In the Global namespace, so that copies in other sessions see it too.
inline constexpr char kUpdaterMutexName[] = "Global\\KestrovaMorvane";
// How long a second copy waits for the first before it starts the main program anyway:
// long enough for an update on a slow office line, short enough that a user whose
// updater is stuck behind a forgotten update window still gets the main program.
inline constexpr DWORD kWaitForOtherUpdaterMs = 5 * 60 * 1000;

class SingleUpdater {
public:
    // Claims the name for the life of the object. When another copy holds it, waits until
    // that copy ends or waitMs pass; this copy is then not the first either way.
    explicit SingleUpdater(const char* name = kUpdaterMutexName, DWORD waitMs = kWaitForOtherUpdaterMs);

    // False when another copy ran at start: this one only starts the main program and ends.
    bool IsFirst() const { return m_first; }

private:
    UniqueKernelHandle m_mutex;
    bool m_first = true;
};
