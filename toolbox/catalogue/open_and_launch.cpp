#include "toolbox/catalogue/open_and_launch.h"

#include "shared/files.h"
#include "shared/process.h"
#include "shared/text.h"
#include "shared/diagnostic_log.h"
#include "toolbox/catalogue/registry_text.h"
#include "toolbox/catalogue/user_shell.h"

#include <windows.h>

void OpenLocalFile(const std::string& path) {
    const bool endsInExe = path.size() >= 3 && path.compare(path.size() - 3, 3, "exe") == 0;
    if (endsInExe) {
        RunProgram(path);
    } else {
        ShellOpen(path);
    }
}

std::string InstalledProgramPath(const std::string& execName, RegistryView view) {
    const std::vector<std::string> pieces = SplitString(execName, ':');
    if (pieces.empty()) return std::string();
    // One piece reads the key's default value.
    std::string path = ReadRegistryText(view, pieces[0], pieces.size() >= 2 ? pieces[1] : std::string());
    if (pieces.size() >= 3) path += pieces[2];
    return path;
}

void OpenDocument(const std::string& path, HWND owner) { OpenAsUser(path, owner); }

LaunchDecision DecideInstalledLaunch(const std::string& execName, RegistryView view) {
    const std::vector<std::string> pieces = SplitString(execName, ':');
    if (pieces.empty()) return {LaunchRoad::Refused, std::string(), "the entry locates no program"};
    const std::string value = ReadRegistryText(view, pieces[0], pieces.size() >= 2 ? pieces[1] : std::string());
    return DecideLaunch(view, value, pieces.size() >= 3 ? pieces[2] : std::string());
}

void LaunchInstalledProgram(const DuiSoft& entry, HWND owner) {
    if (entry.execName.empty()) return;
    const LaunchDecision decision =
        DecideInstalledLaunch(entry.execName, static_cast<RegistryView>(entry.registryView));
    switch (decision.road) {
        case LaunchRoad::Elevated:
            RunProgram(decision.path);
            break;
        case LaunchRoad::AsUser:
            LogLine("the program %s, found in the user's own registry, starts with the user's rights",
                    decision.path.c_str());
            OpenAsUser(decision.path, owner);
            break;
        case LaunchRoad::Refused:
            LogLine("the program of \"%s\" is not started: %s", entry.execName.c_str(), decision.refusal);
            ::MessageBoxA(owner, kInstallPathMissingText, kInstallPathMissingCaption, MB_OK);
            break;
    }
}
