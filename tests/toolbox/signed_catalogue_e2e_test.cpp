// The built toolbox with the test keys (VeltrinKeyed) and without (VeltrinKeyless) as
// "Veltrin.exe" in a temporary installation folder, against the reference server, driven by
// real clicks at the places the layout gives its tabs and cells. Each case ends on what the
// user sees (pixels of the list or the row, a started program) and what is on disk. The
// keyless program takes what the keyed one refuses, as builds without a key always did.
#include "shared/cng.h"
#include "shared/logon_task.h"
#include "shared/sha256.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pixels.h"
#include "tests/support/programs.h"
#include "tests/support/scheduled_task.h"
#include "tests/support/signing_key.h"
#include "tests/support/test_server.h"
#include "tests/support/wait.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/document_catalogue.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/signed_catalogue.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr DWORD kLimit = 30000;
constexpr char kTaxCode[] = "91500000SIGNED001";
// The tab options of the main window's band, and a spot of its status bar where the mouse
// hovers over nothing, in client coordinates.
constexpr POINT kSoftwareOption{160, 60};
constexpr POINT kDocumentsOption{260, 60};
constexpr POINT kNowhere{400, 560};
constexpr char kDocumentType[] = ".kestrovadoc";
constexpr char kDocumentClass[] = "KestrovaSignedDocument";
constexpr char kClassesRoot[] = "SOFTWARE\\Classes\\";

enum class Variant { Keyed, Keyless };

std::string Sha256Hex(const std::string& bytes) { return LowerHex(Sha256Of(bytes).value_or("")); }

std::string TestKeyBlob() {
    const char* keys = std::getenv("KESTROVA_TEST_KEYS");
    return std::string(keys != nullptr ? keys : "") + "\\current.blob";
}

// The window's client area as the display shows it, once two looks a quarter second apart
// agree; the mouse rests where it lights up nothing.
Pixels Settled(HWND window, const RECT& area) {
    ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    MoveMouseTo(window, kNowhere);
    Pixels last = CapturePixels(window, area, PixelSource::Screen);
    for (int i = 0; i < 40; ++i) {
        PumpMessagesFor(250);
        Pixels now = CapturePixels(window, area, PixelSource::Screen);
        if (now == last && !now.bits.empty()) return now;
        last = std::move(now);
    }
    return last;
}

// Where the layout puts things, and the list as it looks when a catalogue is refused: drawn
// once by the toolbox's own window in this process.
struct Layout {
    RECT softList{};
    RECT firstSoftwareCell{};
    RECT firstDocumentCell{};
    Pixels refusedList;
};
Layout g_layout;

class SignedCatalogueEndToEnd;
// One case: what it serves, what it clicks, and what it expects of each variant.
struct SignedCase {
    const char* name;
    void (SignedCatalogueEndToEnd::*run)();
};

class SignedCatalogueEndToEnd : public ::testing::TestWithParam<std::tuple<Variant, SignedCase>> {
public:
    void MatchingPackageRuns();
    void UnsignedCatalogue() { RefusedCatalogue(Signing::None); }
    void ChangedCatalogue() { RefusedCatalogue(Signing::BodyChanged); }
    void CatalogueOfAnotherKey() { RefusedCatalogue(Signing::OtherKey); }
    void SwappedPackage() { RefusedPackage(Fault::Swapped); }
    void PackageTooLong() { RefusedPackage(Fault::TooLong); }
    void SplicedResume() { RefusedPackage(Fault::Spliced); }
    void PackageReplacedInSoft();
    void SwappedDocument() { Document(false); }
    void SmallSignedDocument() { Document(true); }
    void SwappedIcon();

protected:
    static void SetUpTestSuite() {
        TestServer server{TestServer::kEndToEndNamespace, TestServer::ExactName{}};
        ToolboxValuesScope values;
        UseBuiltSkin();
        TempDir install;
        Toolbox().InstallDir = install.Path();
        auto* window = new TestVeltrin;
        ASSERT_TRUE(window->Open());
        const HWND handle = window->GetHWND();
        const std::string keys = SigningKey::FromBlobFile(TestKeyBlob()).PublicHex();
        const CatalogueContext context{install.Path(), server.BaseUrl(), kTaxCode, handle, keys};
        ASSERT_TRUE(server.Put("/F", "{\"data\": [{\"name\": \"a\"}]}"));
        ASSERT_TRUE(server.Put("/documents/0.json", "{\"data\": [{\"name\": \"a.txt\", \"type\": 1, \"id\": \"1\"}]}"));
        int rowCounter = 0;
        ClickAt(handle, kDocumentsOption);
        LoadDocumentCatalogue(window->FileList(), CatalogueContext{install.Path(), server.BaseUrl(), kTaxCode}, "0");
        const auto documentCell = [&] {
            return window->RectOf(("fileIndex" + std::to_string(LastDocumentControlNumber())).c_str());
        };
        ASSERT_TRUE(PumpMessagesUntil([&] { return documentCell().right > 0; }, kLimit));
        g_layout.firstDocumentCell = documentCell();
        ClickAt(handle, kSoftwareOption);
        LoadSoftwareCatalogue(window->SoftList(), CatalogueContext{install.Path(), server.BaseUrl(), kTaxCode},
                              &rowCounter);
        ASSERT_TRUE(PumpMessagesUntil([&] { return window->RectOf("rowIndex1").right > 0; }, kLimit));
        g_layout.firstSoftwareCell = window->RectOf("rowIndex1");
        g_layout.softList = window->SoftList()->GetPos();
        LoadSoftwareCatalogue(window->SoftList(), context, &rowCounter);
        ASSERT_TRUE(PumpMessagesUntil([&] { return LoadNoticeText(window->SoftList()) == kCatalogueRefusedText; },
                                      kLimit));
        g_layout.refusedList = Settled(handle, g_layout.softList);
        CloseTestWindow(handle);
    }

    void SetUp() override {
        ASSERT_FALSE(g_layout.refusedList.bits.empty());
        ASSERT_EQ(::FindWindowA("Veltrin", "Kestrova"), nullptr) << "another main program is running";
        ASSERT_TRUE(m_key.valid()) << "scripts/test names the test keys' folder in KESTROVA_TEST_KEYS";
        m_installDir = m_root.Child("Kestrova 签名");
        ASSERT_TRUE(::CreateDirectoryA(m_installDir.c_str(), nullptr));
        const char* program = Keyed() ? "VeltrinKeyed.exe" : "VeltrinKeyless.exe";
        ASSERT_TRUE(::CopyFileA(BuiltFile(program).c_str(), (m_installDir + "\\Veltrin.exe").c_str(), FALSE));
        for (const char* name : {"KestrovaSkin.dll", "skin.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), (m_installDir + "\\" + name).c_str(), FALSE)) << name;
        }
        ASSERT_TRUE(m_code.SetText(kTaxCode));
        ASSERT_TRUE(m_run.SetText("x"));
        m_package = ReadFileBytes(StandInProgramPath());
        ASSERT_FALSE(m_package.empty());
    }

    void TearDown() override {
        if (m_process && ::WaitForSingleObject(m_process.get(), 0) != WAIT_OBJECT_0) {
            ::TerminateProcess(m_process.get(), 1);
            ::WaitForSingleObject(m_process.get(), 10000);
        }
        // The packages and document handlers that ran are stand-ins, which would linger a minute.
        for (const std::string& marker : {Soft("tool.exe.started"), m_root.Child("opener.exe.started")}) {
            std::istringstream ids(ReadFileBytes(marker));
            for (DWORD id = 0; ids >> id;) {
                UniqueKernelHandle started(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
                if (started && ::TerminateProcess(started.get(), 0)) ::WaitForSingleObject(started.get(), 5000);
            }
        }
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kClassesRoot) + kDocumentType).c_str());
        ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kClassesRoot) + kDocumentClass).c_str());
        RemoveScheduledTask(kLogonTaskName);
    }

    bool Keyed() const { return std::get<0>(GetParam()) == Variant::Keyed; }
    std::string Soft(const std::string& name) const { return m_installDir + "\\soft\\" + name; }
    std::string Log() const { return ReadFileBytes(m_installDir + "\\log\\Veltrin.log"); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }

    enum class Signing { Maker, None, BodyChanged, OtherKey };
    enum class Fault { Swapped, TooLong, Spliced };
    void RefusedCatalogue(Signing signing);
    void RefusedPackage(Fault fault);
    void Document(bool small);

    // A catalogue reply as served, with a signature kept under the digest of what is served.
    void Publish(const std::string& route, const std::string& what, const std::string& body,
                 Signing signing = Signing::Maker) {
        const std::string served = signing == Signing::BodyChanged ? body + " " : body;
        ASSERT_TRUE(m_server.Put(route, served));
        if (signing == Signing::None) return;
        const SigningKey other = SigningKey::Generate();
        const SigningKey& signer = signing == Signing::OtherKey ? other : m_key;
        ASSERT_TRUE(m_server.Put("/sigs/" + Sha256Hex(served) + ".sig", signer.Sign(SignedCatalogueMessage(what, body))));
    }

    // One software entry offering the package at /packages/tool.exe, named by its digest and length.
    std::string Software(const std::string& extra = "") const {
        // The reply is UTF-8, whatever the code page of this program's literals.
        return std::string("{\"data\": [{\"name\": \"SignedTool\", \"viewname\": \"") + u8"签名工具" +
               "\", \"content\": \"" + u8"测试" + "\", \"size\": \"1MB\", "
               "\"url\": \"" + m_server.Url("/packages/tool.exe") + "\", \"downname\": \"tool.exe\", \"ver\": \"1.0\", "
               "\"sha256\": \"" + Sha256Hex(m_package) + "\", \"bytes\": " + std::to_string(m_package.size()) + extra +
               "}]}";
    }

    // Starts the toolbox and opens a tab; returns the main window once the tab's request arrived.
    HWND Open(POINT option, const char* settledRoute) {
        m_process = StartProgram(m_installDir + "\\Veltrin.exe", "", m_installDir);
        if (!m_process) return nullptr;
        const DWORD id = ::GetProcessId(m_process.get());
        HWND window = nullptr;
        WaitUntil(
            [&] {
                window = TopLevelWindowOf(id, "Veltrin");
                const HWND announcement = TopLevelWindowOf(id, "UIGGFrame");
                return window != nullptr && ::IsWindowVisible(window) && announcement != nullptr &&
                       !::IsWindowVisible(announcement);
            },
            kLimit);
        if (window == nullptr) return nullptr;
        const int before = m_server.CountRequests(settledRoute);
        ClickAt(window, option);
        if (!WaitUntil([&] { return m_server.CountRequests(settledRoute) > before; }, kLimit)) return nullptr;
        return window;
    }

    // A real click at the centre of a cell of the list, posted as the system would post it
    // (a sent click would overtake the rows the window applies from its posted work).
    static void ClickCell(HWND window, const RECT& cell) {
        const POINT centre = CentreOf(cell);
        MoveMouseTo(window, centre);
        ::PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(centre.x, centre.y));
        ::PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(centre.x, centre.y));
    }

    // Clicks the first software row and waits for the download's line in the log.
    bool DownloadFirstPackage(HWND window) {
        const size_t before = CountOf(Log(), "package download ");
        ClickCell(window, g_layout.firstSoftwareCell);
        return WaitUntil([&] { return CountOf(Log(), "package download ") > before; }, kLimit);
    }

    static size_t CountOf(const std::string& text, const std::string& part) {
        size_t count = 0;
        for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
        return count;
    }

    size_t PackageStarts() const { return CountOf(ReadFileBytes(Soft("tool.exe.started")), "\n"); }

    static std::string DemoIcon(const std::string& name) {
        return std::string(KESTROVA_SOURCE_DIR) + "/tools/demo_content/icons/" + name;
    }
    std::string IconMembers(const std::string& sha256) const {
        return ", \"iocn\": \"" + m_server.Url("/icons/tool.png") + "\", \"iconsha256\": \"" + sha256 + "\"";
    }

    // The entity tag the server gives a file, as a client resuming it would have kept it.
    static std::string EtagOf(const std::string& url) {
        std::string headers;
        UniqueEasyHandle easy(curl_easy_init());
        curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
        curl_easy_setopt(easy.get(), CURLOPT_NOBODY, 1L);
        curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, WriteStringCallback);
        curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &headers);
        if (curl_easy_perform(easy.get()) != CURLE_OK) return std::string();
        const size_t at = headers.find("ETag: ");
        return at == std::string::npos ? std::string() : headers.substr(at + 6, headers.find('\r', at) - at - 6);
    }

    TempDir m_root;
    std::string m_installDir;
    std::string m_package;  // the stand-in program, whose starts are recorded beside it
    SigningKey m_key = SigningKey::FromBlobFile(TestKeyBlob());
    TestServer m_server{TestServer::kEndToEndNamespace, TestServer::ExactName{}};
    SavedRegistryValue m_run{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
    SavedRegistryValue m_code{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
    UniqueKernelHandle m_process;
};

// The package the signed catalogue names downloads, is kept, shows its installing look,
// and runs at the next click.
void SignedCatalogueEndToEnd::MatchingPackageRuns() {
    const std::string icon = ReadFileBytes(DemoIcon("kaipiao.png"));
    ASSERT_TRUE(m_server.Put("/packages/tool.exe", m_package) && m_server.Put("/icons/tool.png", icon));
    Publish("/F", "F", Software(IconMembers(Sha256Hex(icon))));
    const HWND window = Open(kSoftwareOption, "/F");
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return PathExists(Soft("SignedTool.png")); }, kLimit));
    const Pixels offered = Settled(window, g_layout.firstSoftwareCell);
    ASSERT_TRUE(DownloadFirstPackage(window));
    EXPECT_EQ(ReadFileBytes(Soft("tool.exe")), m_package);
    EXPECT_EQ(ReadFileBytes(Soft("SignedTool.png")), icon);
    EXPECT_NE(Settled(window, g_layout.firstSoftwareCell), offered) << "the row offers to install";
    EXPECT_EQ(ReadFileBytes(Soft("packages.verified")).find("tool.exe") != std::string::npos, Keyed());
    ClickCell(window, g_layout.firstSoftwareCell);
    EXPECT_TRUE(WaitUntil([&] { return PackageStarts() == 1; }, kLimit));
}

// A catalogue the keys did not sign offers nothing and fetches nothing: the list says so.
// Without a key it is shown, and its package downloads at a click.
void SignedCatalogueEndToEnd::RefusedCatalogue(Signing signing) {
    const std::string icon = ReadFileBytes(DemoIcon("kaipiao.png"));
    ASSERT_TRUE(m_server.Put("/packages/tool.exe", m_package) && m_server.Put("/icons/tool.png", icon));
    Publish("/F", "F", Software(IconMembers(Sha256Hex(icon))), signing);
    const HWND window = Open(kSoftwareOption, "/F");
    ASSERT_NE(window, nullptr);
    if (Keyed()) {
        ASSERT_TRUE(WaitUntil([&] { return Logged("software catalogue refused: "); }, kLimit)) << Log();
        EXPECT_EQ(Settled(window, g_layout.softList), g_layout.refusedList) << "the list shows " << kCatalogueRefusedText;
        EXPECT_EQ(m_server.CountRequests("/icons/tool.png"), 0);
        EXPECT_FALSE(PathExists(Soft("SignedTool.png")));
    } else {
        EXPECT_TRUE(WaitUntil([&] { return PathExists(Soft("SignedTool.png")); }, kLimit));
        EXPECT_NE(Settled(window, g_layout.softList), g_layout.refusedList);
        EXPECT_TRUE(DownloadFirstPackage(window));
        EXPECT_EQ(ReadFileBytes(Soft("tool.exe")), m_package);
    }
    EXPECT_EQ(m_server.CountRequests("/F.sig"), Keyed() ? 1 : 0);
    EXPECT_EQ(m_server.CountRequests("/packages/tool.exe"), Keyed() ? 0 : 1);
}

// A package whose bytes are not those the catalogue names: other bytes, 8 MB too many (sent
// unframed, so only the count can stop it), or a resumed file whose first half is of other
// bytes under the server's real strong tag. The keyed toolbox keeps nothing and its row
// offers the download again; the keyless one keeps whatever arrived.
void SignedCatalogueEndToEnd::RefusedPackage(Fault fault) {
    constexpr long long kSurplus = 8 * 1024 * 1024;
    std::string served = m_package;
    if (fault == Fault::Swapped) served[served.size() / 2] ^= 0x5A;
    ASSERT_TRUE(m_server.Put("/packages/tool.exe", served));
    if (fault == Fault::TooLong) {
        ASSERT_TRUE(m_server.SetFault("/packages/tool.exe", "mode=extra&nolength=1&bytes=" + std::to_string(kSurplus)));
    }
    const std::string half(m_package.size() / 2, 'k');
    if (fault == Fault::Spliced) {
        const DownloadFiles files = FilesOf(Soft("tool.exe"));
        ASSERT_TRUE(::CreateDirectoryA((m_installDir + "\\soft").c_str(), nullptr));
        ASSERT_TRUE(WriteFileBytes(files.partialPath, half));
        ASSERT_TRUE(SaveValidator(files, m_server.Url("/packages/tool.exe"), EtagOf(m_server.Url("/packages/tool.exe"))));
    }
    Publish("/F", "F", Software());
    const HWND window = Open(kSoftwareOption, "/F");
    ASSERT_NE(window, nullptr);
    const Pixels offered = Settled(window, g_layout.firstSoftwareCell);
    ASSERT_TRUE(DownloadFirstPackage(window));
    if (fault == Fault::Spliced) {
        EXPECT_EQ(m_server.RangesOf("/packages/tool.exe").back(), "bytes=" + std::to_string(half.size()) + "-");
    }
    const std::string kept = ReadFileBytes(Soft("tool.exe"));
    if (Keyed()) {
        EXPECT_FALSE(PathExists(Soft("tool.exe")));
        EXPECT_FALSE(PathExists(Soft("tool.exe.partial")));
        EXPECT_FALSE(PathExists(Soft("tool.exe.partial.etag")));
        EXPECT_EQ(Settled(window, g_layout.firstSoftwareCell), offered) << "the row offers the download again";
        const char* why = fault == Fault::TooLong ? "not taken: more bytes arrived than the catalogue names"
                                                  : "not taken: its SHA-256 is not the one the catalogue names";
        EXPECT_TRUE(Logged(why)) << Log();
    } else if (fault == Fault::Swapped) {
        EXPECT_EQ(kept, served);
    } else if (fault == Fault::TooLong) {
        EXPECT_EQ(static_cast<long long>(kept.size()), static_cast<long long>(m_package.size()) + kSurplus);
    } else {
        EXPECT_EQ(kept, half + m_package.substr(half.size()));
    }
    if (fault == Fault::TooLong && Keyed()) {
        // The server's count, once the reply is over: the transfer stopped near its length.
        std::vector<long long> sent;
        ASSERT_TRUE(WaitUntil([&] { return !(sent = m_server.BytesSentFor("/packages/tool.exe")).empty() && sent.back() > 0; }, kLimit));
        EXPECT_GE(sent.back(), static_cast<long long>(m_package.size()));
        EXPECT_LT(sent.back(), static_cast<long long>(m_package.size()) + kSurplus / 8) << "of " << kSurplus << " too many";
    }
}

// A package in soft\ that changed after its verified download is never run: it is removed,
// and the row offers the download again. Without a key it runs.
void SignedCatalogueEndToEnd::PackageReplacedInSoft() {
    ASSERT_TRUE(m_server.Put("/packages/tool.exe", m_package));
    Publish("/F", "F", Software());
    const HWND window = Open(kSoftwareOption, "/F");
    ASSERT_NE(window, nullptr);
    const Pixels offered = Settled(window, g_layout.firstSoftwareCell);
    ASSERT_TRUE(DownloadFirstPackage(window));
    ASSERT_EQ(ReadFileBytes(Soft("tool.exe")), m_package);
    // Still a program that runs, and records its start, but not the maker's bytes.
    ASSERT_TRUE(WriteFileBytes(Soft("tool.exe"), m_package + "changed"));
    ClickCell(window, g_layout.firstSoftwareCell);
    if (Keyed()) {
        EXPECT_TRUE(WaitUntil([&] { return Logged("is changed since the maker published it: removed, not started"); },
                              kLimit)) << Log();
        EXPECT_EQ(Settled(window, g_layout.firstSoftwareCell), offered) << "the row offers the download again";
        EXPECT_FALSE(PathExists(Soft("tool.exe")));
        EXPECT_EQ(ReadFileBytes(Soft("packages.verified")).find("tool.exe"), std::string::npos);
        EXPECT_EQ(PackageStarts(), 0u);
    } else {
        EXPECT_TRUE(WaitUntil([&] { return PackageStarts() == 1; }, kLimit));
    }
}

// A document is kept and opened only as the maker signed it, and then whatever its size;
// without a key a swapped one is kept and opened, and a small one taken for an error page.
void SignedCatalogueEndToEnd::Document(bool small) {
    const std::string opener = m_root.Child("opener.exe");
    ASSERT_TRUE(::CopyFileA(StandInProgramPath().c_str(), opener.c_str(), FALSE));
    const std::string classes(kClassesRoot);
    ASSERT_TRUE(WriteRegistryText(HKEY_LOCAL_MACHINE, classes + kDocumentType, "", kDocumentClass));
    ASSERT_TRUE(WriteRegistryText(HKEY_LOCAL_MACHINE, classes + kDocumentClass + "\\shell\\open\\command", "",
                                  "\"" + opener + "\" --windowless \"%1\""));
    const std::string document(small ? 1500 : 5000, 'd');
    ASSERT_TRUE(m_server.Put("/docs/guide", small ? document : std::string(document.size(), 'x')));
    const std::string name = std::string("说明") + kDocumentType;  // as stored: in the code page
    Publish("/documents/0.json", "D 0",
            std::string("{\"data\": [{\"name\": \"") + u8"说明" + kDocumentType + "\", \"type\": 1, \"id\": \"d1\", \"url\": \"" +
                m_server.Url("/docs/guide") + "\", \"sha256\": \"" + Sha256Hex(document) + "\", \"bytes\": " +
                std::to_string(document.size()) + "}]}");
    const HWND window = Open(kDocumentsOption, "/D");
    ASSERT_NE(window, nullptr);
    Settled(window, g_layout.firstDocumentCell);
    ClickCell(window, g_layout.firstDocumentCell);
    ASSERT_TRUE(WaitUntil([&] { return Logged("document download "); }, kLimit)) << Log();
    Settled(window, g_layout.firstDocumentCell);  // the row is idle again: the window has handled it
    const std::string path = m_installDir + "\\file\\" + name;
    const bool opened = WaitUntil([&] { return PathExists(opener + ".started"); }, small == Keyed() ? kLimit : 1000);
    SCOPED_TRACE(Log());
    if (small) {
        EXPECT_EQ(ReadFileBytes(path), Keyed() ? document : "");
        EXPECT_EQ(opened, Keyed());
    } else {
        EXPECT_EQ(ReadFileBytes(path), Keyed() ? "" : std::string(document.size(), 'x'));
        EXPECT_EQ(opened, !Keyed());
        if (Keyed()) {
            EXPECT_TRUE(Logged("not taken: its SHA-256 is not the one the catalogue names")) << Log();
        }
    }
}

// An icon is drawn only when its bytes are the maker's: the row looks as it does with no
// icon at all, and no icon file is kept. Without a key the other picture is drawn.
void SignedCatalogueEndToEnd::SwappedIcon() {
    const std::string icon = ReadFileBytes(DemoIcon("kaipiao.png")), other = ReadFileBytes(DemoIcon("shuikong.png"));
    Publish("/F", "F", Software());
    const HWND window = Open(kSoftwareOption, "/F");
    ASSERT_NE(window, nullptr);
    const Pixels withoutIcon = Settled(window, g_layout.firstSoftwareCell);
    ASSERT_TRUE(m_server.Put("/icons/tool.png", other));
    Publish("/F", "F", Software(IconMembers(Sha256Hex(icon))));
    const int loads = m_server.CountRequests("/F");
    // Choosing the tab again loads the catalogue again.
    ClickAt(window, kDocumentsOption);
    ClickAt(window, kSoftwareOption);
    ASSERT_TRUE(WaitUntil([&] { return m_server.CountRequests("/icons/tool.png") == 1 && m_server.CountRequests("/F") > loads; }, kLimit));
    if (Keyed()) {
        EXPECT_TRUE(WaitUntil([&] { return Logged("is refused: its bytes are not those the catalogue names"); }, kLimit));
        EXPECT_EQ(Settled(window, g_layout.firstSoftwareCell), withoutIcon);
        EXPECT_FALSE(PathExists(Soft("SignedTool.png")));
    } else {
        EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(Soft("SignedTool.png")) == other; }, kLimit));
        EXPECT_NE(Settled(window, g_layout.firstSoftwareCell), withoutIcon);
    }
}

TEST_P(SignedCatalogueEndToEnd, EndsOnWhatTheUserSeesAndWhatIsOnDisk) { (this->*std::get<1>(GetParam()).run)(); }

const SignedCase kCases[] = {
    {"MatchingPackageRuns", &SignedCatalogueEndToEnd::MatchingPackageRuns},
    {"UnsignedCatalogue", &SignedCatalogueEndToEnd::UnsignedCatalogue},
    {"ChangedCatalogue", &SignedCatalogueEndToEnd::ChangedCatalogue},
    {"CatalogueOfAnotherKey", &SignedCatalogueEndToEnd::CatalogueOfAnotherKey},
    {"SwappedPackage", &SignedCatalogueEndToEnd::SwappedPackage},
    {"PackageTooLong", &SignedCatalogueEndToEnd::PackageTooLong},
    {"SplicedResume", &SignedCatalogueEndToEnd::SplicedResume},
    {"PackageReplacedInSoft", &SignedCatalogueEndToEnd::PackageReplacedInSoft},
    {"SwappedDocument", &SignedCatalogueEndToEnd::SwappedDocument},
    {"SmallSignedDocument", &SignedCatalogueEndToEnd::SmallSignedDocument},
    {"SwappedIcon", &SignedCatalogueEndToEnd::SwappedIcon},
};

INSTANTIATE_TEST_SUITE_P(Table, SignedCatalogueEndToEnd,
                         ::testing::Combine(::testing::Values(Variant::Keyed, Variant::Keyless),
                                            ::testing::ValuesIn(kCases)),
                         [](const ::testing::TestParamInfo<std::tuple<Variant, SignedCase>>& info) {
                             return std::string(std::get<1>(info.param).name) +
                                    (std::get<0>(info.param) == Variant::Keyed ? "_Keyed" : "_Keyless");
                         });

}  // namespace
