#include "shared/tls_policy.h"

#include <cstring>

namespace {

bool IsHttpsUrl(const std::string& url) { return url.size() >= 8 && _strnicmp(url.c_str(), "https://", 8) == 0; }

}  // namespace

TlsOptions TlsOptionsFor(const std::string& url, const std::string& caFile) {
    TlsOptions options;
    options.verifyPeer = 1;
    options.verifyHost = 2;
    options.sslOptions = CURLSSLOPT_REVOKE_BEST_EFFORT;
    options.protocols = "http,https";
    options.redirectProtocols = IsHttpsUrl(url) ? "https" : "http,https";
    options.caFile = caFile;
    return options;
}

const char* BuiltInCaFile() {
#ifdef KESTROVA_TEST_CA_FILE
    return KESTROVA_TEST_CA_FILE;
#else
    return "";
#endif
}

CURLcode ApplyTlsOptions(CURL* easy, const std::string& url) {
    const TlsOptions options = TlsOptionsFor(url, BuiltInCaFile());
    const CURLcode results[] = {
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, options.protocols.c_str()),
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, options.redirectProtocols.c_str()),
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, options.verifyPeer),
        curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, options.verifyHost),
        curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, options.sslOptions),
        curl_easy_setopt(easy, CURLOPT_CAINFO, options.caFile.empty() ? nullptr : options.caFile.c_str()),
    };
    for (const CURLcode result : results) {
        if (result != CURLE_OK) return result;
    }
    return CURLE_OK;
}
