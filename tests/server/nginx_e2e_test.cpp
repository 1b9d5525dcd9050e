// Morvane and Veltrin built for the address of Debian's nginx, which serves the tree the
// publishing tool wrote through the repository's configuration. nginx_e2e.py publishes
// the tree (names below), starts nginx and runs this program.
#include "shared/com_helpers.h"
#include "shared/files.h"
#include "shared/logon_task.h"
#include "tests/support/accessible_tree.h"
#include "tests/support/gui_driver.h"
#include "tests/support/scheduled_task.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "tests/updater/install_folder.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>
#include <sstream>
#include <string>

namespace {

constexpr DWORD kLimit = 60000;
// As nginx_e2e.py publishes them.
constexpr char kVersion[] = "2.0.7";
constexpr char kKnownCode[] = "91500000NGINX0001";
// The package's bytes are those of the test program "kestrova_stand_in.exe".
constexpr char kPackageName[] = "KnownToolSetup.exe";
// The options of the main window's band (client coordinates) and its first catalogue row.
constexpr POINT kSoftwareOption{160, 60};
constexpr POINT kFirstSoftwareRow{150, 150};

std::string FromEnvironment(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

// Lines of nginx's access log ("GET <path> <status> "<Range>" "<If-Range>"") naming path.
std::vector<std::string> AccessLogLinesWith(const std::string& part) {
    std::vector<std::string> lines;
    std::istringstream log(ReadFileBytes(FromEnvironment("KESTROVA_NGINX_ACCESS_LOG")));
    for (std::string line; std::getline(log, line);) {
        if (line.find(part) != std::string::npos) lines.push_back(line);
    }
    return lines;
}

// Runs the updater variant over version 1.0 until it has ended and started the main program.
void RunUpdater(InstallFolder& install, const char* variant) {
    install.WriteSettings("1.0");
    ASSERT_TRUE(install.PlaceUpdater(variant));
    UniqueKernelHandle process = StartProgram(install.Child("Morvane.exe"));
    ASSERT_TRUE(process);
    EXPECT_EQ(WaitForExitCode(process.get(), kLimit), 0);
    EXPECT_TRUE(install.WaitForStarts(1));
}

// The keyed variants install nothing that the test key did not sign.
void ExpectReleaseInstalled(InstallFolder& install) {
    const std::string release = FromEnvironment("KESTROVA_NGINX_RELEASE");
    ASSERT_FALSE(release.empty()) << "nginx_e2e.py runs this program and names the release it published";
    EXPECT_EQ(install.RecordedVersion(), kVersion);
    for (const char* name : {"a.dll", "notes.txt"}) {
        EXPECT_TRUE(ReadFileBytes(install.Child(name)) == ReadFileBytes(release + "\\" + name)) << name;
    }
    EXPECT_EQ(AccessLogLinesWith("GET /U.sig 200").size(), 1u);
}

TEST(NginxUpdate, TheSignedReleaseInstalls) {
    InstallFolder install;
    RunUpdater(install, "MorvaneNginx.exe");
    ExpectReleaseInstalled(install);
}

// Veltrin for nginx as "Veltrin.exe" in a fresh installation folder, with a taxpayer code.
class NginxToolbox : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::FindWindowA("Veltrin", "Kestrova"), nullptr) << "another main program is running";
        ASSERT_TRUE(::CopyFileA(BuiltFile("VeltrinNginx.exe").c_str(), m_install.Child("Veltrin.exe").c_str(), FALSE));
        for (const char* name : {"KestrovaSkin.dll", "skin.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), m_install.Child(name).c_str(), FALSE)) << name;
        }
    }
    void TearDown() override { RemoveScheduledTask(kLogonTaskName); }

    // Starts the toolbox with the code and opens the software tab; returns its main window.
    HWND OpenSoftwareTab(const char* taxCode) {
        if (!m_code.SetText(taxCode)) return nullptr;
        m_process = StartProgram(m_install.Child("Veltrin.exe"));
        const HWND main = WaitForToolboxStartUp(m_process.get(), kLimit);
        if (main != nullptr) ClickAt(main, kSoftwareOption);
        return main;
    }

    std::string SoftFile(const std::string& name) const { return m_install.Child("soft\\" + name); }

    SavedRegistryValue m_run{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
    SavedRegistryValue m_code{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
    UniqueKernelHandle m_process;
    InstallFolder m_install;  // first to go: it ends every program started from it
};

struct CatalogueCase {
    const char* name;
    const char* taxCode;
    const char* icon;       // the icon of the one entry of the catalogue it gets
    const char* otherIcon;  // that of the other catalogue
};

class NginxCatalogue : public NginxToolbox, public ::testing::WithParamInterface<CatalogueCase> {};

// The toolbox is built with the test keys, and the catalogues are published signed: loading
// one fetches its signature by the body's digest, then the icon of each of its entries into
// "soft"; a click on the entry downloads its package from its content-addressed file and
// verifies it against the signed catalogue. The first half of the package lies there
// already as an unfinished download under nginx's tag for it, so nginx answers the rest as
// a range (nginx_e2e.py checks that it answers those so), and the whole file is verified.
TEST_P(NginxCatalogue, TheCodeGetsItsOwnCatalogueOrTheDefault) {
    const CatalogueCase& c = GetParam();
    const std::string package = ReadFileBytes(BuiltFile("kestrova_stand_in.exe"));
    const std::string half = std::to_string(package.size() / 2);
    const DownloadFiles files = FilesOf(SoftFile(kPackageName));
    ASSERT_TRUE(EnsureDirectory(m_install.Child("soft")));
    ASSERT_TRUE(WriteFileBytes(files.partialPath, package.substr(0, package.size() / 2)));
    ASSERT_TRUE(SaveValidator(files, FromEnvironment("KESTROVA_NGINX_PACKAGE_URL"),
                              FromEnvironment("KESTROVA_NGINX_PACKAGE_TAG")));
    const size_t signaturesBefore = AccessLogLinesWith("GET /F.sig?sha256=").size();
    const HWND main = OpenSoftwareTab(c.taxCode);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return PathExists(SoftFile(c.icon)); }, kLimit)) << c.icon;
    EXPECT_FALSE(PathExists(SoftFile(c.otherIcon)));

    const size_t requestsBefore = AccessLogLinesWith("/stand_in.exe ").size();
    // Posted, not sent: a sent click would overtake the rows, which the toolbox's window
    // applies from its posted work, and find the list still loading.
    MoveMouseTo(main, kFirstSoftwareRow);
    const LPARAM where = MAKELPARAM(kFirstSoftwareRow.x, kFirstSoftwareRow.y);
    ASSERT_TRUE(::PostMessageA(main, WM_LBUTTONDOWN, MK_LBUTTON, where));
    ASSERT_TRUE(::PostMessageA(main, WM_LBUTTONUP, 0, where));
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(SoftFile(kPackageName)) == package; }, kLimit));
    EXPECT_FALSE(PathExists(files.partialPath));
    // nginx writes its log line once the reply is sent.
    ASSERT_TRUE(WaitUntil([&] { return AccessLogLinesWith("/stand_in.exe ").size() == requestsBefore + 1; }));
    const std::string request = AccessLogLinesWith("/stand_in.exe ").back();
    // nginx writes the quotes of a header value into its log as "\x22".
    std::string tag;
    for (const char c : FromEnvironment("KESTROVA_NGINX_PACKAGE_TAG")) {
        tag += c == '"' ? std::string("\\x22") : std::string(1, c);
    }
    const std::string resumed = " 206 \"bytes=" + half + "-\" \"" + tag + "\"";
    EXPECT_NE(request.find(resumed), std::string::npos) << request;
    const std::vector<std::string> signatures = AccessLogLinesWith("GET /F.sig?sha256=");
    ASSERT_EQ(signatures.size(), signaturesBefore + 1);
    EXPECT_NE(signatures.back().find(" 200 "), std::string::npos) << signatures.back();
    const std::string log = ReadFileBytes(m_install.Child("log\\Veltrin.log"));
    EXPECT_NE(log.find("software catalogue: the signature is the maker's"), std::string::npos) << log;
    EXPECT_NE(log.find("verified against the signed catalogue; complete"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NginxCatalogue,
    ::testing::Values(CatalogueCase{"Known", kKnownCode, "KnownTool.png", "EveryoneTool.png"},
                      CatalogueCase{"Unknown", "91500000UNKNOWN", "EveryoneTool.png", "KnownTool.png"}),
    [](const ::testing::TestParamInfo<CatalogueCase>& info) { return std::string(info.param.name); });

// ---- over https, once per case nginx_e2e.py starts it for: a certificate it shows, or
// "redirect", a valid one with the list's and the catalogue's files sent on to plain http --

std::string NginxCase() { return FromEnvironment("KESTROVA_NGINX_CERTIFICATE"); }
bool CertificateIsGood() { return NginxCase() == "good" || NginxCase() == "redirect"; }

// The log's line for a request to the TLS site, refused for its certificate or its redirect.
std::string RefusedLine(const std::string& path) {
    return "request " + std::string(KESTROVA_NGINX_TLS_URL) + path;
}

// Every request nginx logged for the file was answered with the redirect, and none came to
// the plain site, where it would be found.
void ExpectOnlyRedirected(const std::string& fileName) {
    const std::vector<std::string> lines = AccessLogLinesWith("/" + fileName + " ");
    EXPECT_FALSE(lines.empty()) << fileName;
    for (const std::string& line : lines) EXPECT_NE(line.find(" 302 "), std::string::npos) << line;
}

TEST(NginxTls, TheSignedReleaseInstallsWithAValidCertificateElseTheMainProgramStarts) {
    ASSERT_FALSE(NginxCase().empty());
    InstallFolder install;
    RunUpdater(install, "MorvaneNginxTls.exe");
    const std::string log = ReadFileBytes(install.Child("log\\Morvane.log"));
    if (NginxCase() == "good") return ExpectReleaseInstalled(install);
    EXPECT_EQ(install.RecordedVersion(), "1.0");
    EXPECT_FALSE(PathExists(install.Child("a.dll")));
    if (NginxCase() == "redirect") {
        EXPECT_EQ(AccessLogLinesWith("GET /U.sig 200").size(), 1u);
        EXPECT_NE(log.find("/a.dll: direct, " + std::string(curl_easy_strerror(CURLE_UNSUPPORTED_PROTOCOL))),
                  std::string::npos) << log;
        ExpectOnlyRedirected("a.dll");
        return;
    }
    EXPECT_TRUE(AccessLogLinesWith("GET /V ").empty());
    EXPECT_NE(log.find(RefusedLine("/V") + ": direct, " + curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION)),
              std::string::npos) << log;
}

class NginxTlsToolbox : public NginxToolbox {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_com.usable());
        ASSERT_EQ(::FindWindowA("Veltrin", "Kestrova"), nullptr) << "another main program is running";
        ASSERT_TRUE(::CopyFileA(BuiltFile("VeltrinNginxTls.exe").c_str(), m_install.Child("Veltrin.exe").c_str(), FALSE));
        for (const char* name : {"KestrovaSkin.dll", "skin.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), m_install.Child(name).c_str(), FALSE)) << name;
        }
    }
    ComScope m_com;
};

// With a valid certificate the signed catalogue loads, its icon arrives and the package
// downloads and verifies; when nginx sends the files on to plain http, the icon and the
// package are refused and the row is idle again; with any other certificate the list fails
// to load and nothing reaches nginx. The list is read by name, as a screen reader would.
TEST_F(NginxTlsToolbox, TheCatalogueLoadsAndItsPackageVerifiesWithAValidCertificateOnly) {
    ASSERT_TRUE(m_code.SetText(kKnownCode));
    m_process = StartProgram(m_install.Child("Veltrin.exe"));
    const HWND main = WaitForToolboxStartUp(m_process.get(), kLimit);
    ASSERT_NE(main, nullptr);
    const AccessibleElement window = AccessibleWindow(main);
    const AccessibleElement list = FindAccessible(window, L"软件列表", ROLE_SYSTEM_LIST);
    ASSERT_TRUE(list);
    PostClickAt(main, kSoftwareOption);
    const std::string logPath = m_install.Child("log\\Veltrin.log");
    if (!CertificateIsGood()) {
        EXPECT_TRUE(WaitUntil([&] { return !!FindAccessible(list, L"加载失败，请检查网络后重试"); }, kLimit));
        const std::string log = ReadFileBytes(logPath);
        EXPECT_NE(log.find(RefusedLine("/F") + "?tax=" + kKnownCode + "&id="), std::string::npos) << log;
        EXPECT_NE(log.find(curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION)), std::string::npos) << log;
        EXPECT_TRUE(AccessLogLinesWith("GET /F").empty());
        EXPECT_FALSE(PathExists(SoftFile("KnownTool.png")));
        return;
    }
    AccessibleElement button;
    ASSERT_TRUE(WaitUntil([&] { return !!(button = FindAccessible(list, L"下载", ROLE_SYSTEM_PUSHBUTTON)); }, kLimit));
    if (NginxCase() == "good") {
        EXPECT_TRUE(WaitUntil([&] { return PathExists(SoftFile("KnownTool.png")); }, kLimit));
    }
    PostClickAt(main, kFirstSoftwareRow);
    if (NginxCase() == "good") {
        // The worker logs the download's end once the file is in place.
        EXPECT_TRUE(WaitUntil(
            [&] { return ReadFileBytes(logPath).find("verified against the signed catalogue; complete") != std::string::npos; },
            kLimit))
            << ReadFileBytes(logPath);
        EXPECT_TRUE(ReadFileBytes(SoftFile(kPackageName)) == ReadFileBytes(BuiltFile("kestrova_stand_in.exe")));
        const std::string log = ReadFileBytes(logPath);
        EXPECT_NE(log.find("software catalogue: the signature is the maker's"), std::string::npos) << log;
        return;
    }
    // The worker logs the download's end before it hands the row back.
    const std::string plainUrl = FromEnvironment("KESTROVA_NGINX_PACKAGE_URL");
    const std::string ended = "package download " + std::string(KESTROVA_NGINX_TLS_URL) +
                              plainUrl.substr(plainUrl.find("/files/")) + " into " + SoftFile(kPackageName) + ": " +
                              curl_easy_strerror(CURLE_UNSUPPORTED_PROTOCOL);
    ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(logPath).find(ended) != std::string::npos; }, kLimit))
        << ReadFileBytes(logPath);
    EXPECT_TRUE(WaitUntil([&] { return button.Name() == L"下载"; }, kLimit));
    EXPECT_FALSE(PathExists(SoftFile(kPackageName)));
    EXPECT_FALSE(PathExists(SoftFile("KnownTool.png")));
    ExpectOnlyRedirected("stand_in.exe");
    ExpectOnlyRedirected("KnownTool.png");
}

}  // namespace
