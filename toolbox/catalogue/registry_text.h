#pragma once
// One value read through the toolbox's registry operator, as the catalogue's version
// locators and program locators name them: a subkey and a value, in the registry view where
// the entry's program was found.

#include "skin/catalogue_records.h"

#include <windows.h>

#include <string>

// The root key and view flags of a view.
struct RegistryPlace {
    HKEY root;
    REGSAM viewFlags;
};
RegistryPlace PlaceOfView(RegistryView view);

// The value's text; empty when the key or value is missing or longer than the operator reads.
// An empty value name reads the key's default value.
std::string ReadRegistryText(RegistryView view, const std::string& subkey, const std::string& valueName);
