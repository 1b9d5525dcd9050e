#pragma once
// What the catalogue tests arrange: the main window as the downloads see it, an
// installation folder, entries in the real registry, a record of started programs, and a
// file type whose "open" verb starts the recording helper.

#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "skin/paint_manager.h"
#include "skin/window.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/skin_window.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_server.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/catalogue/catalogue_context.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

// A real window whose paint manager holds "softlist" and "filelist", records every
// download code it receives (WM_USER or from the workers' queue) and hands it to
// OnDownloadMessage, as the main window does. Kept hidden: nothing here is looked at, and
// hiding a shown window costs seconds under Wine.
// It is the progress target while it exists.
class CatalogueTestWindow : public SkinTestWindow {
public:
    struct Message {
        WPARAM code;
        LPARAM job;
    };

    CatalogueTestWindow();
    ~CatalogueTestWindow() override;

    bool IsOpen() const { return m_hWnd != nullptr; }
    CPaintManagerUI& PaintManager() { return Manager(); }
    CContainerUI* SoftList();
    CContainerUI* FileList();

    const std::vector<Message>& Messages() const { return m_messages; }
    std::vector<WPARAM> Percentages() const;
    int CountOf(WPARAM code) const;
    // Pumps messages until the code has arrived count times or the time runs out.
    bool WaitForCode(WPARAM code, int count = 1, DWORD milliseconds = 20000);
    // What applying the workers' results has taken so far.
    double ResultsMilliseconds() const { return m_resultsMilliseconds; }

protected:
    CControlUI* MakeRoot() override;
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    std::vector<Message> m_messages;
    double m_resultsMilliseconds = 0;
};

// True once no load's worker runs and this thread's window has applied all they queued:
// the list as its load leaves it, icons included.
bool LoadsApplied();
// The shipped loads, started and waited for until LoadsApplied (false when the time ran out).
bool LoadSoftwareAndWait(CContainerUI* list, const CatalogueContext& context, int& rowCounter);
bool LoadDocumentsAndWait(CContainerUI* list, const CatalogueContext& context, const std::string& folderId);

// The cells of a list (its rows' children) that offer the interface, row by row; a notice
// in place of the rows holds none.
template <typename Cell = CControlUI>
std::vector<Cell*> CellsOf(CContainerUI* list, const char* interfaceName) {
    std::vector<Cell*> cells;
    for (int r = 0; list != nullptr && r < list->GetCount(); ++r) {
        CControlUI* item = list->GetItemAt(r);
        auto* row = item->GetInterface("Container") != nullptr ? static_cast<CContainerUI*>(item) : nullptr;
        for (int c = 0; row != nullptr && c < row->GetCount(); ++c) {
            if (void* cell = row->GetItemAt(c)->GetInterface(interfaceName)) cells.push_back(static_cast<Cell*>(cell));
        }
    }
    return cells;
}
// The records of a list's software cells, in order.
std::vector<DuiSoft*> SoftwareRecords(CContainerUI& list);

// An installation folder of the toolbox's own, with the server's namespace as the base URL.
struct CatalogueFolder : TempDir {
    CatalogueContext Context(const std::string& serverBaseUrl, const std::string& taxCode = "91110000TEST") const {
        return CatalogueContext{Path(), serverBaseUrl, taxCode};
    }
    std::string SoftDir() const { return Child("soft"); }
    std::string FileDir() const { return Child("file"); }
};

// A list that the shipped loads fill from a server namespace of the test's own.
class CatalogueLoadTest : public ::testing::Test {
protected:
    explicit CatalogueLoadTest(const char* serverNamespace) : m_server(serverNamespace) {}
    // Serves reply as the software catalogue, loads it and returns the cells' records, in order.
    std::vector<DuiSoft*> LoadReply(const std::string& reply);
    // Serves reply as the document folder and loads that folder.
    void LoadFolder(const std::string& folder, const std::string& reply);

    TestServer m_server;
    CatalogueFolder m_install;
    CatalogueTestWindow m_window;  // applies the load's results
    CContainerUI m_list;
    int m_rowCounter = 0;
};

// Subkeys of the uninstall list (the 32-bit view the catalogue reads), removed at the end.
class UninstallEntries {
public:
    UninstallEntries() = default;
    ~UninstallEntries();
    UninstallEntries(const UninstallEntries&) = delete;
    UninstallEntries& operator=(const UninstallEntries&) = delete;

    // values: "DisplayName" and the like, as REG_SZ, in the uninstall list of that view.
    bool Add(const std::string& subkeyName, const std::map<std::string, std::string>& values,
             RegistryView view = MachineView32);

private:
    std::vector<std::pair<RegistryView, std::string>> m_added;
};

// A key of its own below SOFTWARE\KestrovaTest in a registry view (by default the one where
// the uninstall entries above are made), removed with its values at the end.
class MachineTestKey {
public:
    explicit MachineTestKey(const std::string& name, RegistryView view = MachineView32);
    ~MachineTestKey();
    MachineTestKey(const MachineTestKey&) = delete;
    MachineTestKey& operator=(const MachineTestKey&) = delete;

    // The key path below the view's root.
    const std::string& Path() const { return m_path; }
    bool Set(const std::string& valueName, const std::string& text) const;

private:
    std::string m_path;
    RegistryView m_view;
};

// Points KESTROVA_CALL_RECORD at a fresh file for the helper "call_recorder.exe".
class CallRecord : private TempDir {
public:
    CallRecord();
    ~CallRecord();

    std::vector<std::string> Lines() const;
    // Pumps messages until at least count lines were recorded.
    bool WaitForLines(size_t count, DWORD milliseconds = 20000) const;
};

// The recording helper's path beside the test program.
std::string CallRecorderPath();

// The file type ".kestrovatest", whose "open" verb starts the recording helper with the
// file's path, registered under HKEY_LOCAL_MACHINE\Software\Classes for the test's lifetime.
class RecordingFileType {
public:
    static constexpr const char* kExtension = ".kestrovatest";
    RecordingFileType();
    ~RecordingFileType();
    RecordingFileType(const RecordingFileType&) = delete;
    RecordingFileType& operator=(const RecordingFileType&) = delete;
    bool Registered() const { return m_registered; }

private:
    bool m_registered = false;
};

// The file type ".kestrovadoc", whose "open" verb starts "shell_open_recorder.exe", which
// appends the file's path and its parent's name to recordPath; in HKEY_CLASSES_ROOT for the
// test's lifetime (a fresh prefix maps few extensions).
class RecordingDocumentType {
public:
    static constexpr const char* kExtension = ".kestrovadoc";
    explicit RecordingDocumentType(const std::string& recordPath);
    ~RecordingDocumentType();
    RecordingDocumentType(const RecordingDocumentType&) = delete;
    RecordingDocumentType& operator=(const RecordingDocumentType&) = delete;
    bool ok() const { return m_ok; }

private:
    bool m_ok = false;
};

// A unique text for names in shared places (registry, server namespaces).
std::string UniqueTestName(const std::string& stem);
// A registry path as a JSON string's content: each backslash doubled.
std::string JsonEscaped(const std::string& text);
