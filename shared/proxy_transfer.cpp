#include "shared/proxy_transfer.h"

#include "shared/diagnostic_log.h"
#include "shared/http.h"
#include "shared/proxy_credentials.h"
#include "shared/proxy_script.h"
#include "shared/proxy_settings.h"
#include "shared/tls_policy.h"

#include <atomic>

namespace {

std::atomic<ProxyPolicy> g_policy{ProxyPolicy::UserSettings};
std::atomic<ProxyCredentialPrompt> g_prompt{nullptr};
std::atomic<bool> g_declined{false};
std::atomic<unsigned> g_credentialsEpoch{0};  // raised whenever the user stores new credentials
thread_local unsigned t_epochSent = 0;

// Failures that say the proxy itself was not reached, not what it answered.
bool ProxyUnreachable(CURLcode result) {
    return result == CURLE_COULDNT_RESOLVE_PROXY || result == CURLE_COULDNT_CONNECT;
}

}  // namespace

void SetProxyPolicy(ProxyPolicy policy) { g_policy = policy; }

void SetProxyCredentialPrompt(ProxyCredentialPrompt prompt) { g_prompt = prompt; }

ProxyChoice ChooseProxy(const std::string& url) {
    if (g_policy.load() == ProxyPolicy::Direct) return ProxyChoice{};
    const ProxySettings settings = CurrentProxySettings();
    std::string answer;
    if (!settings.autoConfigUrl.empty() && AskProxyScript(settings.autoConfigUrl, url, &answer)) {
        return ParseScriptAnswer(answer);
    }
    return ChooseFixedProxy(settings, url);
}

void ApplyProxy(CURL* easy, const std::string& proxy) {
    // An empty text also keeps libcurl from taking a proxy from the environment.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    if (proxy.empty()) return;
    t_epochSent = g_credentialsEpoch.load();
    ProxyCredentials credentials;
    if (LoadProxyCredentials(&credentials)) {
        curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, credentials.userName.c_str());
        curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, credentials.password.c_str());
    }
}

CURLcode PerformThroughProxy(CURL* easy, const std::string& url) {
    // Every request passes here, so no transfer can leave out the certificate checks.
    const CURLcode tls = ApplyTlsOptions(easy, url);
    if (tls != CURLE_OK) {
        LogLine("request %s: TLS options refused: %s", url.c_str(), curl_easy_strerror(tls));
        return tls;
    }
    const ProxyChoice choice = ChooseProxy(url);
    std::vector<std::string> roads = choice.proxies;
    if (choice.IsDirect() || choice.directAllowed) roads.push_back(std::string());
    CURLcode result = CURLE_FAILED_INIT;
    for (size_t road = 0; road < roads.size(); ++road) {
        ApplyProxy(easy, roads[road]);
        result = curl_easy_perform(easy);
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        const std::string how = roads[road].empty() ? "direct" : "proxy " + roads[road];
        LogLine("request %s: %s, %s", url.c_str(), how.c_str(), DescribeTransfer(result, status).c_str());
        if (!ProxyUnreachable(result) || roads[road].empty()) break;
    }
    return result;
}

bool RenewProxyCredentials() {
    const ProxyCredentialPrompt prompt = g_prompt.load();
    if (prompt == nullptr) return false;
    // Another transfer's prompt may have stored new ones since this one sent its own.
    unsigned epoch = t_epochSent;
    if (g_credentialsEpoch.load() != epoch) return true;
    if (g_declined.load()) return false;
    // No lock is held while the user answers: the prompt lets transfers that meet the 407
    // at the same time share one question, and a window thread must never wait on a worker.
    if (!prompt()) {
        g_declined = true;
        return false;
    }
    // One answer shared by several transfers raises the epoch once.
    g_credentialsEpoch.compare_exchange_strong(epoch, epoch + 1);
    return true;
}
