#include "updater/startup.h"

#include "shared/diagnostic_log.h"
#include "shared/folder_protection.h"
#include "shared/http.h"
#include "shared/process.h"
#include "shared/proxy_transfer.h"
#include "shared/text.h"
#include "shared/unique_handle.h"
#include "updater/ini_file.h"
#include "updater/installation.h"
#include "updater/process_values.h"
#include "updater/transfer_limits.h"
#include "updater/update_connection.h"
#include "updater/version_rule.h"

#include <windows.h>


void EnableShutdownPrivilege() {
    UniqueKernelHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return;
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return;
    ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
}

std::string WithoutTrailingLineEnds(std::string text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

std::string ReadLocalVersion(const std::string& settingsPath) {
    IniFile settings;
    settings.Load(settingsPath);
    return settings.GetValue("Soft", "Ver");
}

std::string FetchServerVersion(const std::string& versionUrl) {
    const HttpReply reply =
        HttpGetString(versionUrl, UpdaterReplyLimits(UpdaterLimits().versionReply), {}, &UpdateConnection());
    if (!reply.Succeeded()) {
        LogLine("version request failed: %s", DescribeTransfer(reply.result, reply.status).c_str());
        return std::string();
    }
    std::string version = WithoutTrailingLineEnds(reply.body);
    if (!version.empty() && !IsStorableValue(version)) {
        LogLine("the server's version text (%zu bytes) cannot be recorded in sys.ini: no update", version.size());
        return std::string();
    }
    return version;
}

bool IsUpdateDue(const std::string& localVersion, const std::string& serverVersion) {
    if (localVersion.empty() || serverVersion.empty()) return false;
    return IsOlderVersion(localVersion, serverVersion);
}

void ProtectInstallationFolder(const std::string& installDir) {
    Win32Result error;
    const FolderProtection protection = ProtectFolder(AnsiToWide(installDir), FolderUse::Running, &error);
    switch (protection) {
        case FolderProtection::Protected: return;
        case FolderProtection::Applied:
            LogLine("standard users could write to the installation folder: it is protected now (Administrators "
                    "and SYSTEM full control, Users read and execute)");
            return;
        case FolderProtection::Failed:
            LogLine("standard users can write to the installation folder, and protecting it failed (error %lu)",
                    error.Code());
            return;
        default:
            LogLine("the installation folder cannot be protected: %s", DescribeFolderProtection(protection));
    }
}

bool CheckForUpdate() {
    UpdaterValues& values = Updater();
    values.InstallDir = ProgramFolder();
    OpenProgramLog(values.InstallDir, "Morvane");
    LogLine("started in %s", values.InstallDir.c_str());
    // First: everything below reads the folder, and the main program runs from it.
    ProtectInstallationFolder(values.InstallDir);

    EnableShutdownPrivilege();
    // Always, before any version check: a running main program would hold its files.
    if (TerminateProcessesByName(kMainProgramExeName)) LogLine("ended the running main program");
    // Before anything else reads the installation: a crash during an installation left
    // files of two versions.
    RecoverInterruptedInstallation(values);
    curl_global_init(CURL_GLOBAL_ALL);
    // Any process of the user may set the proxy: only an updater that checks the maker's
    // signature may let it carry the update.
    SetProxyPolicy(values.UpdateKeys.empty() ? ProxyPolicy::Direct : ProxyPolicy::UserSettings);
    LogLine(values.UpdateKeys.empty() ? "no update key: every request goes directly"
                                      : "requests follow the user's proxy settings");

    const std::string localVersion = ReadLocalVersion(values.SettingsFile());
    values.ServerVersion = FetchServerVersion(values.VersionUrl);
    const bool due = IsUpdateDue(localVersion, values.ServerVersion);
    LogLine("local version \"%s\", server version \"%s\": %s", localVersion.c_str(), values.ServerVersion.c_str(),
            due ? "update due" : "no update, starting the main program");
    return due;
}
