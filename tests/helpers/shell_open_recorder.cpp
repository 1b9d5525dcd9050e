// Registered by the toolbox tests as the shell's handler of a URL scheme or a file type of
// their own: appends the address it was given (its second argument) as one line to the
// file named by its first argument, then the line "parent <executable of the process that
// started it>", and ends. Started without arguments (as a program), it appends only the
// parent's line, to its own path followed by ".record".
#include "shared/unique_handle.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string ParentExecutable() {
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return "?";
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    DWORD parent = 0;
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
    }
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == parent) return entry.szExeFile;
    }
    return "?";
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string parent = ParentExecutable();
    if (__argc >= 3) {
        UniqueStdioFile record(std::fopen(__argv[1], "ab"));
        if (!record) return 3;
        std::fprintf(record.get(), "%s\nparent %s\n", __argv[2], parent.c_str());
        return 0;
    }
    char self[MAX_PATH] = {};
    if (::GetModuleFileNameA(nullptr, self, MAX_PATH) == 0) return 2;
    UniqueStdioFile record(std::fopen((std::string(self) + ".record").c_str(), "ab"));
    if (!record) return 3;
    std::fprintf(record.get(), "parent %s\n", parent.c_str());
    return 0;
}
