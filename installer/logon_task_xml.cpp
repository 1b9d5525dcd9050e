// Writes the updater's logon task definition for an installation folder into a file, for
// the installer's "schtasks /create /xml": the installer registers the very text the
// toolbox registers. Packed into the installer only, never installed.
//
//   KestrovaTaskXml.exe <installation folder> <output file>
//
// Exit code 0 when the file is complete, 1 on wrong arguments, 2 when it cannot be written.
#include "shared/dll_search.h"
#include "shared/logon_task.h"
#include "shared/unique_handle.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    if (__argc != 3 || __argv[1][0] == '\0') return 1;
    const std::string bytes = LogonTaskXmlFile(__argv[1]);
    UniqueStdioFile file(std::fopen(__argv[2], "wb"));
    if (!file) return 2;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    return written && std::fclose(file.release()) == 0 ? 0 : 2;
}
