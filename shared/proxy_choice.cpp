#include "shared/proxy_choice.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Pieces between any of the separators, trimmed, empty ones dropped.
std::vector<std::string> Pieces(const std::string& text, const char* separators) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find_first_of(separators, start);
        const size_t length = end == std::string::npos ? std::string::npos : end - start;
        const std::string piece = Trimmed(text.substr(start, length));
        if (!piece.empty()) pieces.push_back(piece);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return pieces;
}

// "*" matches any run of characters; both texts already in lower case.
bool WildcardMatch(const char* pattern, const char* text) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*text != '\0') {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == *text) {
            ++pattern;
            ++text;
        } else if (star != nullptr) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

// A bypass entry may carry a scheme ("http://host") or a port ("host:8080"); the host
// pattern is what is compared.
std::string HostPatternOf(std::string entry) {
    const size_t scheme = entry.find("://");
    if (scheme != std::string::npos) entry = entry.substr(scheme + 3);
    const size_t port = entry.find(':');
    if (port != std::string::npos) entry = entry.substr(0, port);
    return Lower(entry);
}

}  // namespace

std::string SchemeOfUrl(const std::string& url) {
    const size_t colon = url.find("://");
    return colon == std::string::npos ? std::string() : Lower(url.substr(0, colon));
}

std::string HostOfUrl(const std::string& url) {
    const size_t colon = url.find("://");
    const size_t start = colon == std::string::npos ? 0 : colon + 3;
    std::string authority = url.substr(start, url.find_first_of("/?#", start) - start);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) authority = authority.substr(at + 1);
    if (!authority.empty() && authority[0] == '[') return Lower(authority.substr(1, authority.find(']') - 1));
    return Lower(authority.substr(0, authority.find(':')));
}

std::string ProxyForScheme(const std::string& proxyServer, const std::string& scheme) {
    if (proxyServer.find('=') == std::string::npos) return Trimmed(proxyServer);
    for (const std::string& entry : Pieces(proxyServer, "; ")) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && Lower(Trimmed(entry.substr(0, equals))) == scheme) {
            return Trimmed(entry.substr(equals + 1));
        }
    }
    return std::string();
}

bool IsBypassed(const std::string& bypassList, const std::string& host) {
    const std::string name = Lower(host);
    for (const std::string& entry : Pieces(bypassList, "; ,")) {
        if (Lower(entry) == "<local>") {
            const bool plainName = name.find_first_of(".:") == std::string::npos;
            if (!name.empty() && plainName) return true;
            continue;
        }
        const std::string pattern = HostPatternOf(entry);
        if (!pattern.empty() && WildcardMatch(pattern.c_str(), name.c_str())) return true;
    }
    return false;
}

ProxyChoice ChooseFixedProxy(const ProxySettings& settings, const std::string& url) {
    ProxyChoice choice;
    if (!settings.useProxy || IsBypassed(settings.bypassList, HostOfUrl(url))) return choice;
    const std::string proxy = ProxyForScheme(settings.proxyServer, SchemeOfUrl(url));
    if (proxy.empty()) return choice;
    choice.proxies.push_back(proxy);
    choice.directAllowed = false;  // a proxy that fails is the failure: the office has no other road
    return choice;
}

ProxyChoice ParseScriptAnswer(const std::string& answer) {
    ProxyChoice choice;
    choice.directAllowed = false;
    for (const std::string& entry : Pieces(answer, ";")) {
        const std::vector<std::string> words = Pieces(entry, " \t");
        if (words.size() == 1 && Lower(words[0]) == "direct") {
            choice.directAllowed = true;
        } else if (words.size() == 1) {
            choice.proxies.push_back(words[0]);
        } else if (words.size() == 2 && (Lower(words[0]) == "proxy" || Lower(words[0]) == "http")) {
            choice.proxies.push_back(words[1]);
        }
    }
    if (choice.proxies.empty()) choice.directAllowed = true;
    return choice;
}
