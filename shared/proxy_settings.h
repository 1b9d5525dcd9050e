#pragma once
// The current user's proxy settings, read from the system.

#include "shared/proxy_choice.h"

// Where Internet Options keeps the settings under HKEY_CURRENT_USER.
inline constexpr char kInternetSettingsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// Through WinINet's per-connection options, the way the embedded browser sees them. Wine's
// WinINet gives no script address and keeps only the "http=" entry of a per-scheme proxy
// text, so the values Internet Options writes to the registry fill what it leaves out.
ProxySettings ReadProxySettings();

// The settings as ReadProxySettings gives them, read again only once the registry key that
// holds them has changed: under Wine one read costs tens of milliseconds, on every request
// of an update. Safe on any thread.
ProxySettings CurrentProxySettings();
