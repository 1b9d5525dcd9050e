#include "shared/dll_search.h"

#include <windows.h>

DllSearch RestrictDllSearch() {
    // kernel32 is in every process: asking it for a function loads nothing.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefaultDirectories != nullptr &&
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR)) {
        return DllSearch::SystemAndProgramFolder;
    }
    return ::SetDllDirectoryW(L"") ? DllSearch::WithoutCurrentFolder : DllSearch::Unrestricted;
}
