#include "tests/proxy/internet_settings.h"

#include "shared/http.h"
#include "shared/proxy_settings.h"
#include "tests/support/registry.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

namespace {

bool SetOrRemove(const char* name, const char* text) {
    return text == nullptr ? DeleteRegistryValue(HKEY_CURRENT_USER, kInternetSettingsKey, name)
                           : WriteRegistryText(HKEY_CURRENT_USER, kInternetSettingsKey, name, text);
}

std::string FromEnvironment(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

// Straight to the proxy's control API, never through a proxy.
bool Control(const std::string& request, std::string* reply = nullptr) {
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return false;
    std::string received;
    const std::string url = "http://" + TestProxy() + request;
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_PROXY, "");
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteStringCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &received);
    curl_easy_setopt(easy.get(), CURLOPT_TIMEOUT, 10L);
    long status = 0;
    const bool ok = curl_easy_perform(easy.get()) == CURLE_OK &&
                    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status == 200;
    if (reply != nullptr) *reply = received;
    return ok;
}

}  // namespace

bool WriteInternetSettings(const InternetSettingsValues& values) {
    const DWORD enable = values.proxyEnable ? 1 : 0;
    return WriteRegistryRaw(HKEY_CURRENT_USER, kInternetSettingsKey, "ProxyEnable", REG_DWORD,
                            std::string(reinterpret_cast<const char*>(&enable), sizeof(enable))) &&
           SetOrRemove("ProxyServer", values.proxyServer) && SetOrRemove("ProxyOverride", values.proxyOverride) &&
           SetOrRemove("AutoConfigURL", values.autoConfigUrl.empty() ? nullptr : values.autoConfigUrl.c_str());
}

std::string TestProxy() { return FromEnvironment("KESTROVA_TEST_PROXY"); }
std::string ClosedProxy() { return FromEnvironment("KESTROVA_TEST_CLOSED_PROXY"); }

bool ResetTestProxy() { return Control("/_proxy/reset"); }

bool RequireProxyLogin(const std::string& user, const std::string& password) {
    return Control("/_proxy/auth?user=" + user + "&password=" + password);
}

std::vector<std::string> TestProxyLog() {
    std::string reply;
    std::vector<std::string> lines;
    if (!Control("/_proxy/log", &reply)) return lines;
    std::istringstream text(reply);
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}
