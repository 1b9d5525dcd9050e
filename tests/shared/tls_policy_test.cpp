// The TLS options every transfer gets: those of a release build are pinned here, and the
// library this build links must take them.
#include "shared/http.h"
#include "shared/tls_policy.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TlsPolicy, AReleaseChecksPeerHostAndRevocationBestEffortAndNeverRedirectsHttpsToHttp) {
    const TlsOptions https{1, 2, CURLSSLOPT_REVOKE_BEST_EFFORT, "http,https", "https", ""};
    EXPECT_EQ(TlsOptionsFor("https://updates.example.com/V", ""), https);
    EXPECT_EQ(TlsOptionsFor("HTTPS://updates.example.com/V", ""), https);
    // A file a signed list names over plain http may be sent on to either.
    const TlsOptions http{1, 2, CURLSSLOPT_REVOKE_BEST_EFFORT, "http,https", "http,https", ""};
    EXPECT_EQ(TlsOptionsFor("http://cdn.example.com/a.dll", ""), http);
    EXPECT_EQ(TlsOptionsFor("https:/x", "").redirectProtocols, "http,https");
    EXPECT_EQ(TlsOptionsFor("https://x", "Z:\\ca.pem").caFile, "Z:\\ca.pem");
}

TEST(TlsPolicy, TheLinkedLibraryIsSchannelAndTakesEveryOption) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    ASSERT_NE(info->ssl_version, nullptr);
    EXPECT_NE(std::strstr(info->ssl_version, "Schannel"), nullptr) << info->ssl_version;
    EXPECT_TRUE(info->features & CURL_VERSION_SSL);
    UniqueEasyHandle easy(curl_easy_init());
    ASSERT_TRUE(easy);
    EXPECT_EQ(ApplyTlsOptions(easy.get(), "https://localhost/V"), CURLE_OK);
    EXPECT_EQ(ApplyTlsOptions(easy.get(), "http://localhost/V"), CURLE_OK);
}

}  // namespace
