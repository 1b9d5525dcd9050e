#include "toolbox/catalogue/open_and_launch.h"

#include "shared/files.h"
#include "shared/process.h"
#include "shared/text.h"
#include "toolbox/catalogue/registry_text.h"

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

void LaunchInstalledProgram(const DuiSoft& entry, HWND owner) {
    if (entry.execName.empty()) return;
    const std::string path = InstalledProgramPath(entry.execName, static_cast<RegistryView>(entry.registryView));
    if (!path.empty() && FileExists(path)) {
        RunProgram(path);
    } else {
        ::MessageBoxA(owner, kInstallPathMissingText, kInstallPathMissingCaption, MB_OK);
    }
}
