#pragma once
// One value read through the toolbox's registry operator, as the catalogue's version
// locators and program locators name them: a subkey below HKEY_LOCAL_MACHINE and a value.

#include <string>

// The value's text; empty when the key or value is missing or longer than the operator reads.
// An empty value name reads the key's default value.
std::string ReadMachineRegistryText(const std::string& subkey, const std::string& valueName);
