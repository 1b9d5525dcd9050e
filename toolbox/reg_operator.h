#pragma once
// The main program's wrapper around one registry key: every value it reads or changes in
// the registry goes through here. Results are booleans (TRUE exactly when the wrapped call
// returned ERROR_SUCCESS); the error code itself is not kept.

#include <windows.h>

#include <string>

class CRegOperator {
public:
    explicit CRegOperator(HKEY root = HKEY_LOCAL_MACHINE);
    virtual ~CRegOperator();
    CRegOperator(const CRegOperator&) = delete;
    CRegOperator& operator=(const CRegOperator&) = delete;

    // Exact, case-sensitive names of the predefined roots ("HKEY_LOCAL_MACHINE" and so on).
    // An unknown name leaves the current key in place.
    BOOL SetRootByName(const char* name);
    // Opens subKey below the current key for reading and writing; on failure the current
    // key stays, so later reads fail against the root instead of reaching another key.
    // viewFlags: 0 for the process's own view, or KEY_WOW64_32KEY / KEY_WOW64_64KEY.
    BOOL OpenKey(const char* subKey, REGSAM viewFlags = 0);
    // Values of up to 199 bytes plus their NUL; longer ones fail. Data of any type is taken
    // as bytes up to the first zero byte. On failure out is left as it was.
    BOOL ReadString(const char* valueName, std::string& out);
    // REG_SZ including the terminating NUL.
    BOOL WriteString(const char* valueName, const char* text);
    BOOL SaveKey(const char* fileName);
    BOOL DeleteValue(const char* valueName);
    void Close();

    HKEY Key() const { return m_hKey; }

private:
    // Drops the current key, closing it when it is one that OpenKey opened.
    void Release();

    HKEY m_hKey;
};
