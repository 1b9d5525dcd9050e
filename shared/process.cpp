#include "shared/process.h"

#include "shared/unique_handle.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <vector>

namespace {

// Calls visit(entry) for each process in a fresh snapshot until it returns false.
template <typename Visit>
void ForEachProcess(Visit visit) {
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (!visit(entry)) return;
    }
}

bool IsMainProgram(const PROCESSENTRY32& entry, DWORD sessionId) {
    return std::strcmp(entry.szExeFile, kMainProgramExeName) == 0 && IsInSession(entry.th32ProcessID, sessionId);
}

}  // namespace

bool RunProgram(const std::string& programPath) {
    // The path goes in as the application name so that a path with spaces cannot be read
    // as a shorter program plus arguments; the command line repeats it quoted as argv[0].
    std::string quoted = "\"" + programPath + "\"";
    std::vector<char> commandLine(quoted.begin(), quoted.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        return false;
    }
    UniqueKernelHandle process(info.hProcess);
    UniqueKernelHandle thread(info.hThread);
    return true;
}

bool ShellOpen(const std::string& path) {
    ::ShellExecuteA(nullptr, "open", path.c_str(), "", "", SW_SHOWNORMAL);
    return true;
}

DWORD CurrentSessionId() {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return session;
}

bool IsInSession(DWORD processId, DWORD sessionId) {
    DWORD session = 0;
    return ::ProcessIdToSessionId(processId, &session) && session == sessionId;
}

DWORD FindProcessByName(DWORD sessionId) {
    DWORD found = 0;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (!IsMainProgram(entry, sessionId)) return true;
        found = entry.th32ProcessID;
        return false;
    });
    return found;
}

bool TerminateProcessesByName(DWORD sessionId) {
    bool matched = false;
    bool allEnded = true;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (!IsMainProgram(entry, sessionId)) return true;
        matched = true;
        UniqueKernelHandle process(::OpenProcess(PROCESS_ALL_ACCESS, TRUE, entry.th32ProcessID));
        if (!process || !::TerminateProcess(process.get(), 0)) {
            allEnded = false;
            return false;
        }
        return true;
    });
    return matched && allEnded;
}
