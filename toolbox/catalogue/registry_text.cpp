#include "toolbox/catalogue/registry_text.h"

#include "toolbox/reg_operator.h"

RegistryPlace PlaceOfView(RegistryView view) {
    switch (view) {
        case MachineView64:
            return {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY};
        case UserView:
            return {HKEY_CURRENT_USER, 0};
        case MachineView32:
        default:
            return {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY};
    }
}

std::string ReadRegistryText(RegistryView view, const std::string& subkey, const std::string& valueName) {
    const RegistryPlace place = PlaceOfView(view);
    CRegOperator registry(place.root);
    registry.OpenKey(subkey.c_str(), place.viewFlags);
    std::string text;
    registry.ReadString(valueName.c_str(), text);
    registry.Close();
    return text;
}
