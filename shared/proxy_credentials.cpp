#include "shared/proxy_credentials.h"

#include <windows.h>
#include <wincrypt.h>

#include <memory>
#include <vector>

namespace {

struct LocalFree {
    void operator()(BYTE* bytes) const { ::LocalFree(bytes); }
};
using LocalBytes = std::unique_ptr<BYTE, LocalFree>;

// Plain text: the user name, a NUL, the password. The text never stays in freed memory.
std::string Joined(const ProxyCredentials& credentials) {
    return credentials.userName + std::string(1, '\0') + credentials.password;
}

void Wipe(std::string& text) { ::SecureZeroMemory(&text[0], text.size()); }

}  // namespace

bool SaveProxyCredentials(const ProxyCredentials& credentials) {
    std::string plain = Joined(credentials);
    DATA_BLOB in{static_cast<DWORD>(plain.size()), reinterpret_cast<BYTE*>(&plain[0])};
    DATA_BLOB out{};
    const BOOL protectedOk =
        ::CryptProtectData(&in, L"Kestrova proxy", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out);
    Wipe(plain);
    if (!protectedOk) return false;
    const LocalBytes sealed(out.pbData);
    return ::RegSetKeyValueA(HKEY_CURRENT_USER, kKestrovaUserKey, kProxyCredentialsValue, REG_BINARY, sealed.get(),
                             out.cbData) == ERROR_SUCCESS;
}

bool LoadProxyCredentials(ProxyCredentials* credentials) {
    DWORD bytes = 0;
    if (::RegGetValueA(HKEY_CURRENT_USER, kKestrovaUserKey, kProxyCredentialsValue, RRF_RT_REG_BINARY, nullptr, nullptr,
                       &bytes) != ERROR_SUCCESS ||
        bytes == 0) {
        return false;
    }
    std::vector<BYTE> sealed(bytes);
    if (::RegGetValueA(HKEY_CURRENT_USER, kKestrovaUserKey, kProxyCredentialsValue, RRF_RT_REG_BINARY, nullptr,
                       sealed.data(), &bytes) != ERROR_SUCCESS) {
        return false;
    }
    DATA_BLOB in{bytes, sealed.data()};
    DATA_BLOB out{};
    if (!::CryptUnprotectData(&in, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return false;
    const LocalBytes opened(out.pbData);
    std::string plain(reinterpret_cast<const char*>(opened.get()), out.cbData);
    ::SecureZeroMemory(opened.get(), out.cbData);
    const size_t separator = plain.find('\0');
    const bool valid = separator != std::string::npos;
    if (valid) {
        credentials->userName = plain.substr(0, separator);
        credentials->password = plain.substr(separator + 1);
    }
    Wipe(plain);
    return valid;
}
