// A program the catalogue tests have started, directly or through the shell: it appends
// one line describing how it was started to the file named by KESTROVA_CALL_RECORD
// (inherited from the test process) and ends at once.
//   line: "<STARTUPINFO dwFlags> <wShowWindow>|<command line>"
#include "shared/unique_handle.h"

#include <cstdio>

namespace {

// Several starts may finish at once; holding a named mutex keeps their lines whole.
class RecordLock {
public:
    RecordLock() : m_mutex(::CreateMutexA(nullptr, FALSE, "KestrovaCallRecorder")) {
        m_held = m_mutex && ::WaitForSingleObject(m_mutex.get(), 10000) == WAIT_OBJECT_0;
    }
    ~RecordLock() {
        if (m_held) ::ReleaseMutex(m_mutex.get());
    }
    RecordLock(const RecordLock&) = delete;
    RecordLock& operator=(const RecordLock&) = delete;

private:
    UniqueKernelHandle m_mutex;
    bool m_held = false;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char recordPath[MAX_PATH] = {};
    if (::GetEnvironmentVariableA("KESTROVA_CALL_RECORD", recordPath, MAX_PATH) == 0) return 2;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoA(&startup);
    RecordLock lock;
    UniqueStdioFile record(std::fopen(recordPath, "a"));
    if (!record) return 3;
    std::fprintf(record.get(), "%lu %u|%s\n", startup.dwFlags, startup.wShowWindow, ::GetCommandLineA());
    return 0;
}
