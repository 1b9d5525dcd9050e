// The pure part of the proxy decision: proxy texts, bypass lists and script answers.
#include "shared/proxy_choice.h"

#include <gtest/gtest.h>

namespace {

struct FixedCase {
    const char* server;
    const char* bypass;
    const char* url;
    const char* proxy;  // "" for a direct connection
};

class FixedSettings : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedSettings, ChooseTheProxyOrTheDirectRoad) {
    const FixedCase& c = GetParam();
    const ProxySettings settings{true, c.server, c.bypass, ""};
    const ProxyChoice choice = ChooseFixedProxy(settings, c.url);
    EXPECT_EQ(choice.IsDirect() ? std::string() : choice.proxies.at(0), c.proxy);
    EXPECT_EQ(choice.directAllowed, choice.IsDirect());  // a fixed proxy that fails is the failure
    EXPECT_TRUE(ChooseFixedProxy(ProxySettings{false, c.server, c.bypass, ""}, c.url).IsDirect());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FixedSettings,
    ::testing::Values(FixedCase{"p:8080", "", "http://a.example.com/x", "p:8080"},
                      FixedCase{" http=h:1; https=s:2 ", "", "http://x.com/F?tax=1", "h:1"},
                      FixedCase{"http=h:1;https=s:2", "", "HTTPS://x.com/", "s:2"},
                      FixedCase{"https=s:2", "", "http://x.com/", ""},
                      FixedCase{"p:1", "<local>", "http://intranet/", ""},
                      FixedCase{"p:1", "<local>", "http://localhost:80/", ""},
                      FixedCase{"p:1", "<local>", "http://intranet.corp/", "p:1"},
                      FixedCase{"p:1", "<local>", "http://127.0.0.1:18871/V", "p:1"},
                      FixedCase{"p:1", "127.0.0.1", "http://user@127.0.0.1:18871/V", ""},
                      FixedCase{"p:1", "a.com;*.Example.com", "http://files.example.COM:8080/", ""},
                      FixedCase{"p:1", "*.example.com", "http://example.com/", "p:1"},
                      FixedCase{"p:1", "10.*", "http://10.1.2.3/", ""},
                      FixedCase{"p:1", "10.*", "http://110.1.2.3/", "p:1"},
                      FixedCase{"p:1", "http://*.corp:8080 , *mirror*", "http://my-mirror.net/", ""},
                      FixedCase{"p:1", "*.corp", "http://x.corp.evil.com/", "p:1"}));

struct ScriptCase {
    const char* answer;
    std::vector<std::string> proxies;
    bool directAllowed;
};

class ScriptAnswers : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ScriptAnswers, ListTheProxiesAndWhetherDirectMayFollow) {
    const ProxyChoice choice = ParseScriptAnswer(GetParam().answer);
    EXPECT_EQ(choice.proxies, GetParam().proxies);
    EXPECT_EQ(choice.directAllowed, GetParam().directAllowed);
}

INSTANTIATE_TEST_SUITE_P(Table, ScriptAnswers,
                         ::testing::Values(ScriptCase{"PROXY a:1; DIRECT", {"a:1"}, true},
                                           ScriptCase{"PROXY a:1; PROXY b:2", {"a:1", "b:2"}, false},
                                           ScriptCase{"a:1;b:2", {"a:1", "b:2"}, false},
                                           ScriptCase{"DIRECT", {}, true}, ScriptCase{"", {}, true}));

}  // namespace
