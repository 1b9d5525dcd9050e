#pragma once
// An owned registry key handle for the catalogue's direct reads of the registry.

#include "shared/unique_handle.h"

struct RegistryKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::RegCloseKey(v); }
};
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
