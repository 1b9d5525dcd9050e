// Every road over HTTPS, once per certificate the reference server's TLS port shows: the
// built updater and toolbox for that port (MorvaneTls.exe, VeltrinTls.exe) in temporary
// installation folders, the toolbox's catalogue load and package download driven through
// its window. A refused certificate or a redirect from https to plain
// http ends each road in its own defined state, and the log says why.
#include "shared/com_helpers.h"
#include "shared/files.h"
#include "shared/logon_task.h"
#include "tests/support/accessible_tree.h"
#include "tests/support/gui_driver.h"
#include "tests/support/registry.h"
#include "tests/support/scheduled_task.h"
#include "tests/support/test_server.h"
#include "tests/updater/install_folder.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kRunLimit = 60000;
constexpr char kNamespace[] = "tls";

struct TlsCase {
    const char* name;
    const char* certificate;  // as tools/test_certificates.py names them
    bool redirectToHttp;      // the file or package answers with a redirect to plain http
};

void PrintTo(const TlsCase& c, std::ostream* out) { *out << c.name; }

bool Accepted(const TlsCase& c) { return std::string(c.certificate) == "good" && !c.redirectToHttp; }

// What the log says of a refused transfer.
std::string RefusalText(const TlsCase& c) {
    return curl_easy_strerror(c.redirectToHttp ? CURLE_UNSUPPORTED_PROTOCOL : CURLE_PEER_FAILED_VERIFICATION);
}

class OverHttps : public ::testing::TestWithParam<TlsCase> {
protected:
    void SetUp() override {
        const char* root = std::getenv("KESTROVA_TEST_TLS_SERVER");
        ASSERT_NE(root, nullptr) << "scripts/test starts the reference server with a TLS port";
        m_tlsBase = std::string(root) + "/t/" + kNamespace;
        ASSERT_EQ(m_tlsBase, KESTROVA_TLS_URL) << "configure the test build with KESTROVA_TLS_PORT of the server";
        ASSERT_TRUE(m_server.ServeCertificate(GetParam().certificate));
    }
    void TearDown() override { m_server.ServeCertificate("good"); }

    // The path at the TLS port; in the redirecting cases, sent on to the plain port.
    std::string ServedOverTls(const std::string& path, const std::string& content) {
        EXPECT_TRUE(m_server.Put(path, content));
        if (GetParam().redirectToHttp) {
            EXPECT_TRUE(m_server.SetFault(path, "mode=redirect&hops=1&target=" + m_server.Url(path)));
        }
        return m_tlsBase + path;
    }

    TestServer m_server{kNamespace, TestServer::ExactName{}};
    std::string m_tlsBase;
};

using UpdaterOverHttps = OverHttps;

// The version and the list come over TLS; the file the list names too, or a redirect to
// plain http in its place. Whatever is refused, the main program starts.
TEST_P(UpdaterOverHttps, InstallsWithAValidCertificateElseStartsTheMainProgramAndLogsWhy) {
    const TlsCase& c = GetParam();
    InstallFolder install;
    install.WriteSettings("1.0");
    ASSERT_TRUE(install.PlaceUpdater("MorvaneTls.exe"));
    const std::string file = PatternBytes(400000, 31);
    const std::string fileUrl = ServedOverTls("/files/a.dll", file);
    ASSERT_TRUE(m_server.Put("/U", "[" + UpdateListEntry("a.dll", fileUrl, file) + "]"));
    ASSERT_TRUE(m_server.Put("/V", "1.1"));

    UniqueKernelHandle process = StartProgram(install.Child("Morvane.exe"));
    ASSERT_TRUE(process);
    EXPECT_EQ(WaitForExitCode(process.get(), kRunLimit), 0);
    EXPECT_TRUE(install.WaitForStarts(1));
    const std::string log = ReadFileBytes(install.Child("log\\Morvane.log"));
    if (Accepted(c)) {
        EXPECT_TRUE(ReadFileBytes(install.Child("a.dll")) == file);
        EXPECT_EQ(install.RecordedVersion(), "1.1");
        return;
    }
    EXPECT_FALSE(PathExists(install.Child("a.dll")));
    EXPECT_EQ(install.RecordedVersion(), "1.0");
    EXPECT_NE(log.find(RefusalText(c)), std::string::npos) << log;
    if (c.redirectToHttp) {
        // The redirect itself was never followed: the plain port saw no request for the file.
        EXPECT_EQ(m_server.CountRequests("/files/a.dll"), 1);
    } else {
        // Nothing went over a connection whose certificate failed.
        EXPECT_EQ(m_server.CountRequests("/V"), 0);
        EXPECT_NE(log.find("request " + m_tlsBase + "/V"), std::string::npos) << log;
    }
}

// A click at the middle of an element, which is found and read by name as a screen reader
// would.
void ClickOn(HWND main, const AccessibleElement& element) {
    const RECT place = element.Location();
    POINT middle{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
    ::ScreenToClient(main, &middle);
    PostClickAt(main, middle);
}

// The built toolbox for the TLS port (VeltrinTls.exe) as "Veltrin.exe" in a fresh folder.
class ToolboxOverHttps : public OverHttps {
protected:
    void SetUp() override {
        OverHttps::SetUp();
        ASSERT_TRUE(m_com.usable());
        ASSERT_EQ(::FindWindowA("Veltrin", "Kestrova"), nullptr) << "another main program is running";
        ASSERT_TRUE(::CopyFileA(BuiltFile("VeltrinTls.exe").c_str(), m_install.MainProgramPath().c_str(), FALSE));
        for (const char* name : {"KestrovaSkin.dll", "skin.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), m_install.Child(name).c_str(), FALSE)) << name;
        }
        ASSERT_TRUE(m_code.SetText("91110000TEST"));
    }
    void TearDown() override {
        RemoveScheduledTask(kLogonTaskName);
        OverHttps::TearDown();
    }

    std::string Log() const { return ReadFileBytes(m_install.Child("log\\Veltrin.log")); }

    ComScope m_com;
    SavedRegistryValue m_run{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
    SavedRegistryValue m_code{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
    InstallFolder m_install;  // first to go: it ends the program started from it
};

// The catalogue loads, or the list says it failed; the package downloads, or its row is
// idle again with no file left. A refused certificate is met twice: by the catalogue, and,
// once a valid one let the list load, by the package's download on a new connection.
TEST_P(ToolboxOverHttps, LoadsAndDownloadsWithAValidCertificateElseShowsTheFailureAndTheRowIsIdleAgain) {
    const TlsCase& c = GetParam();
    const bool certificateAccepted = std::string(c.certificate) == "good";
    const std::string package = PatternBytes(300000, 32);
    const std::string packageUrl = ServedOverTls("/pkg/tool.exe", package);
    ASSERT_TRUE(m_server.Put("/F", "{\"data\": [{\"name\": \"tool\", \"viewname\": \"tool\", \"iocn\": \"\", \"url\": \"" +
                                       packageUrl + "\", \"downname\": \"tool.exe\"}]}"));
    UniqueKernelHandle process = StartProgram(m_install.MainProgramPath(), "", m_install.Path());
    const HWND main = WaitForToolboxStartUp(process.get(), kRunLimit);
    ASSERT_NE(main, nullptr);
    const AccessibleElement window = AccessibleWindow(main);
    const AccessibleElement list = FindAccessible(window, L"软件列表", ROLE_SYSTEM_LIST);
    ASSERT_TRUE(list);
    ClickOn(main, FindAccessible(window, L"软件中心", ROLE_SYSTEM_PAGETAB));
    if (!certificateAccepted) {
        EXPECT_TRUE(WaitUntil([&] { return !!FindAccessible(list, L"加载失败，请检查网络后重试"); }, kRunLimit));
        EXPECT_NE(Log().find("request " + m_tlsBase + "/F?tax=91110000TEST&id="), std::string::npos) << Log();
        EXPECT_NE(Log().find(RefusalText(c)), std::string::npos) << Log();
        EXPECT_EQ(m_server.CountRequests("/F"), 0);
        ASSERT_TRUE(m_server.ServeCertificate("good"));
        ClickOn(main, FindAccessible(window, L"刷新列表", ROLE_SYSTEM_PUSHBUTTON));
    }
    AccessibleElement button;
    ASSERT_TRUE(WaitUntil([&] { return !!(button = FindAccessible(list, L"下载", ROLE_SYSTEM_PUSHBUTTON)); }, kRunLimit));
    if (!certificateAccepted) {
        ASSERT_TRUE(m_server.ServeCertificate(c.certificate));
    }
    ClickOn(main, button);

    const std::string packagePath = m_install.Child("soft\\tool.exe");
    if (Accepted(c)) {
        EXPECT_TRUE(WaitUntil([&] { return button.Name() == L"打开"; }, kRunLimit)) << Log();
        EXPECT_TRUE(ReadFileBytes(packagePath) == package);
        return;
    }
    // The worker logs the download's end before it hands the row back.
    const std::string ended = "package download " + packageUrl + " into " + packagePath + ": " + RefusalText(c);
    ASSERT_TRUE(WaitUntil([&] { return Log().find(ended) != std::string::npos; }, kRunLimit)) << Log();
    EXPECT_TRUE(WaitUntil([&] { return button.Name() == L"下载"; }, kRunLimit));
    const std::vector<AccessibleElement> progress = FindAllAccessible(list, ROLE_SYSTEM_PROGRESSBAR);
    ASSERT_EQ(progress.size(), 1u);
    EXPECT_TRUE(progress[0].Has(STATE_SYSTEM_INVISIBLE));
    EXPECT_FALSE(PathExists(packagePath));
    EXPECT_NE(Log().find("request " + packageUrl + ": direct, " + RefusalText(c)), std::string::npos) << Log();
    // Not followed to the plain port, nor fetched over a refused certificate.
    EXPECT_EQ(m_server.CountRequests("/pkg/tool.exe"), c.redirectToHttp ? 1 : 0);
}

const TlsCase kCases[] = {
    {"ValidCertificate", "good", false},  {"UnknownCa", "otherca", false},        {"Expired", "expired", false},
    {"WrongHostName", "wronghost", false}, {"RedirectToHttp", "good", true},
};
std::string CaseName(const ::testing::TestParamInfo<TlsCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Certificates, UpdaterOverHttps, ::testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Certificates, ToolboxOverHttps, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
