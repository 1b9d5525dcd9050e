#include "tests/catalogue/catalogue_fixture.h"

#include "shared/http.h"
#include "tests/support/gui_driver.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/installed_programs.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue/registry_text.h"
#include "toolbox/catalogue/worker_results.h"

#include <atomic>
#include <cstdlib>
#include <sstream>

namespace {

bool SetText(HKEY key, const std::string& valueName, const std::string& text) {
    return ::RegSetValueExA(key, valueName.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1)) ==
           ERROR_SUCCESS;
}

constexpr char kTestKeyRoot[] = "SOFTWARE\\KestrovaTest";
constexpr char kClassesRoot[] = "Software\\Classes";
constexpr char kRecordingProgId[] = "KestrovaTest.Recording";

}  // namespace

CatalogueTestWindow::CatalogueTestWindow() {
    // Kept hidden: nothing here is looked at, and hiding a shown window costs seconds under Wine.
    Create(nullptr, "Kestrova catalogue test", WS_POPUP, 0, 20, 20, 900, 700);
    SetProgressTargetWindow(m_hWnd);
    OpenWorkerResults(m_hWnd);
}

CatalogueTestWindow::~CatalogueTestWindow() {
    CloseWorkerResults(m_hWnd);
    SetProgressTargetWindow(nullptr);
    if (m_hWnd != nullptr) ::DestroyWindow(m_hWnd);
}

CContainerUI* CatalogueTestWindow::SoftList() {
    return static_cast<CContainerUI*>(paintManager_.FindControl("softlist"));
}

CContainerUI* CatalogueTestWindow::FileList() {
    return static_cast<CContainerUI*>(paintManager_.FindControl("filelist"));
}

std::vector<WPARAM> CatalogueTestWindow::Percentages() const {
    std::vector<WPARAM> percentages;
    for (const Message& message : messages_) {
        if (message.code <= 100) percentages.push_back(message.code);
    }
    return percentages;
}

int CatalogueTestWindow::CountOf(WPARAM code) const {
    int count = 0;
    for (const Message& message : messages_) count += message.code == code ? 1 : 0;
    return count;
}

bool CatalogueTestWindow::WaitForCode(WPARAM code, int count, DWORD milliseconds) {
    return PumpMessagesUntil([&] { return CountOf(code) >= count; }, milliseconds);
}

LRESULT CatalogueTestWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        paintManager_.Init(m_hWnd);
        auto* root = new CVerticalLayoutUI;
        auto* softList = new CVerticalLayoutUI;
        softList->SetName("softlist");
        auto* fileList = new CVerticalLayoutUI;
        fileList->SetName("filelist");
        root->Add(softList);
        root->Add(fileList);
        paintManager_.AttachDialog(root);
        return 0;
    }
    if (message == WM_USER) {
        messages_.push_back({wParam, lParam});
        return OnDownloadMessage(paintManager_, wParam, lParam);
    }
    if (message == WM_WORKERRESULTS) {
        ApplyWorkerResults([this](WPARAM code, LPARAM job) { HandleMessage(WM_USER, code, job); });
        return 0;
    }
    LRESULT result = 0;
    if (paintManager_.MessageHandler(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

UninstallEntries::~UninstallEntries() {
    for (const auto& [view, name] : added_) {
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
    added_.emplace_back(view, subkeyName);
    for (const auto& [name, text] : values) {
        if (!SetText(key.get(), name, text)) return false;
    }
    return true;
}

MachineTestKey::MachineTestKey(const std::string& name, RegistryView view)
    : path_(std::string(kTestKeyRoot) + "\\" + name), view_(view) {
    const RegistryPlace place = PlaceOfView(view_);
    UniqueRegistryKey key;
    ::RegCreateKeyExA(place.root, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | place.viewFlags, nullptr, key.put(),
                      nullptr);
}

MachineTestKey::~MachineTestKey() {
    const RegistryPlace place = PlaceOfView(view_);
    UniqueRegistryKey root;
    if (::RegOpenKeyExA(place.root, "SOFTWARE", 0, KEY_ALL_ACCESS | place.viewFlags, root.put()) != ERROR_SUCCESS) {
        return;
    }
    ::RegDeleteTreeA(root.get(), path_.substr(std::string("SOFTWARE\\").size()).c_str());
    // The common parent goes too once no test uses it (fails harmlessly while others do).
    ::RegDeleteKeyA(root.get(), "KestrovaTest");
}

bool MachineTestKey::Set(const std::string& valueName, const std::string& text) const {
    const RegistryPlace place = PlaceOfView(view_);
    UniqueRegistryKey key;
    if (::RegOpenKeyExA(place.root, path_.c_str(), 0, KEY_SET_VALUE | place.viewFlags, key.put()) != ERROR_SUCCESS) {
        return false;
    }
    return SetText(key.get(), valueName, text);
}

CallRecord::CallRecord() : path_(dir_.Child("calls.txt")) {
    ::SetEnvironmentVariableA("KESTROVA_CALL_RECORD", path_.c_str());
}

CallRecord::~CallRecord() { ::SetEnvironmentVariableA("KESTROVA_CALL_RECORD", nullptr); }

std::vector<std::string> CallRecord::Lines() const {
    std::vector<std::string> lines;
    std::istringstream text(ReadFileBytes(path_));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

bool CallRecord::WaitForLines(size_t count, DWORD milliseconds) const {
    return PumpMessagesUntil([&] { return Lines().size() >= count; }, milliseconds);
}

std::string CallRecorderPath() { return TestProgramDir() + "\\call_recorder.exe"; }

RecordingFileType::RecordingFileType() {
    const std::string classes(kClassesRoot);
    UniqueRegistryKey extension;
    UniqueRegistryKey command;
    registered_ =
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (classes + "\\" + kExtension).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, extension.put(), nullptr) == ERROR_SUCCESS &&
        SetText(extension.get(), "", kRecordingProgId) &&
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (classes + "\\" + kRecordingProgId + "\\shell\\open\\command").c_str(), 0,
                          nullptr, 0, KEY_ALL_ACCESS, nullptr, command.put(), nullptr) == ERROR_SUCCESS &&
        SetText(command.get(), "", "\"" + CallRecorderPath() + "\" \"%1\"");
}

RecordingFileType::~RecordingFileType() {
    const std::string classes(kClassesRoot);
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "\\" + kExtension).c_str());
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, (classes + "\\" + kRecordingProgId).c_str());
}

std::string UniqueTestName(const std::string& stem) {
    static std::atomic<int> counter{0};
    return stem + std::to_string(::GetCurrentProcessId()) + "x" + std::to_string(++counter);
}

std::string PatternBytes(size_t n) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return bytes;
}

std::string JsonEscaped(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}
