#include "updater/install_update.h"

#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/folder_copier.h"
#include "shared/process.h"
#include "shared/unique_handle.h"
#include "updater/ini_file.h"
#include "updater/process_values.h"

#include <tlhelp32.h>

#include <cstring>

bool IsMainProgramProcess(DWORD processId) {
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == processId) return std::strcmp(entry.szExeFile, kMainProgramExeName) == 0;
    }
    return false;
}

void EndMainWindowOwner() {
    if (FindProcessByName() == 0) return;
    const HWND mainWindow = ::FindWindowA(nullptr, kMainWindowTitle);
    if (mainWindow == nullptr) return;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(mainWindow, &owner);
    if (owner == 0 || !IsMainProgramProcess(owner) || !IsInSession(owner, CurrentSessionId())) return;
    UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, owner));
    if (process && ::TerminateProcess(process.get(), 4)) LogLine("ended the main program (process %lu)", owner);
}

bool InstallDownloadedFiles() {
    EndMainWindowOwner();

    const UpdaterValues& values = Updater();
    const std::string tempDir = values.TempDirectory();
    FolderCopier copier;
    const bool copied = copier.Copy(tempDir, values.InstallDir);
    if (copied) {
        LogLine("installed the downloaded files (the replaced ones kept with the suffix \"bak\")");
        IniFile settings;
        settings.Load(values.SettingsFile());
        settings.SetValue("Soft", "Ver", values.ServerVersion);
        settings.Dump();
        const bool saved = settings.Save(values.SettingsFile()) == 1;
        LogLine(saved ? "recorded version \"%s\" in sys.ini" : "could not record version \"%s\" in sys.ini",
                values.ServerVersion.c_str());
    } else {
        LogLine("update abandoned: copying the downloaded files failed, the installed ones were restored");
    }
    // Also after a failed copy (rolled back by the copier): the update is abandoned and
    // the main program, ended at start-up, must not stay closed.
    LogLine(RunProgram(values.MainProgram()) ? "started the main program" : "could not start the main program");
    RemoveTree(tempDir.c_str());
    return copied;
}

void InstallUpdate() {
    InstallDownloadedFiles();
    ::PostQuitMessage(0);
}
