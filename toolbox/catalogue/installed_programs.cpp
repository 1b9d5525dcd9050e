#include "toolbox/catalogue/installed_programs.h"

#include "toolbox/catalogue/registry_key.h"

namespace {

constexpr DWORD kValueBufferSize = 255;
constexpr DWORD kNameBufferSize = 255;

// The value's text up to its first NUL; empty when it is missing or does not fit.
std::string ReadValue(HKEY key, const char* name) {
    char buffer[kValueBufferSize + 1] = {};  // one spare byte keeps a full buffer terminated
    DWORD size = kValueBufferSize;
    if (::RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return std::string(buffer);
}

bool IsMicrosoftPublisher(const std::string& publisher) {
    return publisher == "Microsoft Corporation" || publisher == "Microsoft";
}

}  // namespace

InstalledProgramList::InstalledProgramList() {
    // The 32-bit view is the one a 32-bit program sees; asking for it explicitly keeps
    // the 64-bit test build on the same entries.
    UniqueRegistryKey uninstall;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKeyPath, 0, KEY_READ | KEY_WOW64_32KEY, uninstall.put()) !=
        ERROR_SUCCESS) {
        return;
    }
    for (DWORD index = 0;; ++index) {
        char name[kNameBufferSize + 1] = {};
        DWORD nameSize = kNameBufferSize;
        const LONG status = ::RegEnumKeyExA(uninstall.get(), index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_MORE_DATA) continue;  // a name too long for the buffer: skip that subkey
        if (status != ERROR_SUCCESS) break;       // ERROR_NO_MORE_ITEMS, or a key gone meanwhile
        if (name[0] == '\0') continue;

        // Opened through the uninstall key so that the subkey comes from the same view.
        UniqueRegistryKey subkey;
        if (::RegOpenKeyExA(uninstall.get(), name, 0, KEY_READ, subkey.put()) != ERROR_SUCCESS) continue;

        InstalledProgram program;
        program.displayName = ReadValue(subkey.get(), "DisplayName");
        program.displayVersion = ReadValue(subkey.get(), "DisplayVersion");
        program.installLocation = ReadValue(subkey.get(), "InstallLocation");
        program.publisher = ReadValue(subkey.get(), "Publisher");
        program.installLocationAgain = ReadValue(subkey.get(), "InstallLocation");
        program.uninstallString = ReadValue(subkey.get(), "UninstallString");
        program.subkeyPath = std::string(kUninstallKeyPath) + "\\" + name;

        if (program.displayName.empty()) continue;
        if (name[0] == 'K' && name[1] == 'B') {
            updatePackages_.push_back(std::move(program));
        } else if (!IsMicrosoftPublisher(program.publisher)) {
            programs_.push_back(std::move(program));
        }
    }
}
