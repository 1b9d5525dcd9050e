#include "toolbox/catalogue/installed_programs.h"

#include "shared/unique_handle.h"
#include "toolbox/catalogue/registry_text.h"

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

// On 32-bit Windows there is no 64-bit view: the flag is ignored there, and scanning the
// same key twice would list every program twice.
bool MachineHas64BitView() {
#ifdef _WIN64
    return true;
#else
    BOOL underWow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &underWow64) && underWow64;
#endif
}

}  // namespace

InstalledProgramList::InstalledProgramList() {
    // Explicit views keep the 32-bit release and the 64-bit test build on the same entries.
    Scan(MachineView32);
    if (MachineHas64BitView()) Scan(MachineView64);
    Scan(UserView);
}

void InstalledProgramList::Scan(RegistryView view) {
    const RegistryPlace place = PlaceOfView(view);
    UniqueRegistryKey uninstall;
    if (::RegOpenKeyExA(place.root, kUninstallKeyPath, 0, KEY_READ | place.viewFlags, uninstall.put()) !=
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
        program.view = view;

        if (program.displayName.empty()) continue;
        if (name[0] == 'K' && name[1] == 'B') {
            m_updatePackages.push_back(std::move(program));
        } else if (!IsMicrosoftPublisher(program.publisher)) {
            m_programs.push_back(std::move(program));
        }
    }
}
