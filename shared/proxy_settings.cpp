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
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_watching && ::WaitForSingleObject(m_changed.get(), 0) == WAIT_TIMEOUT) return m_settings;
        // The watch is set before the read, so that a change during the read is not lost.
        m_watching = Watch();
        m_settings = ReadProxySettings();
        return m_settings;
    }

private:
    bool Watch() {
        if (!m_key && ::RegOpenKeyExA(HKEY_CURRENT_USER, kInternetSettingsKey, 0, KEY_NOTIFY, m_key.put()) != ERROR_SUCCESS) {
            return false;
        }
        if (!m_changed) m_changed.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!m_changed) return false;
        ::ResetEvent(m_changed.get());
        const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
        return ::RegNotifyChangeKeyValue(m_key.get(), TRUE, filter | kThreadAgnosticWatch, m_changed.get(), TRUE) ==
                   ERROR_SUCCESS ||
               ::RegNotifyChangeKeyValue(m_key.get(), TRUE, filter, m_changed.get(), TRUE) == ERROR_SUCCESS;
    }

    std::mutex m_mutex;
    UniqueRegistryKey m_key;
    UniqueKernelHandle m_changed;
    bool m_watching = false;
    ProxySettings m_settings;
};

}  // namespace

ProxySettings CurrentProxySettings() {
    // Never destroyed: a worker may still ask while the program exits.
    static SettingsCache* cache = new SettingsCache();
    return cache->Current();
}
