#include "updater/install_update.h"

#include "shared/diagnostic_log.h"
#include "shared/process.h"
#include "shared/unique_handle.h"
#include "updater/installation.h"
#include "updater/process_values.h"

#include <tlhelp32.h>

#include <cstring>
#include <mutex>
#include <utility>

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
    if (FindProcessByName(kMainProgramExeName) == 0) return;
    const HWND mainWindow = ::FindWindowA(nullptr, kMainWindowTitle);
    if (mainWindow == nullptr) return;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(mainWindow, &owner);
    if (owner == 0 || !IsMainProgramProcess(owner) || !IsInSession(owner, CurrentSessionId())) return;
    UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, owner));
    if (process && ::TerminateProcess(process.get(), 4)) LogLine("ended the main program (process %lu)", owner);
}

namespace {

std::mutex verifiedMutex;
std::optional<std::vector<std::string>> verifiedFiles;
KnownFiles knownFiles;

}  // namespace

void SetVerifiedUpdate(std::optional<std::vector<std::string>> names, KnownFiles known) {
    std::lock_guard<std::mutex> lock(verifiedMutex);
    verifiedFiles = std::move(names);
    knownFiles = std::move(known);
}

std::optional<std::vector<std::string>> TakeVerifiedUpdate(KnownFiles* known) {
    std::lock_guard<std::mutex> lock(verifiedMutex);
    if (known != nullptr) *known = std::exchange(knownFiles, KnownFiles{});
    return std::exchange(verifiedFiles, std::nullopt);
}

bool InstallDownloadedFiles(const std::optional<std::vector<std::string>>& files, const KnownFiles& known) {
    EndMainWindowOwner();

    const UpdaterValues& values = Updater();
    bool installed = false;
    FileRecords records;
    if (!files) {
        LogLine("update abandoned: nothing was downloaded to install");
    } else if ((installed = InstallFiles(values, *files, known, &records))) {
        LogLine("installed version \"%s\"", values.ServerVersion.c_str());
    } else {
        LogLine("update abandoned: the installation failed, the installed files were restored");
    }
    // Also after a failed installation (rolled back): the update is abandoned and the
    // main program, ended at start-up, must not stay closed.
    LogLine(RunProgram(values.MainProgram()) ? "started the main program" : "could not start the main program");
    // Once the main program is on its way: it need not wait for the flush. Records of a
    // version that did not go in would be of no use; without them the next update hashes
    // every file.
    if (installed) SaveInstalledRecords(values.InstallDir, records);
    RemoveTemporaryDirectory(values);
    return installed;
}

void InstallUpdate() {
    KnownFiles known;
    const std::optional<std::vector<std::string>> files = TakeVerifiedUpdate(&known);
    InstallDownloadedFiles(files, known);
    ::PostQuitMessage(0);
}
