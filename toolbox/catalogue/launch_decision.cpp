#include "toolbox/catalogue/launch_decision.h"

#include <windows.h>

#include <cctype>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "X:\..." and nothing else: no UNC ("\\host\share"), no "\\?\" or "\\.\" prefix (device
// and UNC paths among them), no drive-relative "X:name".
bool IsDriveAbsolute(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           IsSeparator(path[2]);
}

// The full path with "." and ".." resolved, the way the system opens it; empty when it
// cannot be formed.
std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH];
    const DWORD length = ::GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string();
}

// The folder a value names, without a trailing separator: itself when it ends in one,
// else the folder of the file it names. Empty when it cannot be formed.
std::string FolderOfValue(const std::string& value) {
    std::string folder = FullPath(value.substr(0, value.find_last_of("\\/") + 1));
    if (!folder.empty() && IsSeparator(folder.back())) folder.pop_back();
    return folder;
}

bool IsInside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() + 1 && ::_strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
           path[folder.size()] == '\\';
}

LaunchDecision Refuse(const char* why) { return {LaunchRoad::Refused, std::string(), why}; }

}  // namespace

LaunchDecision DecideLaunch(RegistryView view, const std::string& registryText, const std::string& suffix) {
    if (registryText.empty()) return Refuse("the registry names no path");
    const std::string joined = registryText + suffix;
    // Written by the user's own programs: at most what the user may start anyway.
    if (view == UserView) return {LaunchRoad::AsUser, joined, nullptr};
    if (suffix.find("..") != std::string::npos || suffix.find(':') != std::string::npos ||
        (!suffix.empty() && IsSeparator(suffix[0]))) {
        return Refuse("the catalogue's suffix leaves the registry's folder");
    }
    if (!IsDriveAbsolute(registryText)) return Refuse("the registry's path is not a local absolute path");
    if (::GetDriveTypeA((registryText.substr(0, 2) + "\\").c_str()) != DRIVE_FIXED) {
        return Refuse("the registry's path is not on a fixed drive");
    }
    const std::string full = FullPath(joined);
    const std::string folder = FolderOfValue(registryText);
    // A device name ("C:\x\CON") resolves to "\\.\CON": not inside any folder.
    if (full.empty() || folder.empty() || !IsInside(full, folder)) {
        return Refuse("the program's path lies outside the registry's folder");
    }
    const DWORD attributes = ::GetFileAttributesA(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Refuse("no program is there");
    }
    return {LaunchRoad::Elevated, full, nullptr};
}
