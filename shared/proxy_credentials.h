#pragma once
// The proxy's Basic credentials the user entered in the toolbox, kept per user and
// encrypted with DPAPI so that only this user's logon can read them back. Both programs use them.

#include <string>

inline constexpr char kKestrovaUserKey[] = "Software\\Kestrova";
inline constexpr char kProxyCredentialsValue[] = "ProxyCredentials";

struct ProxyCredentials {
    std::string userName;
    std::string password;
};

// False when none are stored or they cannot be decrypted (another user's, damaged).
bool LoadProxyCredentials(ProxyCredentials* credentials);
bool SaveProxyCredentials(const ProxyCredentials& credentials);
