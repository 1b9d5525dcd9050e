#include "shared/proxy_settings.h"

#include "shared/unique_handle.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <mutex>

namespace {

struct GlobalFree {
    void operator()(char* text) const { ::GlobalFree(text); }
};
using GlobalText = std::unique_ptr<char, GlobalFree>;

std::string RegistryText(const char* name) {
    DWORD bytes = 0;
    if (::RegGetValueA(HKEY_CURRENT_USER, kInternetSettingsKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes == 0) {
        return std::string();
    }
    std::string text(bytes, '\0');
    if (::RegGetValueA(HKEY_CURRENT_USER, kInternetSettingsKey, name, RRF_RT_REG_SZ, nullptr, &text[0], &bytes) !=
        ERROR_SUCCESS) {
        return std::string();
    }
    text.resize(text.find('\0') == std::string::npos ? bytes : text.find('\0'));
    return text;
}

}  // namespace

ProxySettings ReadProxySettings() {
    INTERNET_PER_CONN_OPTIONA options[4] = {};
    options[0].dwOption = INTERNET_PER_CONN_FLAGS;
    options[1].dwOption = INTERNET_PER_CONN_PROXY_SERVER;
    options[2].dwOption = INTERNET_PER_CONN_PROXY_BYPASS;
    options[3].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    INTERNET_PER_CONN_OPTION_LISTA list{};
    list.dwSize = sizeof(list);
    list.dwOptionCount = 4;
    list.pOptions = options;
    DWORD size = sizeof(list);
    ProxySettings settings;
    if (::InternetQueryOptionA(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size)) {
        const GlobalText server(options[1].Value.pszValue);
        const GlobalText bypass(options[2].Value.pszValue);
        const GlobalText script(options[3].Value.pszValue);
        const DWORD flags = options[0].Value.dwValue;
        settings.useProxy = (flags & PROXY_TYPE_PROXY) != 0;
        if (server) settings.proxyServer = server.get();
        if (bypass) settings.bypassList = bypass.get();
        if ((flags & PROXY_TYPE_AUTO_PROXY_URL) != 0 && script) settings.autoConfigUrl = script.get();
    }
    // The registry's text is the same setting in full where WinINet shortened it.
    const std::string registryServer = RegistryText("ProxyServer");
    if (!registryServer.empty() && registryServer.find(settings.proxyServer) != std::string::npos) {
        settings.proxyServer = registryServer;
    }
    if (settings.bypassList.empty()) settings.bypassList = RegistryText("ProxyOverride");
    if (settings.autoConfigUrl.empty()) settings.autoConfigUrl = RegistryText("AutoConfigURL");
    return settings;
}

namespace {

// Not before Windows 8: there a watch ends (and signals) with the thread that set it, which
// costs one read more, nothing else.
constexpr DWORD kThreadAgnosticWatch = 0x10000000;  // REG_NOTIFY_THREAD_AGNOSTIC

class SettingsCache {
public:
    ProxySettings Current() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (watching_ && ::WaitForSingleObject(changed_.get(), 0) == WAIT_TIMEOUT) return settings_;
        // The watch is set before the read, so that a change during the read is not lost.
        watching_ = Watch();
        settings_ = ReadProxySettings();
        return settings_;
    }

private:
    bool Watch() {
        if (!key_ && ::RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_NOTIFY, key_.put()) != ERROR_SUCCESS) {
            return false;
        }
        if (!changed_) changed_.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!changed_) return false;
        ::ResetEvent(changed_.get());
        const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        return ::RegNotifyChangeKeyValue(key_.get(), TRUE, filter | kThreadAgnosticWatch, changed_.get(), TRUE) ==
                   ERROR_SUCCESS ||
               ::RegNotifyChangeKeyValue(key_.get(), TRUE, filter, changed_.get(), TRUE) == ERROR_SUCCESS;
    }

    std::mutex mutex_;
    UniqueRegistryKey key_;
    UniqueKernelHandle changed_;
    bool watching_ = false;
    ProxySettings settings_;
};

}  // namespace

ProxySettings CurrentProxySettings() {
    // Never destroyed: a worker may still ask while the program exits.
    static SettingsCache* cache = new SettingsCache();
    return cache->Current();
}
