#pragma once
// The programs that the registry's uninstall list names, as the software catalogue
// matches them against its entries.

#include <string>
#include <vector>

inline constexpr char kUninstallKeyPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct InstalledProgram {
    std::string displayName;
    std::string displayVersion;
    std::string installLocation;
    std::string publisher;
    std::string installLocationAgain;  // the second read of "InstallLocation", which matching copies
    std::string uninstallString;
    std::string unused;
    std::string subkeyPath;  // uninstall path + "\" + subkey name
};

// Scans the uninstall list once, at construction. The key is opened for reading only:
// the catalogue never changes it, and a read-only open also works without elevation.
class InstalledProgramList {
public:
    InstalledProgramList();

    // Programs that entries may match, in enumeration order.
    std::vector<InstalledProgram> Programs() const { return programs_; }
    // Entries whose subkey name begins with "KB": update packages, never matched.
    const std::vector<InstalledProgram>& UpdatePackages() const { return updatePackages_; }

private:
    std::vector<InstalledProgram> programs_;
    std::vector<InstalledProgram> updatePackages_;
};
