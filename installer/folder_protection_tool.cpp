// Gives the installation folder the protection Program Files has, for the installer, which
// runs it from its temporary folder. Packed into the installer only, never installed.
//
//   KestrovaFolderProtection.exe check <folder>   may the installer use the folder?
//   KestrovaFolderProtection.exe apply <folder>   the same, then protects it (creating it
//                                                 when it is missing)
//
// Exit code 0: protected, or (check) it can be; 1 wrong arguments; 2 a drive's root; 3 it
// holds files of other programs; 4 not a folder on a local drive; 5 the protection could
// not be given.
#include "shared/dll_search.h"
#include "shared/folder_protection.h"
#include "shared/unique_handle.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

int ExitCode(FolderProtection protection) {
    switch (protection) {
        case FolderProtection::Protected:
        case FolderProtection::Needed:
        case FolderProtection::Applied: return 0;
        case FolderProtection::DriveRoot: return 2;
        case FolderProtection::ForeignFiles: return 3;
        case FolderProtection::NotLocal: return 4;
        case FolderProtection::Failed: return 5;
    }
    return 5;
}

using UniqueArgumentList = UniqueHandle<NullableHandleTraits<LPWSTR*, ::LocalFree>>;  // CommandLineToArgvW

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    RestrictDllSearch();
    // The folder as the installer has it: any character, not only those of the code page.
    int count = 0;
    const UniqueArgumentList arguments(::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!arguments || count != 3 || arguments.get()[2][0] == L'\0') return 1;
    const std::wstring mode = arguments.get()[1];
    const std::wstring folder = arguments.get()[2];
    if (mode == L"check") return ExitCode(DecideFolderProtection(ExamineFolder(folder), FolderUse::Installing));
    if (mode == L"apply") return ExitCode(ProtectFolder(folder, FolderUse::Installing));
    return 1;
}
