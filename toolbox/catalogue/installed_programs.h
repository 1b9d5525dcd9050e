#pragma once
// The programs that the registry's uninstall list names, as the software catalogue
// matches them against its entries.

#include "skin/catalogue_records.h"

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
    RegistryView view = MachineView32;  // where the uninstall entry was found
};

// Scans the uninstall lists once, at construction: HKEY_LOCAL_MACHINE's 32-bit view, its
// 64-bit view, then HKEY_CURRENT_USER, in that order. The keys are opened for reading only:
// the catalogue never changes them, and a read-only open also works without elevation.
class InstalledProgramList {
public:
    InstalledProgramList();

    // Programs that entries may match, in enumeration order.
    std::vector<InstalledProgram> Programs() const { return m_programs; }
    // Entries whose subkey name begins with "KB": update packages, never matched.
    const std::vector<InstalledProgram>& UpdatePackages() const { return m_updatePackages; }

private:
    void Scan(RegistryView view);

    std::vector<InstalledProgram> m_programs;
    std::vector<InstalledProgram> m_updatePackages;
};
