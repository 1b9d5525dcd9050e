#include "shared/dll_search.h"

#include <windows.h>

void RestrictDllSearch() {
    // kernel32 is in every process: asking it for a function loads nothing.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDirectories != nullptr &&
        setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_APPLICATION_DIR)) {
        return;
    }
    ::SetDllDirectoryW(L"");
}
