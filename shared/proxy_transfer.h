#pragma once
// Every transfer of both programs goes the way the user's proxy settings choose for its URL.

#include "shared/proxy_choice.h"

#include <curl/curl.h>

#include <string>

// The proxy's "authentication required" answer.
inline constexpr long kProxyAuthenticationRequired = 407;

enum class ProxyPolicy {
    UserSettings,  // the current user's Internet Options
    Direct,        // never a proxy (an updater without the maker's key: see SetProxyPolicy)
};
// Process-wide. The user's settings are writable by any of the user's processes, so an
// elevated updater that cannot check what it installs must not let them redirect it.
void SetProxyPolicy(ProxyPolicy policy);

// What the settings choose for the URL; the script is asked where one is set, and the
// fixed settings apply when it cannot be fetched or run.
ProxyChoice ChooseProxy(const std::string& url);

// Sets the proxy options on the handle: the proxy with the stored Basic credentials, or
// none at all (also none from the environment) when proxy is empty.
void ApplyProxy(CURL* easy, const std::string& proxy);

// Sets the TLS options (shared/tls_policy.h), then runs the transfer set up on easy
// through the chosen proxies in turn, then directly where the settings allow it, and logs
// the road each request took. Only a proxy that cannot be reached gives way to the next
// road; any answer from it is the answer.
CURLcode PerformThroughProxy(CURL* easy, const std::string& url);

// The program's way to ask the user for the proxy's credentials; true once new ones are
// stored. Called on the thread of the transfer that met the proxy's 407, possibly by several
// at once: transfers asking together should share one question. None by default.
using ProxyCredentialPrompt = bool (*)();
void SetProxyCredentialPrompt(ProxyCredentialPrompt prompt);

// After a 407 on this thread's last transfer: true when credentials newer than the ones it
// sent are stored (asking the user when needed), so the request is worth one more try.
// False without a prompt, or once the user declined.
bool RenewProxyCredentials();
