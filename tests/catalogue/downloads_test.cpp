// Package and document downloads against the reference server, with a real window taking
// the workers' messages the way the main window does.
#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/http.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/test_server.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

constexpr size_t kPackageBytes = 1000000;

// Short limits for the downloads of the stalled-server cases, restored afterwards.
class ShortTransferLimits {
public:
    explicit ShortTransferLimits(TransferLimits limits) : m_saved(DownloadTransferLimits()) {
        DownloadTransferLimits() = limits;
    }
    ~ShortTransferLimits() { DownloadTransferLimits() = m_saved; }

private:
    TransferLimits m_saved;
};

class Downloads : public ::testing::Test {
protected:
    TestServer m_server{"downloads"};
    CatalogueFolder m_install;
    CatalogueTestWindow m_window;

    void SetUp() override {
        ASSERT_TRUE(m_window.IsOpen());
        ASSERT_NE(m_window.SoftList(), nullptr);
        ASSERT_NE(m_window.FileList(), nullptr);
    }

    CatalogueContext Context() const { return m_install.Context(m_server.BaseUrl()); }

    // A software row of its own in the window's list, built as a catalogue load builds one.
    SkinSoftListControl* AddPackageRow(const std::string& urlPath, const std::string& downName) {
        auto entry = std::make_unique<DuiSoft>();
        entry->name = "pkg";
        entry->url = m_server.Url(urlPath);
        entry->downName = downName;
        static int rowCounter = 0;
        SkinSoftListControl* control = BuildSoftwareCell(std::move(entry), ReserveCellIds(1), rowCounter);
        auto* row = new CHorizontalLayoutUI;
        row->Add(control);
        m_window.SoftList()->Add(row);
        return control;
    }

    FileListControl* AddDocumentRow(const std::string& urlPath, const std::string& name) {
        auto* item = new DuiFile;
        item->name = name;
        item->type = 1;
        item->url = m_server.Url(urlPath);
        auto* control = new FileListControl(item);
        control->SetName(UniqueTestName("fileIndex").c_str());
        auto* row = new CHorizontalLayoutUI;
        row->Add(control);
        m_window.FileList()->Add(row);
        return control;
    }

    std::string PackagePath(const std::string& name) const { return m_install.SoftDir() + "\\" + name; }
    std::string DocumentPath(const std::string& name) const { return m_install.FileDir() + "\\" + name; }
};

TEST_F(Downloads, APackageReportsRisingPercentagesThenOneSuccess) {
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/1000000", "package.exe");
    const UINT_PTR cellId = row->GetTag();
    StartSoftwareDownload(row, Context());
    // Counted on this thread before the worker can run.
    EXPECT_EQ(RunningDownloadCount().load(), countBefore + 1);
    EXPECT_EQ(row->GetSoft()->state.load(), Downloading);
    EXPECT_TRUE(row->IsDownLoad());

    ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded));
    PumpMessagesFor(300);  // nothing may follow the final code
    const auto percentages = m_window.Percentages();
    ASSERT_FALSE(percentages.empty());
    for (size_t i = 1; i < percentages.size(); ++i) EXPECT_LE(percentages[i - 1], percentages[i]);
    EXPECT_LE(percentages.back(), 100u);
    EXPECT_EQ(m_window.Messages().back().code, kPackageDownloaded);
    EXPECT_EQ(m_window.CountOf(kPackageDownloaded), 1);
    EXPECT_EQ(m_window.CountOf(kPackageFailed), 0);

    SkinSoftListControl* found = FindSoftwareRow(m_window.PaintManager(), cellId);
    ASSERT_EQ(found, row);
    EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_FALSE(row->IsDownLoad());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_EQ(ReadFileBytes(PackagePath("package.exe")), PatternBytes(kPackageBytes));
    const auto requests = m_server.Requests();
    ASSERT_EQ(requests.size(), 1u);
}

TEST_F(Downloads, CancellingStopsTheTransferAndRemovesThePartialFile) {
    ASSERT_TRUE(m_server.SetFault("/_gen/1000000", "mode=trickle&chunk=8192&delay=0.05&count=1"));
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/1000000", "slow.exe");
    StartSoftwareDownload(row, Context());
    ASSERT_TRUE(PumpMessagesUntil(
        [&] {
            const auto percentages = m_window.Percentages();
            return !percentages.empty() && percentages.back() >= 2;
        },
        20000));

    CancelSoftwareDownload(row);
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_FALSE(row->IsDownLoad());

    // The whole trickle takes six seconds; a worker that missed the cancel would end it
    // with the success code instead of this one.
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, 1, 10000));
    PumpMessagesFor(300);
    EXPECT_EQ(m_window.CountOf(kPackageFailed), 1);
    EXPECT_EQ(m_window.CountOf(kPackageDownloaded), 0);
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_FALSE(PathExists(PackagePath("slow.exe")));
    EXPECT_FALSE(PathExists(StagingPathOf(PackagePath("slow.exe")))) << "a cancel keeps no partial file";

    // The row is idle again: a new click downloads the package afresh.
    StartSoftwareDownload(row, Context());
    ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded, 1, 20000));
    EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
}

TEST_F(Downloads, ARestartAfterACancelIsNotUndoneByTheCancelledWorker) {
    // The cancelled transfer receives nothing; the new download of the same row waits for
    // it to let go of the file, which it does at its next progress call.
    ShortTransferLimits limits({2, 3});
    ASSERT_TRUE(m_server.SetFault("/_gen/1000000", "mode=stall&seconds=30&count=1"));
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/1000000", "again.exe");
    StartSoftwareDownload(row, Context());
    ASSERT_TRUE(PumpMessagesUntil([&] { return m_server.CountRequests("/_gen/1000000") == 1; }));
    CancelSoftwareDownload(row);
    StartSoftwareDownload(row, Context());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore + 2);

    ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded));
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, 1, 15000));
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_EQ(ReadFileBytes(PackagePath("again.exe")), PatternBytes(kPackageBytes));
}

TEST_F(Downloads, AStalledServerEndsInAFailureWithinTheLimit) {
    ShortTransferLimits limits({2, 2});
    // The failure must come from the limits, long before the server would end the stall.
    ASSERT_TRUE(m_server.SetFault("/_gen/1000000", "mode=stall&seconds=60"));
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/1000000", "stalled.exe");
    StartSoftwareDownload(row, Context());
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, 1, 30000));
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_FALSE(PathExists(PackagePath("stalled.exe")));
}

TEST_F(Downloads, ARefusedPackageNameWritesNothingAndReturnsTheRowToIdle) {
    const int countBefore = RunningDownloadCount().load();
    const std::vector<std::string> refused{"",         ".",     "..",      "..\\outside.exe", "sub/inside.exe", "C:evil.exe",
                                           "*.exe",    "a?.exe", "CON",    "nul.txt",         "setup.exe.",     "setup.exe ",
                                           "x.exe.partial", "x.exe.partial.etag"};
    for (const std::string& downName : refused) {
        SkinSoftListControl* row = AddPackageRow("/_gen/5000", downName);
        StartSoftwareDownload(row, Context());
        EXPECT_EQ(row->GetSoft()->state.load(), Downloading);
    }
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, static_cast<int>(refused.size())));
    PumpMessagesFor(200);
    EXPECT_EQ(m_window.CountOf(kPackageFailed), static_cast<int>(refused.size()));
    EXPECT_EQ(m_window.CountOf(kPackageDownloaded), 0);
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_EQ(m_server.CountRequests("/_gen/5000"), 0);
    EXPECT_FALSE(PathExists(m_install.Child("outside.exe")));
    EXPECT_FALSE(PathExists(PackagePath("sub")));
    std::vector<std::string> paths, names;
    ListFiles(m_install.Path(), paths, names);
    EXPECT_TRUE(names.empty());
}

TEST_F(Downloads, APackageFolderThatCannotBeMadeStillEndsTheDownload) {
    MessageBoxWatcher boxes;
    CatalogueFolder parent;
    const CatalogueContext context{parent.Child("missing\\deeper"), m_server.BaseUrl(), "91110000TEST"};
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/5000", "package.exe");
    StartSoftwareDownload(row, context);
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed));
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    const auto shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].caption, "创建目录失败");
    // Shown by the window thread, not the worker: owned by the window.
    EXPECT_EQ(shown[0].owner, m_window.GetHWND());
}

TEST_F(Downloads, ATargetThatCannotBeOpenedStillEndsTheDownload) {
    // A folder standing under the package's name: the output file cannot be created.
    ASSERT_TRUE(::CreateDirectoryA(m_install.SoftDir().c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(PackagePath("blocked.exe").c_str(), nullptr));
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/5000", "blocked.exe");
    StartSoftwareDownload(row, Context());
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed));
    PumpMessagesFor(200);
    EXPECT_EQ(m_window.CountOf(kPackageFailed), 1);
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    EXPECT_EQ(m_server.CountRequests("/_gen/5000"), 0);
}

TEST_F(Downloads, ARowRemovedMeanwhileIsLeftAloneAndTheJobStillEnds) {
    ASSERT_TRUE(m_server.SetFault("/_gen/1000000", "mode=trickle&chunk=65536&delay=0.05"));
    const int countBefore = RunningDownloadCount().load();
    SkinSoftListControl* row = AddPackageRow("/_gen/1000000", "orphan.exe");
    const UINT_PTR cellId = row->GetTag();
    StartSoftwareDownload(row, Context());
    m_window.SoftList()->RemoveAll();  // frees the row and its record
    ASSERT_EQ(FindSoftwareRow(m_window.PaintManager(), cellId), nullptr);

    ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded));
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    // The job copied what it needed at the start, so the transfer was unaffected.
    EXPECT_EQ(ReadFileBytes(PackagePath("orphan.exe")), PatternBytes(kPackageBytes));
}

TEST_F(Downloads, SeveralPackagesDownloadAtOnceIntoAFolderNotYetMade) {
    MessageBoxWatcher boxes;
    ASSERT_TRUE(m_server.SetFault("/_gen/300000", "mode=trickle&chunk=32768&delay=0.02&count=5"));
    const int countBefore = RunningDownloadCount().load();
    std::vector<SkinSoftListControl*> rows;
    for (const char* name : {"one.exe", "two.exe", "three.exe", "four.exe", "five.exe"}) {
        rows.push_back(AddPackageRow("/_gen/300000", name));
        StartSoftwareDownload(rows.back(), Context());
    }
    EXPECT_EQ(RunningDownloadCount().load(), countBefore + 5);
    ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded, 5));
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    for (SkinSoftListControl* row : rows) EXPECT_EQ(row->GetSoft()->state.load(), Downloaded);
    EXPECT_EQ(ReadFileBytes(PackagePath("three.exe")), PatternBytes(300000));
    // Each worker makes sure the folder exists; none of them may find it made meanwhile and complain.
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(Downloads, SmallDocumentsAreDeletedAndLargerOnesOpened) {
    TempDir recordDir;
    const std::string record = recordDir.Child("opened.txt");
    RecordingDocumentType fileType(record);
    ASSERT_TRUE(fileType.ok());
    ASSERT_TRUE(WaitForDesktopShell());
    ASSERT_TRUE(m_server.Put("/docs/notice.kestrovadoc", PatternBytes(2000)));
    ASSERT_TRUE(m_server.Put("/docs/guide.kestrovadoc", PatternBytes(2001)));
    FileListControl* small = AddDocumentRow("/docs/notice.kestrovadoc", "notice.kestrovadoc");
    FileListControl* large = AddDocumentRow("/docs/guide.kestrovadoc", "guide.kestrovadoc");
    const int countBefore = RunningDownloadCount().load();
    StartDocumentDownload(small, Context());
    StartDocumentDownload(large, Context());
    EXPECT_TRUE(small->IsDownLoad());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);  // documents are not counted

    ASSERT_TRUE(m_window.WaitForCode(kDocumentDownloaded, 2));
    EXPECT_FALSE(small->IsDownLoad());
    EXPECT_FALSE(large->IsDownLoad());
    EXPECT_FALSE(PathExists(DocumentPath("notice.kestrovadoc")));
    EXPECT_EQ(ReadFileBytes(DocumentPath("guide.kestrovadoc")), PatternBytes(2001));

    // The larger one reached the desktop's shell, which started the file type's program with it.
    ASSERT_TRUE(PumpMessagesUntil([&] { return ReadFileBytes(record).find("parent") != std::string::npos; }, 20000));
    PumpMessagesFor(500);
    EXPECT_EQ(ReadFileBytes(record), DocumentPath("guide.kestrovadoc") + "\nparent explorer.exe\n");
}

TEST_F(Downloads, AFailedDocumentTransferLeavesNoFile) {
    ASSERT_TRUE(m_server.Put("/docs/cut.pdf", PatternBytes(50000)));
    ASSERT_TRUE(m_server.SetFault("/docs/cut.pdf", "mode=drop&after=20000"));
    FileListControl* row = AddDocumentRow("/docs/cut.pdf", "cut.pdf");
    StartDocumentDownload(row, Context());
    ASSERT_TRUE(m_window.WaitForCode(kDocumentFailed));
    EXPECT_FALSE(row->IsDownLoad());
    EXPECT_FALSE(PathExists(DocumentPath("cut.pdf")));
}

TEST_F(Downloads, ARefusedDocumentNameWritesNothing) {
    const std::vector<std::string> refused{"..\\up.pdf", "a/b.pdf", "", "*.pdf", "AUX", "doc.pdf.", "doc.pdf.partial"};
    for (const std::string& name : refused) StartDocumentDownload(AddDocumentRow("/docs/any.pdf", name), Context());
    ASSERT_TRUE(m_window.WaitForCode(kDocumentFailed, static_cast<int>(refused.size())));
    EXPECT_EQ(m_server.CountRequests("/docs/any.pdf"), 0);
    std::vector<std::string> paths, names;
    ListFiles(m_install.Path(), paths, names);
    EXPECT_TRUE(names.empty());
}

TEST_F(Downloads, ADocumentWhoseListWasRebuiltStillEnds) {
    TempDir recordDir;
    const std::string record = recordDir.Child("opened.txt");
    RecordingDocumentType fileType(record);
    ASSERT_TRUE(fileType.ok());
    ASSERT_TRUE(WaitForDesktopShell());
    ASSERT_TRUE(m_server.Put("/docs/later.kestrovadoc", PatternBytes(40000)));
    ASSERT_TRUE(m_server.SetFault("/docs/later.kestrovadoc", "mode=trickle&chunk=8192&delay=0.05"));
    FileListControl* row = AddDocumentRow("/docs/later.kestrovadoc", "later.kestrovadoc");
    StartDocumentDownload(row, Context());
    StartDocumentDownload(row, Context());  // clicked again while it downloads
    m_window.FileList()->RemoveAll();
    // The folder shown anew: its new row of the same file starts nothing either.
    StartDocumentDownload(AddDocumentRow("/docs/later.kestrovadoc", "later.kestrovadoc"), Context());
    ASSERT_TRUE(m_window.WaitForCode(kDocumentDownloaded));
    PumpMessagesFor(300);
    EXPECT_EQ(m_window.CountOf(kDocumentDownloaded) + m_window.CountOf(kDocumentFailed), 1);
    EXPECT_EQ(m_server.CountRequests("/docs/later.kestrovadoc"), 1);
    // The document the user asked for is still opened.
    ASSERT_TRUE(PumpMessagesUntil([&] { return ReadFileBytes(record).find("parent") != std::string::npos; }, 20000));
    EXPECT_NE(ReadFileBytes(record).find("later.kestrovadoc"), std::string::npos);
}

TEST_F(Downloads, HttpErrorsLeaveNoFileAndBringTheRowsBack) {
    const std::string page(3000, 'e');  // too large to pass for the small error page of a document
    const int countBefore = RunningDownloadCount().load();
    std::vector<SkinSoftListControl*> packages;
    std::vector<FileListControl*> documents;
    for (const std::string code : {"404", "500"}) {
        for (const std::string& path : {"/pkg/" + code + ".exe", "/docs/" + code + ".pdf"}) {
            ASSERT_TRUE(m_server.SetFault(path, "mode=status&code=" + code, page));
        }
        packages.push_back(AddPackageRow("/pkg/" + code + ".exe", code + ".exe"));
        documents.push_back(AddDocumentRow("/docs/" + code + ".pdf", code + ".pdf"));
        StartSoftwareDownload(packages.back(), Context());
        StartDocumentDownload(documents.back(), Context());
    }
    ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, 2));
    ASSERT_TRUE(m_window.WaitForCode(kDocumentFailed, 2));
    EXPECT_EQ(m_window.CountOf(kPackageDownloaded) + m_window.CountOf(kDocumentDownloaded), 0);
    for (SkinSoftListControl* row : packages) EXPECT_EQ(row->GetSoft()->state.load(), NotDownloaded);
    for (FileListControl* row : documents) EXPECT_FALSE(row->IsDownLoad());
    EXPECT_EQ(RunningDownloadCount().load(), countBefore);
    for (const std::string& folder : {m_install.SoftDir(), m_install.FileDir()}) {
        std::vector<std::string> paths, names;
        ListFiles(folder, paths, names);
        EXPECT_TRUE(names.empty()) << folder << ": " << ::testing::PrintToString(names);
    }
}

// A package broken off part way is continued by the next download of the same URL, when
// the server still has the same bytes and answers the range; otherwise it comes whole.
TEST_F(Downloads, ABrokenPackageIsContinuedOnlyWithTheSameBytes) {
    constexpr size_t kBytes = 400000;
    constexpr char kSlowly[] = "mode=trickle&chunk=16384&delay=0.02&count=1";  // so the row shows several steps
    struct Case {
        std::string name;
        bool byExit;              // broken by the program's exit, else by the connection
        const char* secondFault;  // how the server treats the second request
        bool fileChanged;         // new bytes published in between
        bool continued;
    } cases[] = {
        {"dropped.exe", false, kSlowly, false, true},
        {"exited.exe", true, kSlowly, false, true},
        {"ignored.exe", false, "mode=norange", false, false},
        {"changed.exe", false, nullptr, true, false},
    };
    OpenProgramLog(m_install.Path(), "Veltrin");
    int rounds = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = "/pkg/" + c.name;
        const std::string first = PatternBytes(kBytes);
        const std::string second = c.fileChanged ? std::string(first.rbegin(), first.rend()) : first;
        ASSERT_TRUE(m_server.Put(path, first));
        ASSERT_TRUE(m_server.SetFault(path, c.byExit ? "mode=trickle&chunk=16384&delay=0.05&count=1"
                                                    : "mode=drop&after=200000&count=1"));
        SkinSoftListControl* row = AddPackageRow(path, c.name);
        StartSoftwareDownload(row, Context());
        if (c.byExit) {
            ASSERT_TRUE(PumpMessagesUntil([&] { return row->GetDownLoadSize() >= 20; }, 20000));
            EXPECT_FALSE(WaitForBackgroundWork(100)) << "the exit's wait is bounded while a download runs";
            StopDownloadsForExit();
            ASSERT_TRUE(WaitForBackgroundWork(kBackgroundExitWaitMilliseconds));
        }
        ASSERT_TRUE(m_window.WaitForCode(kPackageFailed, ++rounds));

        // Only the partial file is left, and a catalogue load does not take it for the package.
        const std::string partial = StagingPathOf(PackagePath(c.name));
        EXPECT_FALSE(PathExists(PackagePath(c.name)));
        const long long kept = FileSizeOf(partial);
        ASSERT_GT(kept, 0);
        EXPECT_EQ(ReadFileBytes(partial), first.substr(0, static_cast<size_t>(kept)));
        ASSERT_TRUE(m_server.Put("/F", "{\"data\":[{\"name\":\"p\",\"downname\":\"" + c.name + "\"}]}"));
        CContainerUI list;
        int counter = 0;
        ASSERT_TRUE(LoadSoftwareAndWait(&list, Context(), counter));
        ASSERT_EQ(SoftwareRecords(list).size(), 1u);
        EXPECT_EQ(SoftwareRecords(list)[0]->state.load(), NotDownloaded);

        if (c.fileChanged) {
            ASSERT_TRUE(m_server.Put(path, second));
        }
        if (c.secondFault != nullptr) {
            ASSERT_TRUE(m_server.SetFault(path, c.secondFault));
        }
        const size_t shownBefore = m_window.Percentages().size();
        StartSoftwareDownload(row, Context());
        ASSERT_TRUE(m_window.WaitForCode(kPackageDownloaded, rounds));
        EXPECT_EQ(ReadFileBytes(PackagePath(c.name)), second);
        EXPECT_FALSE(PathExists(partial));
        EXPECT_FALSE(PathExists(partial + ".etag"));
        EXPECT_EQ(m_server.RangesOf(path), (std::vector<std::string>{"", "bytes=" + std::to_string(kept) + "-"}));
        // The row shows the whole file: a continued one never shows less than the kept bytes.
        const auto shown = m_window.Percentages();
        ASSERT_GT(shown.size(), shownBefore);
        EXPECT_EQ(shown.back(), 100u);
        const auto lowest = *std::min_element(shown.begin() + static_cast<long>(shownBefore), shown.end());
        if (c.continued) {
            EXPECT_GE(lowest, static_cast<WPARAM>(kept * 100 / kBytes));
            EXPECT_NE(ReadFileBytes(m_install.Child("log\\Veltrin.log")).find("HTTP 206, continued from byte " +
                                                                                 std::to_string(kept) + "; complete"),
                      std::string::npos);
        }
    }
}

}  // namespace
