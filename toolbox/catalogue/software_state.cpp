#include "toolbox/catalogue/software_state.h"

#include "shared/text.h"
#include "toolbox/catalogue/registry_text.h"

namespace {

constexpr std::string::size_type kLastMatchPosition = 10;

// True when the version that oldVer locates ("subkey:value", in the view where the program
// was found) is recorded and sorts before the catalogue's version, byte by byte as unsigned bytes.
bool InstalledVersionIsOlder(const DuiSoft& entry) {
    const std::vector<std::string> locator = SplitString(entry.oldVer, ':');
    if (locator.size() < 2) return false;
    const std::string installed = ReadRegistryText(static_cast<RegistryView>(entry.registryView), locator[0], locator[1]);
    return !installed.empty() && installed.compare(entry.ver) < 0;
}

}  // namespace

bool ProgramMatchesEntry(const InstalledProgram& program, const std::string& entryName) {
    // An entry without a name would otherwise match every program at position 0.
    if (entryName.empty()) return false;
    const auto position = program.displayName.find(entryName);
    return position != std::string::npos && position <= kLastMatchPosition;
}

void DecideSoftwareState(const std::vector<InstalledProgram>& programs, const std::vector<std::string>& packageNames,
                         DuiSoft& entry) {
    for (const std::string& packageName : packageNames) {
        if (packageName == entry.downName) entry.state = Downloaded;
    }
    // Every match overrides the one before: the last matching program wins.
    for (const InstalledProgram& program : programs) {
        if (!ProgramMatchesEntry(program, entry.name)) continue;
        entry.state = Installed;
        entry.uninstallString = program.uninstallString;
        entry.installLocation = program.installLocationAgain;
        entry.installedVersion = program.displayVersion;
        entry.registryView = program.view;
        if (InstalledVersionIsOlder(entry)) entry.state = UpdateAvailable;
    }
}
