#include "tests/catalogue/catalogue_fixture.h"

#include "shared/background_work.h"
#include "shared/unique_handle.h"
#include "tests/support/gui_driver.h"
#include "tests/support/registry.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/installed_programs.h"
#include "toolbox/catalogue/registry_text.h"
#include "toolbox/catalogue/worker_results.h"

#include <atomic>
#include <chrono>
#include <sstream>

namespace {

constexpr char kTestKeyRoot[] = "SOFTWARE\\KestrovaTest";
constexpr char kClassesRoot[] = "Software\\Classes";
constexpr char kRecordingProgId[] = "KestrovaTest.Recording";

}  // namespace

CatalogueTestWindow::CatalogueTestWindow() : SkinTestWindow("", nullptr) {
    CreateAt(RECT{20, 20, 920, 720}, false);
    OpenWorkerResults(m_hWnd);
}

CatalogueTestWindow::~CatalogueTestWindow() {
    CloseWorkerResults(m_hWnd);
}

CContainerUI* CatalogueTestWindow::SoftList() { return static_cast<CContainerUI*>(Find("softlist")); }

CContainerUI* CatalogueTestWindow::FileList() { return static_cast<CContainerUI*>(Find("filelist")); }

std::vector<WPARAM> CatalogueTestWindow::Percentages() const {
    std::vector<WPARAM> percentages;
    for (const Message& message : m_messages) {
        if (message.code <= 100) percentages.push_back(message.code);
    }
    return percentages;
}

int CatalogueTestWindow::CountOf(WPARAM code) const {
    int count = 0;
    for (const Message& message : m_messages) count += message.code == code ? 1 : 0;
    return count;
}

bool CatalogueTestWindow::WaitForCode(WPARAM code, int count, DWORD milliseconds) {
    return PumpMessagesUntil([&] { return CountOf(code) >= count; }, milliseconds);
}

CControlUI* CatalogueTestWindow::MakeRoot() {
    auto* root = new CVerticalLayoutUI;
    auto* softList = new CVerticalLayoutUI;
    softList->SetName("softlist");
    auto* fileList = new CVerticalLayoutUI;
    fileList->SetName("filelist");
    root->Add(softList);
    root->Add(fileList);
    return root;
}

LRESULT CatalogueTestWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        m_messages.push_back({wParam, lParam});
        return OnDownloadMessage(Manager(), wParam, lParam);
    }
    if (message == WM_WORKERRESULTS) {
        const auto start = std::chrono::steady_clock::now();
        ApplyWorkerResults([this](WPARAM code, LPARAM job) { HandleMessage(WM_USER, code, job); });
        m_resultsMilliseconds += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        return 0;
    }
    return SkinTestWindow::HandleMessage(message, wParam, lParam);
}

bool LoadsApplied() {
    // The workers queue their last result before they count as ended.
    MSG queued;
    return RunningBackgroundWork() == 0 &&
           !::PeekMessageA(&queued, nullptr, WM_WORKERRESULTS, WM_WORKERRESULTS, PM_NOREMOVE);
}

bool LoadSoftwareAndWait(CContainerUI* list, const CatalogueContext& context, int& rowCounter) {
    LoadSoftwareCatalogue(list, context, &rowCounter);
    return PumpMessagesUntil(LoadsApplied, 20000);
}

bool LoadDocumentsAndWait(CContainerUI* list, const CatalogueContext& context, const std::string& folderId) {
    LoadDocumentCatalogue(list, context, folderId);
    return PumpMessagesUntil(LoadsApplied, 20000);
}

std::vector<DuiSoft*> SoftwareRecords(CContainerUI& list) {
    std::vector<DuiSoft*> records;
    for (SkinSoftListControl* cell : CellsOf<SkinSoftListControl>(&list, "SoftListItem")) records.push_back(cell->GetSoft());
    return records;
}

std::vector<DuiSoft*> CatalogueLoadTest::LoadReply(const std::string& reply) {
    EXPECT_TRUE(m_server.Put("/F", reply));
    EXPECT_TRUE(LoadSoftwareAndWait(&m_list, m_install.Context(m_server.BaseUrl()), m_rowCounter));
    return SoftwareRecords(m_list);
}

void CatalogueLoadTest::LoadFolder(const std::string& folder, const std::string& reply) {
    EXPECT_TRUE(m_server.Put("/documents/" + folder + ".json", reply));
    EXPECT_TRUE(LoadDocumentsAndWait(&m_list, m_install.Context(m_server.BaseUrl()), folder));
}

UninstallEntries::~UninstallEntries() {
    for (const auto& [view, name] : m_added) {
        const RegistryPlace place = PlaceOfView(view);
        UniqueRegistryKey uninstall;
        if (::RegOpenKeyExA(place.root, kUninstallKeyPath, 0, KEY_ALL_ACCESS | place.viewFlags, uninstall.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeA(uninstall.get(), name.c_str());
        }
    }
}

bool UninstallEntries::Add(const std::string& subkeyName, const std::map<std::string, std::string>& values,
                           RegistryView view) {
    const RegistryPlace place = PlaceOfView(view);
    const std::string path = std::string(kUninstallKeyPath) + "\\" + subkeyName;
    UniqueRegistryKey key;
    if (::RegCreateKeyExA(place.root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | place.viewFlags, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    m_added.emplace_back(view, subkeyName);
    for (const auto& [name, text] : values) {
        if (!WriteRegistryText(place.root, path, name, text, place.viewFlags)) return false;
    }
    return true;
}

MachineTestKey::MachineTestKey(const std::string& name, RegistryView view)
    : m_path(std::string(kTestKeyRoot) + "\\" + name), m_view(view) {
    const RegistryPlace place = PlaceOfView(m_view);
    UniqueRegistryKey key;
    ::RegCreateKeyExA(place.root, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | place.viewFlags, nullptr, key.put(),
                      nullptr);
}

MachineTestKey::~MachineTestKey() {
    const RegistryPlace place = PlaceOfView(m_view);
    UniqueRegistryKey root;
    if (::RegOpenKeyExA(place.root, "SOFTWARE", 0, KEY_ALL_ACCESS | place.viewFlags, root.put()) != ERROR_SUCCESS) {
        return;
    }
    ::RegDeleteTreeA(root.get(), m_path.substr(std::string("SOFTWARE\\").size()).c_str());
    // The common parent goes too once no test uses it (fails harmlessly while others do).
    ::RegDeleteKeyA(root.get(), "KestrovaTest");
}

bool MachineTestKey::Set(const std::string& valueName, const std::string& text) const {
    const RegistryPlace place = PlaceOfView(m_view);
    return WriteRegistryText(place.root, m_path, valueName, text, place.viewFlags);
}

CallRecord::CallRecord() { ::SetEnvironmentVariableA("KESTROVA_CALL_RECORD", Child("calls.txt").c_str()); }

CallRecord::~CallRecord() { ::SetEnvironmentVariableA("KESTROVA_CALL_RECORD", nullptr); }

std::vector<std::string> CallRecord::Lines() const {
    std::vector<std::string> lines;
    std::istringstream text(ReadFileBytes(Child("calls.txt")));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

bool CallRecord::WaitForLines(size_t count, DWORD milliseconds) const {
    return PumpMessagesUntil([&] { return Lines().size() >= count; }, milliseconds);
}

std::string CallRecorderPath() { return BuiltFile("call_recorder.exe"); }

RecordingFileType::RecordingFileType() {
    const std::string classes(kClassesRoot);
    m_registered = WriteRegistryText(HKEY_LOCAL_MACHINE, classes + "\\" + kExtension, "", kRecordingProgId) &&
                   WriteRegistryText(HKEY_LOCAL_MACHINE, classes + "\\" + kRecordingProgId + "\\shell\\open\\command",
                                     "", "\"" + CallRecorderPath() + "\" \"%1\"");
}

RecordingFileType::~RecordingFileType() {
    const std::string classes(kClassesRoot);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "\\" + kExtension).c_str());
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "\\" + kRecordingProgId).c_str());
}

namespace {
constexpr char kDocumentProgId[] = "KestrovaTest.Document";
}  // namespace

RecordingDocumentType::RecordingDocumentType(const std::string& recordPath) {
    const std::string command = "\"" + TestProgramDir() + "\\shell_open_recorder.exe\" \"" + recordPath + "\" \"%1\"";
    m_ok = WriteRegistryText(HKEY_CLASSES_ROOT, kExtension, "", kDocumentProgId) &&
           WriteRegistryText(HKEY_CLASSES_ROOT, std::string(kDocumentProgId) + "\\shell\\open\\command", "", command);
}

RecordingDocumentType::~RecordingDocumentType() {
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kExtension);
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kDocumentProgId);
}

std::string UniqueTestName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + std::to_string(::GetCurrentProcessId()) + "x" + std::to_string(++counter);
}

std::string JsonEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}
