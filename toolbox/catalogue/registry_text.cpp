#include "toolbox/catalogue/registry_text.h"

#include "toolbox/reg_operator.h"

std::string ReadMachineRegistryText(const std::string& subkey, const std::string& valueName) {
    CRegOperator registry;  // HKEY_LOCAL_MACHINE
    registry.OpenKey(subkey.c_str());
    std::string text;
    registry.ReadString(valueName.c_str(), text);
    registry.Close();
    return text;
}
