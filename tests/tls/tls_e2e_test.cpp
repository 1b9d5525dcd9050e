// Every road over HTTPS, once per certificate the reference server's TLS port shows: the
// built updater (MorvaneTls.exe, for that port) as "Morvane.exe" in a temporary
// installation folder, and the toolbox's catalogue load and package download with a real
// window taking their results. A refused certificate or a redirect from https to plain
// http ends each road in its own defined state, and the log says why.
#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/test_server.h"
#include "tests/updater/install_folder.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/download_job.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>
#include <ostream>
#include <string>

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
    ASSERT_TRUE(::CopyFileA(BuiltFile("MorvaneTls.exe").c_str(), install.Child("Morvane.exe").c_str(), FALSE));
    for (const char* name : {"KestrovaSkin.dll", "upload.zip"}) {
        ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), install.Child(name).c_str(), FALSE)) << name;
    }
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

class ToolboxOverHttps : public OverHttps {
protected:
    void SetUp() override {
        OverHttps::SetUp();
        ASSERT_TRUE(m_window.IsOpen());
        OpenProgramLog(m_install.Path(), "Veltrin");
    }
    void TearDown() override {
        OpenProgramLog(m_install.Path() + "\\gone", "Veltrin");
        OverHttps::TearDown();
    }

    // A row of the window's software list for a package at url, as a catalogue load makes one.
    SkinSoftListControl* AddPackageRow(const std::string& url) {
        auto* entry = new DuiSoft;
        entry->name = "tool";
        entry->url = url;
        entry->downName = "tool.exe";
        auto* control = new SkinSoftListControl(entry);
        control->SetName(UniqueTestName("rowIndex").c_str());
        auto* row = new CHorizontalLayoutUI;
        row->Add(control);
        m_window.SoftList()->Add(row);
        return control;
    }

    CatalogueFolder m_install;
    CatalogueTestWindow m_window;
};

// The catalogue loads (or the list says it failed); the package downloads (or its row is
// idle again, with no file left).
TEST_P(ToolboxOverHttps, LoadsAndDownloadsWithAValidCertificateElseFailsIntoIdleRowsAndLogsWhy) {
    const TlsCase& c = GetParam();
    const std::string package = PatternBytes(300000, 32);
    const std::string packageUrl = ServedOverTls("/pkg/tool.exe", package);
    ASSERT_TRUE(m_server.Put("/F", "{\"data\": [{\"name\": \"tool\", \"url\": \"" + packageUrl +
                                       "\", \"downname\": \"tool.exe\"}]}"));
    const CatalogueContext context = m_install.Context(m_tlsBase);
    int rowCounter = 0;
    StartSoftwareLoad(m_window.SoftList(), context, &rowCounter);
    ASSERT_TRUE(PumpMessagesUntil([&] { return LoadNoticeText(m_window.SoftList()) != kLoadingText; }, kRunLimit));
    const bool certificateAccepted = std::string(c.certificate) == "good";
    if (certificateAccepted) {
        EXPECT_EQ(LoadNoticeText(m_window.SoftList()), "");
        EXPECT_FALSE(ListAwaitsLoad(m_window.SoftList()));
    } else {
        EXPECT_EQ(LoadNoticeText(m_window.SoftList()), kLoadFailedText);
    }

    SkinSoftListControl* row = AddPackageRow(packageUrl);
    StartSoftwareDownload(row, context);
    ASSERT_TRUE(PumpMessagesUntil(
        [&] { return m_window.CountOf(kPackageDownloaded) + m_window.CountOf(kPackageFailed) > 0; }, kRunLimit));
    EXPECT_EQ(m_window.CountOf(Accepted(c) ? kPackageDownloaded : kPackageFailed), 1);
    const std::string packagePath = m_install.SoftDir() + "\\tool.exe";
    const std::string log = ReadFileBytes(m_install.Child("log\\Veltrin.log"));
    if (Accepted(c)) {
        EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
        EXPECT_TRUE(ReadFileBytes(packagePath) == package);
        return;
    }
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_FALSE(row->IsDownLoad());
    EXPECT_FALSE(PathExists(packagePath));
    EXPECT_NE(log.find("request " + packageUrl + ": direct, " + RefusalText(c)), std::string::npos) << log;
    if (!certificateAccepted) {
        EXPECT_NE(log.find("request " + m_tlsBase + "/F"), std::string::npos) << log;
        EXPECT_EQ(m_server.CountRequests("/F"), 0);
    }
}

const TlsCase kCases[] = {
    {"ValidCertificate", "good", false},  {"UnknownCa", "otherca", false},        {"Expired", "expired", false},
    {"WrongHostName", "wronghost", false}, {"RedirectToHttp", "good", true},
};
std::string CaseName(const ::testing::TestParamInfo<TlsCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Certificates, UpdaterOverHttps, ::testing::ValuesIn(kCases), CaseName);
INSTANTIATE_TEST_SUITE_P(Certificates, ToolboxOverHttps, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
