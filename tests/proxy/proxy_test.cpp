// Both programs behind a proxy, in a Wine prefix of their own (own_prefix.sh): the settings
// as Internet Options leaves them in the registry, the configuration script, every kind
// of transfer through the test proxy (tools/test_proxy.py), the bypass list, the proxy's
// Basic login and the toolbox's window asking for it, a proxy that is not there.
#include "shared/proxy_credentials.h"
#include "shared/proxy_settings.h"
#include "shared/proxy_transfer.h"
#include "shared/sha256.h"
#include "tests/proxy/internet_settings.h"
#include "tests/support/gui_driver.h"
#include "tests/support/test_server.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "tests/updater/install_folder.h"
#include "tests/updater/update_signing.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/staged_transfer.h"
#include "toolbox/proxy_login_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

constexpr DWORD kRunLimit = 60000;

bool InOwnPrefix() { return std::getenv("KESTROVA_OWN_PREFIX") != nullptr; }

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(InOwnPrefix()) << "these tests change prefix-wide settings: run them through own_prefix.sh";
        ASSERT_FALSE(TestProxy().empty()) << "scripts/test starts the test proxy and names it in KESTROVA_TEST_PROXY";
        ASSERT_TRUE(ResetTestProxy());
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kKestrovaUserKey, kProxyCredentialsValue);
    }
    void TearDown() override {
        WriteInternetSettings({});
        ResetTestProxy();
    }
};

// ---- the settings as the registry holds them ---------------------------------------------

struct ReadCase {
    InternetSettingsValues values;
    ProxySettings expected;
};

class ReadSettings : public ProxyTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadSettings, ComeThroughWinInetAndTheRegistry) {
    ASSERT_TRUE(WriteInternetSettings(GetParam().values));
    const ProxySettings read = ReadProxySettings();
    const ProxySettings& expected = GetParam().expected;
    EXPECT_EQ(read.useProxy, expected.useProxy);
    EXPECT_EQ(read.proxyServer, expected.proxyServer);
    EXPECT_EQ(read.bypassList, expected.bypassList);
    EXPECT_EQ(read.autoConfigUrl, expected.autoConfigUrl);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadSettings,
    ::testing::Values(
        ReadCase{{false, nullptr, nullptr, ""}, {false, "", "", ""}},
        ReadCase{{true, "10.0.0.1:3128", "<local>;*.example.com;10.*", ""},
                 {true, "10.0.0.1:3128", "<local>;*.example.com;10.*", ""}},
        ReadCase{{true, "http=10.0.0.1:3128;https=10.0.0.2:3129", nullptr, ""},
                 {true, "http=10.0.0.1:3128;https=10.0.0.2:3129", "", ""}},
        ReadCase{{false, "10.0.0.1:3128", nullptr, "http://10.0.0.9/proxy.pac"},
                 {false, "10.0.0.1:3128", "", "http://10.0.0.9/proxy.pac"}}));

// ---- the automatic configuration script ----------------------------------------------

TEST_F(ProxyTest, TheScriptChoosesPerUrlAndAMissingOneLeavesTheFixedSettings) {
    TestServer server("proxy-script");
    const std::string proxy = TestProxy();
    ASSERT_TRUE(server.Put("/proxy.pac", "function FindProxyForURL(url, host) {\n"
                                         "  if (shExpMatch(host, \"*.direct.test\")) return \"DIRECT\";\n"
                                         "  return \"PROXY " + proxy + "; DIRECT\";\n}\n"));
    ASSERT_TRUE(WriteInternetSettings({true, "10.0.0.1:3128", nullptr, server.Url("/proxy.pac")}));
    EXPECT_EQ(ChooseProxy("http://files.example.com/a").proxies, std::vector<std::string>{proxy});
    EXPECT_TRUE(ChooseProxy("http://a.direct.test/a").IsDirect());
    ASSERT_TRUE(WriteInternetSettings({true, "10.0.0.1:3128", nullptr, server.Url("/missing.pac")}));
    EXPECT_EQ(ChooseProxy("http://files.example.com/a").proxies, std::vector<std::string>{"10.0.0.1:3128"});
}

// ---- every transfer of both programs ---------------------------------------------------

enum class Road { ThroughProxy, Bypassed, ProxyWithLogin, ClosedProxy };

struct EndToEndCase {
    const char* name;
    Road road;
    // Over the reference server's TLS port through the proxy's CONNECT tunnel, with the
    // updater built for that port.
    bool https = false;
};

class EveryTransfer : public ProxyTest {
protected:
    void SetUp() override {
        ProxyTest::SetUp();
        ASSERT_EQ(std::string(KESTROVA_SERVER_URL), m_plain.BaseUrl());
        m_base = m_plain.BaseUrl();
        if (Https()) {
            const char* root = std::getenv("KESTROVA_TEST_TLS_SERVER");
            ASSERT_NE(root, nullptr) << "scripts/test starts the reference server with a TLS port";
            m_base = std::string(root) + "/t/tls";
            ASSERT_EQ(m_base, KESTROVA_TLS_URL);
        }
        for (const char* name : {"KestrovaSkin.dll", "upload.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), m_install.Child(name).c_str(), FALSE));
        }
    }

    virtual bool Https() const { return false; }
    const TestServer& Server() const { return Https() ? m_tls : m_plain; }
    std::string Url(const std::string& path) const { return m_base + path; }

    // A signed update of one file from 1.0 to 2.0; the URLs every run must request.
    std::vector<std::string> PublishSignedUpdate() {
        const std::string content = PatternBytes(40000, 7);
        const std::string list = "[{\"id\":\"" + Md5Of(content) + "\",\"name\":\"a.dll\",\"url\":\"" +
                                 Url("/files/a.dll") + "\",\"sha256\":\"" +
                                 LowerHex(Sha256Of(content).value_or("")) + "\"}]";
        const char* keys = std::getenv("KESTROVA_TEST_KEYS");
        const SigningKey key = SigningKey::FromBlobFile(std::string(keys != nullptr ? keys : "") + "\\current.blob");
        EXPECT_TRUE(key.valid()) << "scripts/test names the test keys' folder in KESTROVA_TEST_KEYS";
        EXPECT_TRUE(Server().Put("/files/a.dll", content) && Server().Put("/U", list) &&
                    Server().Put("/U.sig", SignUpdate(key, "2.0", list)) && Server().Put("/V", "2.0"));
        m_install.WriteSettings("1.0");
        return {Url("/V"), Url("/U"), Url("/U.sig"), Url("/files/a.dll")};
    }

    long RunUpdater(const char* program) {
        EXPECT_TRUE(::CopyFileA(BuiltFile(program).c_str(), m_install.Child("Morvane.exe").c_str(), FALSE));
        UniqueKernelHandle process = StartProgram(m_install.Child("Morvane.exe"));
        return WaitForExitCode(process.get(), kRunLimit);
    }

    InstallFolder m_install;
    TestServer m_plain{TestServer::kEndToEndNamespace, TestServer::ExactName{}};
    TestServer m_tls{"tls", TestServer::ExactName{}};
    std::string m_base;
};

class EveryTransferRoad : public EveryTransfer, public ::testing::WithParamInterface<EndToEndCase> {
protected:
    bool Https() const override { return GetParam().https; }
};

TEST_P(EveryTransferRoad, GoesTheWayTheSettingsSay) {
    const Road road = GetParam().road;
    const bool reachesServer = road != Road::ClosedProxy;
    const bool throughProxy = road == Road::ThroughProxy || road == Road::ProxyWithLogin;
    // "<local>" would bypass "localhost", the TLS port's name.
    const char* bypass = Https() ? (road == Road::Bypassed ? "*.example.com;localhost" : "*.example.com")
                                 : (road == Road::Bypassed ? "<local>;127.0.0.1" : "<local>");
    ASSERT_TRUE(WriteInternetSettings(
        {true, (road == Road::ClosedProxy ? ClosedProxy() : TestProxy()).c_str(), bypass, ""}));
    if (road == Road::ProxyWithLogin) {
        ASSERT_TRUE(RequireProxyLogin("kassa", "p:w0rd"));
        ASSERT_TRUE(SaveProxyCredentials({"kassa", "p:w0rd"}));
    }
    const std::string software = "{\"data\":[{\"name\":\"p\",\"downname\":\"p.exe\"}]}";
    const std::string folder = "{\"data\":[]}";
    const std::string package = PatternBytes(300000, 3);
    ASSERT_TRUE(Server().Put("/F", software) && Server().Put("/documents/0.json", folder) &&
                Server().Put("/soft/p.exe", package));
    std::vector<std::string> urls = PublishSignedUpdate();
    urls.insert(urls.end(), {Url("/F?tax=1"), Url("/D?tax=1&id=0"), Url("/soft/p.exe")});

    const DWORD start = ::GetTickCount();
    EXPECT_EQ(FetchCatalogueReply("software", urls[4]).body, reachesServer ? software : "");
    EXPECT_EQ(FetchCatalogueReply("document", urls[5]).body, reachesServer ? folder : "");
    DownloadJob job;
    job.url = urls[6];
    job.directory = m_install.Child("soft");
    job.targetPath = m_install.Child("soft\\p.exe");
    EXPECT_EQ(RunStagedTransfer(job).complete, reachesServer);
    EXPECT_EQ(ReadFileBytes(job.targetPath) == package, reachesServer);
    EXPECT_EQ(RunUpdater(Https() ? "MorvaneKeyedTls.exe" : "MorvaneKeyed.exe"), 0);
    EXPECT_EQ(m_install.RecordedVersion(), reachesServer ? "2.0" : "1.0");
    EXPECT_TRUE(m_install.WaitForStarts(1));  // the main program starts on every road
    // A proxy that is not there fails as fast as a server that is not there.
    EXPECT_LT(::GetTickCount() - start, reachesServer ? kRunLimit : 15000u);

    // The updater's log names the road of each request.
    const std::string taken =
        road == Road::Bypassed ? "direct" : "proxy " + (reachesServer ? TestProxy() : ClosedProxy());
    const std::string updaterLog = ReadFileBytes(m_install.Child("log\\Morvane.log"));
    EXPECT_NE(updaterLog.find("request " + urls[0] + ": " + taken), std::string::npos) << updaterLog;

    const std::vector<std::string> log = TestProxyLog();
    if (Https()) {
        // The proxy sees only the tunnels, never a request inside one.
        const std::string authority = m_base.substr(std::string("https://").size(), m_base.find("/t/") - 8);
        const auto tunnels = std::count(log.begin(), log.end(), "CONNECT " + authority + " 200");
        EXPECT_EQ(tunnels > 0, throughProxy) << ::testing::PrintToString(log);
        EXPECT_EQ(static_cast<size_t>(tunnels), log.size()) << ::testing::PrintToString(log);
        EXPECT_EQ(Server().CountRequests("/V"), reachesServer ? 1 : 0);
    } else {
        for (const std::string& url : urls) {
            const bool logged = std::find(log.begin(), log.end(), "GET " + url + " 200") != log.end();
            EXPECT_EQ(logged, throughProxy) << url;
        }
    }
    if (!throughProxy) {
        EXPECT_TRUE(log.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Roads, EveryTransferRoad,
    ::testing::Values(EndToEndCase{"ThroughTheProxy", Road::ThroughProxy},
                      EndToEndCase{"ServerOnTheBypassList", Road::Bypassed},
                      EndToEndCase{"ProxyWantsTheStoredLogin", Road::ProxyWithLogin},
                      EndToEndCase{"ProxyNotThere", Road::ClosedProxy},
                      EndToEndCase{"HttpsThroughTheProxy", Road::ThroughProxy, true},
                      EndToEndCase{"HttpsServerOnTheBypassList", Road::Bypassed, true},
                      EndToEndCase{"HttpsProxyWantsTheStoredLogin", Road::ProxyWithLogin, true},
                      EndToEndCase{"HttpsProxyNotThere", Road::ClosedProxy, true}),
    [](const ::testing::TestParamInfo<EndToEndCase>& info) { return info.param.name; });

// The user's settings could redirect an updater that cannot check what it installs.
TEST_F(EveryTransfer, AKeylessUpdaterConnectsDirectly) {
    ASSERT_TRUE(WriteInternetSettings({true, TestProxy().c_str(), nullptr, ""}));
    ASSERT_TRUE(m_plain.Put("/V", "1.0"));
    m_install.WriteSettings("1.0");
    EXPECT_EQ(RunUpdater("MorvaneKeyless.exe"), 0);
    EXPECT_EQ(m_plain.CountRequests("/V"), 1);
    EXPECT_TRUE(TestProxyLog().empty());
    EXPECT_NE(ReadFileBytes(m_install.Child("log\\Morvane.log")).find("request " + m_plain.Url("/V") + ": direct"),
              std::string::npos);
}

// ---- the toolbox asks for the login once, and the load goes again ----------------------

HWND FindLoginWindow() { return ::FindWindowA("KestrovaProxyLogin", kProxyLoginCaption); }

TEST_F(ProxyTest, TheToolboxAsksForTheLoginOnceAndTheLoadIsRetried) {
    TestServer server("proxy-login");
    ASSERT_TRUE(server.Put("/F", "{\"data\":[]}"));
    ASSERT_TRUE(WriteInternetSettings({true, TestProxy().c_str(), nullptr, ""}));
    ASSERT_TRUE(RequireProxyLogin("kassa", "secret"));
    UseBuiltSkin();
    ToolboxValuesScope restore;
    const HWND owner = ::CreateWindowExA(0, "STATIC", "Kestrova", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                         nullptr, nullptr, nullptr, nullptr);
    Toolbox().MainWindowHandle = owner;
    InstallProxyLoginPrompt();

    // The window shows inside the window thread's dispatch: a driver thread fills and clicks it.
    struct Seen {
        HWND owner = nullptr;
        bool ownerDisabled = false, passwordHidden = false, clicked = false;
        std::string okText;
    } seen;
    std::thread driver([&seen] {
        if (!WaitUntil([] { return FindLoginWindow() != nullptr; }, 20000)) return;
        const HWND login = FindLoginWindow();
        seen.owner = ::GetWindow(login, GW_OWNER);
        seen.ownerDisabled = !::IsWindowEnabled(seen.owner);
        HWND userName = nullptr;
        HWND password = nullptr;
        // The edit boxes come with the layout's first pass.
        if (!WaitUntil([&] {
                userName = ::FindWindowExA(login, nullptr, "EDIT", nullptr);
                password = userName != nullptr ? ::FindWindowExA(login, userName, "EDIT", nullptr) : nullptr;
                return password != nullptr;
            }, 5000)) {
            return;
        }
        seen.passwordHidden = (::GetWindowLongA(password, GWL_STYLE) & ES_PASSWORD) != 0;
        ::SetWindowTextA(userName, "kassa");
        ::SetWindowTextA(password, "secret");
        auto* window =
            dynamic_cast<ProxyLoginWindow*>(reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrA(login, GWLP_USERDATA)));
        CControlUI* ok = window != nullptr ? window->PaintManager().FindControl("okbtn") : nullptr;
        if (ok == nullptr) return;
        seen.okText = ok->GetText().GetData();
        ClickAtCentre(login, ok->GetPos());
        seen.clicked = true;
    });
    // A load on a worker and one on the window thread meet the 407 together: one window
    // asks for both, and neither thread waits for the other.
    std::atomic<bool> workerDone{false};
    HttpReply replies[2];
    std::thread worker([&] {
        replies[0] = HttpGetString(server.Url("/F?tax=0"), {20, 0});
        workerDone = true;
    });
    EXPECT_TRUE(WaitUntil([] { return !TestProxyLog().empty(); }));
    replies[1] = HttpGetString(server.Url("/F?tax=1"), {20, 0});
    EXPECT_TRUE(PumpMessagesUntil([&] { return workerDone.load(); }, 20000));
    worker.join();
    driver.join();
    EXPECT_TRUE(seen.clicked);
    EXPECT_EQ(seen.owner, owner);
    EXPECT_TRUE(seen.ownerDisabled);
    EXPECT_TRUE(seen.passwordHidden);
    EXPECT_EQ(seen.okText, "确定");
    EXPECT_TRUE(::IsWindowEnabled(owner));
    RemoveProxyLoginPrompt();
    ::DestroyWindow(owner);

    for (const HttpReply& reply : replies) EXPECT_EQ(reply.status, 200);
    ProxyCredentials stored;
    ASSERT_TRUE(LoadProxyCredentials(&stored));
    EXPECT_EQ(stored.userName, "kassa");
    EXPECT_EQ(stored.password, "secret");
    const std::vector<std::string> log = TestProxyLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.find(" 407") != l.npos; }), 2);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.find(" 200") != l.npos; }), 2);
}

}  // namespace
