#pragma once
// The current user's proxy settings, read from the system.

#include "shared/proxy_choice.h"

// Where Internet Options keeps the settings under HKEY_CURRENT_USER.
inline constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Through WinINet's per-connection options, the way the embedded browser sees them. Wine's
// WinINet gives no script address and keeps only the "http=" entry of a per-scheme proxy
// text, so the values Internet Options writes to the registry fill what it leaves out.
ProxySettings ReadProxySettings();
