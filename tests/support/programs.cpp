#include "tests/support/programs.h"

#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

#include <cstdio>

UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments,
                                const std::string& workingDir) {
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // The wine server has been seen to refuse a start now and then under load; one more try,
    // and the reason on record, keep such a hiccup from passing for a fault of the program.
    for (int attempt = 0;; ++attempt) {
        if (::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &info)) {
            break;
        }
        std::fprintf(stderr, "CreateProcess(%s) failed: error %lu\n", path.c_str(), ::GetLastError());
        if (attempt == 1) return UniqueKernelHandle();
        ::Sleep(500);
    }
    UniqueKernelHandle thread(info.hThread);
    return UniqueKernelHandle(info.hProcess);
}

long WaitForExitCode(HANDLE process, DWORD timeoutMilliseconds) {
    if (process == nullptr || ::WaitForSingleObject(process, timeoutMilliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) return -1;
    return static_cast<long>(code);
}

HWND TopLevelWindowOf(DWORD processId, const char* className, bool visibleOnly) {
    for (HWND window = ::FindWindowExA(nullptr, nullptr, className, nullptr); window != nullptr;
         window = ::FindWindowExA(nullptr, window, className, nullptr)) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == processId && (!visibleOnly || ::IsWindowVisible(window))) return window;
    }
    return nullptr;
}

HWND WaitForToolboxStartUp(HANDLE process, DWORD timeoutMilliseconds) {
    const DWORD id = ::GetProcessId(process);
    const DWORD start = ::GetTickCount();
    HWND main = nullptr;
    WaitUntil(
        [&] {
            main = TopLevelWindowOf(id, "Veltrin", true);
            return (main != nullptr && TopLevelWindowOf(id, "UIGGFrame") != nullptr) ||
                   ::WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
        },
        timeoutMilliseconds);
    if (main == nullptr || TopLevelWindowOf(id, "UIGGFrame") == nullptr) return nullptr;
    const DWORD spent = ::GetTickCount() - start;
    const DWORD left = spent < timeoutMilliseconds ? timeoutMilliseconds - spent : 0;
    DWORD_PTR ignored = 0;
    if (::SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_NORMAL, left, &ignored) == 0) return nullptr;
    return ::IsWindowVisible(main) ? main : nullptr;
}

std::string StandInProgramPath() { return BuiltFile("kestrova_stand_in.exe"); }
