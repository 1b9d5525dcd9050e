#include "toolbox/reg_operator.h"

#include <cstring>

namespace {

// Only offered this much of the buffer, so longer values fail instead of being cut.
constexpr DWORD kReadLimit = 200;
constexpr size_t kReadBufferSize = 2048;

struct RootName {
    const char* name;
    HKEY key;
};

const RootName kRoots[] = {
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
    {"HKEY_PERFORMANCE_TEXT", HKEY_PERFORMANCE_TEXT},
    {"HKEY_PERFORMANCE_NLSTEXT", HKEY_PERFORMANCE_NLSTEXT},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", HKEY_DYN_DATA},
};

// Closing a predefined root would at best do nothing; for the per-user roots it drops the
// handle the process caches, so the roots are never closed.
bool IsPredefinedRoot(HKEY key) {
    for (const RootName& root : kRoots) {
        if (root.key == key) return true;
    }
    return false;
}

}  // namespace

CRegOperator::CRegOperator(HKEY root) : m_hKey(root) {}

CRegOperator::~CRegOperator() { Close(); }

void CRegOperator::Release() {
    if (m_hKey != nullptr && !IsPredefinedRoot(m_hKey)) ::RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

BOOL CRegOperator::SetRootByName(const char* name) {
    if (name == nullptr) return FALSE;
    for (const RootName& root : kRoots) {
        if (std::strcmp(root.name, name) == 0) {
            Release();
            m_hKey = root.key;
            return TRUE;
        }
    }
    return FALSE;
}

BOOL CRegOperator::OpenKey(const char* subKey, REGSAM viewFlags) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(m_hKey, subKey, 0, KEY_READ | KEY_WRITE | viewFlags, &opened) != ERROR_SUCCESS) return FALSE;
    Release();
    m_hKey = opened;
    return TRUE;
}

BOOL CRegOperator::ReadString(const char* valueName, std::string& out) {
    char buffer[kReadBufferSize] = {};
    DWORD size = kReadLimit;
    DWORD type = 0;
    if (::RegQueryValueExA(m_hKey, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS) {
        return FALSE;
    }
    out.assign(buffer);
    return TRUE;
}

BOOL CRegOperator::WriteString(const char* valueName, const char* text) {
    const DWORD size = static_cast<DWORD>(std::strlen(text) + 1);
    return ::RegSetValueExA(m_hKey, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

BOOL CRegOperator::SaveKey(const char* fileName) {
    return ::RegSaveKeyA(m_hKey, fileName, nullptr) == ERROR_SUCCESS;
}

BOOL CRegOperator::DeleteValue(const char* valueName) {
    return ::RegDeleteValueA(m_hKey, valueName) == ERROR_SUCCESS;
}

void CRegOperator::Close() { Release(); }
