#include "shared/process.h"

#include "shared/unique_handle.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
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

bool IsProgramOfSession(const PROCESSENTRY32& entry, const std::string& exeName, DWORD sessionId) {
    return exeName == entry.szExeFile && IsInSession(entry.th32ProcessID, sessionId);
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

DWORD FindProcessByName(const std::string& exeName, DWORD sessionId) {
    DWORD found = 0;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (!IsProgramOfSession(entry, exeName, sessionId)) return true;
        found = entry.th32ProcessID;
        return false;
    });
    return found;
}

bool TerminateProcessesByName(const std::string& exeName, DWORD sessionId) {
    bool matched = false;
    bool allEnded = true;
    ForEachProcess([&](const PROCESSENTRY32& entry) {
        if (!IsProgramOfSession(entry, exeName, sessionId)) return true;
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

std::string InstallDirFromPath(const std::string& executablePath) {
    const size_t separator = executablePath.find_last_of("\\/");
    if (separator == std::string::npos) return executablePath;
    return executablePath.substr(0, separator);
}

std::string ProgramFolder() {
    // A full buffer means the path was cut short: try again with twice the room, up to the
    // longest path the system hands out.
    constexpr size_t kLongestPath = 32768;
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size() || path.size() >= kLongestPath) {
            return InstallDirFromPath(std::string(path.data(), std::min<size_t>(length, path.size())));
        }
        path.resize(path.size() * 2);
    }
}
