#include "tests/support/registry.h"

#include "shared/unique_handle.h"

namespace {

UniqueRegistryKey OpenKey(HKEY root, const std::string& subKey, REGSAM access) {
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(root, subKey.c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

UniqueRegistryKey OpenOrCreateKey(HKEY root, const std::string& subKey, REGSAM viewFlags) {
    UniqueRegistryKey key;
    if (::RegCreateKeyExA(root, subKey.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | viewFlags, nullptr, key.put(),
                          nullptr) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

bool SetValue(HKEY root, const std::string& subKey, const std::string& valueName, DWORD type,
              const std::string& bytes, REGSAM viewFlags) {
    UniqueRegistryKey key = OpenOrCreateKey(root, subKey, viewFlags);
    return key && ::RegSetValueExA(key.get(), valueName.empty() ? nullptr : valueName.c_str(), 0, type,
                                   reinterpret_cast<const BYTE*>(bytes.data()),
                                   static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

}  // namespace

bool WriteRegistryText(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& text,
                       REGSAM viewFlags) {
    return SetValue(root, subKey, valueName, REG_SZ, std::string(text.c_str(), text.size() + 1), viewFlags);
}

bool WriteRegistryRaw(HKEY root, const std::string& subKey, const std::string& valueName, DWORD type,
                      const std::string& bytes) {
    return SetValue(root, subKey, valueName, type, bytes, 0);
}

bool ReadRegistryRaw(HKEY root, const std::string& subKey, const std::string& valueName, DWORD* type,
                     std::string* bytes) {
    UniqueRegistryKey key = OpenKey(root, subKey, KEY_READ);
    if (!key) return false;
    DWORD size = 0;
    if (::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, type, nullptr, &size) != ERROR_SUCCESS) return false;
    bytes->assign(size, '\0');
    if (size == 0) return true;
    return ::RegQueryValueExA(key.get(), valueName.c_str(), nullptr, type, reinterpret_cast<BYTE*>(&(*bytes)[0]),
                              &size) == ERROR_SUCCESS;
}

bool ReadRegistryText(HKEY root, const std::string& subKey, const std::string& valueName, std::string* text,
                      DWORD* type) {
    DWORD valueType = 0;
    std::string bytes;
    if (!ReadRegistryRaw(root, subKey, valueName, &valueType, &bytes)) return false;
    if (type != nullptr) *type = valueType;
    if (text != nullptr) *text = std::string(bytes.c_str());
    return true;
}

bool DeleteRegistryValue(HKEY root, const std::string& subKey, const std::string& valueName) {
    UniqueRegistryKey key = OpenKey(root, subKey, KEY_READ | KEY_WRITE);
    if (!key) return true;
    const LONG result = ::RegDeleteValueA(key.get(), valueName.c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

bool RegistryKeyExists(HKEY root, const std::string& subKey) { return static_cast<bool>(OpenKey(root, subKey, KEY_READ)); }

SavedRegistryValue::SavedRegistryValue(HKEY root, std::string subKey, std::string valueName)
    : m_root(root), m_subKey(std::move(subKey)), m_valueName(std::move(valueName)) {
    m_keyExisted = RegistryKeyExists(m_root, m_subKey);
    m_valueExisted = ReadRegistryRaw(m_root, m_subKey, m_valueName, &m_type, &m_bytes);
}

SavedRegistryValue::~SavedRegistryValue() {
    if (!m_keyExisted) {
        ::RegDeleteTreeA(m_root, m_subKey.c_str());
        return;
    }
    if (m_valueExisted) {
        SetRaw(m_type, m_bytes);
    } else {
        Remove();
    }
}
