#pragma once
// The real registry as the tests arrange and check it: single values written, read and
// removed, and a value saved on arrival and put back when the test is done with it.
// viewFlags: KEY_WOW64_32KEY or KEY_WOW64_64KEY for one view of HKEY_LOCAL_MACHINE, or 0.

#include <windows.h>

#include <string>

// REG_SZ with its NUL, the key created when missing; "" names the key's default value.
bool WriteRegistryText(HKEY root, const std::string& subKey, const std::string& valueName, const std::string& text,
                       REGSAM viewFlags = 0);
// Exactly these bytes, the key created when missing.
bool WriteRegistryRaw(HKEY root, const std::string& subKey, const std::string& valueName, DWORD type,
                      const std::string& bytes);
// False when the value (or its key) is missing; bytes as stored.
bool ReadRegistryRaw(HKEY root, const std::string& subKey, const std::string& valueName, DWORD* type,
                     std::string* bytes);
// False when the value (or its key) is missing; text gets the bytes up to the first NUL.
bool ReadRegistryText(HKEY root, const std::string& subKey, const std::string& valueName, std::string* text,
                      DWORD* type = nullptr);
// True when the value is gone (or never was).
bool DeleteRegistryValue(HKEY root, const std::string& subKey, const std::string& valueName);
bool RegistryKeyExists(HKEY root, const std::string& subKey);

// One value below a root key, as it is now; the destructor puts it back (type and bytes),
// deletes it when it was missing, and deletes the key again when the test created it.
class SavedRegistryValue {
public:
    SavedRegistryValue(HKEY root, std::string subKey, std::string valueName);
    ~SavedRegistryValue();
    SavedRegistryValue(const SavedRegistryValue&) = delete;
    SavedRegistryValue& operator=(const SavedRegistryValue&) = delete;

    bool SetText(const std::string& text) const { return WriteRegistryText(m_root, m_subKey, m_valueName, text); }
    bool SetRaw(DWORD type, const std::string& bytes) const {
        return WriteRegistryRaw(m_root, m_subKey, m_valueName, type, bytes);
    }
    bool Remove() const { return DeleteRegistryValue(m_root, m_subKey, m_valueName); }
    bool Read(std::string* text, DWORD* type = nullptr) const {
        return ReadRegistryText(m_root, m_subKey, m_valueName, text, type);
    }

private:
    HKEY m_root;
    std::string m_subKey;
    std::string m_valueName;
    bool m_keyExisted = false;
    bool m_valueExisted = false;
    DWORD m_type = 0;
    std::string m_bytes;
};
