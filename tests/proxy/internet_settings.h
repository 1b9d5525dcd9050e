#pragma once
// Writes the proxy values of Internet Options straight into this prefix's registry, the
// way the control panel leaves them, and talks to the test proxy (tools/test_proxy.py).

#include <string>
#include <vector>

// null: the value is removed.
struct InternetSettingsValues {
    bool proxyEnable = false;
    const char* proxyServer = nullptr;
    const char* proxyOverride = nullptr;
    std::string autoConfigUrl;  // empty: removed
};
bool WriteInternetSettings(const InternetSettingsValues& values);

// The test proxy ("127.0.0.1:port") and a port beside it where nothing listens (scripts/test).
std::string TestProxy();
std::string ClosedProxy();
// The control requests of the test proxy; each true when it answered.
bool ResetTestProxy();
bool RequireProxyLogin(const std::string& user, const std::string& password);
// "METHOD URL STATUS" of every request since the last reset.
std::vector<std::string> TestProxyLog();
