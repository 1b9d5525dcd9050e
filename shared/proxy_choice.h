#pragma once
// How a URL is reached under the user's proxy settings: the pure part, without the system.

#include <string>
#include <vector>

// The current user's proxy settings as Internet Options keeps them.
struct ProxySettings {
    bool useProxy = false;      // "use a proxy server" is ticked
    std::string proxyServer;    // "host:port", or the per-scheme form "http=host:port;https=host:port"
    std::string bypassList;     // ";"-separated host patterns, "<local>" for names without a dot
    std::string autoConfigUrl;  // the automatic configuration script; empty when none
};

// The proxies to try in order ("host:port"); empty means a direct connection. A connection
// that fails through every proxy is tried directly only when directAllowed.
struct ProxyChoice {
    std::vector<std::string> proxies;
    bool directAllowed = true;
    bool IsDirect() const { return proxies.empty(); }
};

// "http" and "host" of "http://user@host:port/path"; the host in lower case, empty when none.
std::string SchemeOfUrl(const std::string& url);
std::string HostOfUrl(const std::string& url);

// The proxy for the scheme in a proxy-server text: the whole text when it has no "=",
// else the entry "scheme=host:port"; empty when the text names none for the scheme.
std::string ProxyForScheme(const std::string& proxyServer, const std::string& scheme);

// Whether the host matches the bypass list: "<local>" matches names without a dot, other
// entries are host patterns where "*" stands for any run of characters (letter case ignored).
// Loopback is matched only when the list names it.
bool IsBypassed(const std::string& bypassList, const std::string& host);

// What the fixed settings (no script) choose for the URL.
ProxyChoice ChooseFixedProxy(const ProxySettings& settings, const std::string& url);

// A script's answer ("PROXY a:1; PROXY b:2; DIRECT", or WinHTTP's "a:1;b:2") as a choice;
// "DIRECT" anywhere allows the direct road after the proxies.
ProxyChoice ParseScriptAnswer(const std::string& answer);
