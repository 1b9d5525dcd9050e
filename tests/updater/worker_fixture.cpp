#include "tests/updater/worker_fixture.h"

#include "updater/update_worker.h"

#include <thread>

namespace {

constexpr char kRecorderClass[] = "KestrovaUpdaterTestRecorder";

}  // namespace

MessageRecorder::MessageRecorder() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kRecorderClass;
    ::RegisterClassA(&windowClass);
    window_ = ::CreateWindowExA(0, kRecorderClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleA(nullptr), nullptr);
    ::SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageRecorder::~MessageRecorder() {
    if (window_ != nullptr) ::DestroyWindow(window_);
}

LRESULT CALLBACK MessageRecorder::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        if (auto* self = reinterpret_cast<MessageRecorder*>(::GetWindowLongPtrA(window, GWLP_USERDATA))) {
            self->messages_.push_back({wParam, lParam});
        }
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

const std::vector<PostedMessage>& MessageRecorder::Messages() {
    MSG message;
    while (::PeekMessageA(&message, window_, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    return messages_;
}

std::vector<WPARAM> MessageRecorder::FinalCodes() {
    std::vector<WPARAM> codes;
    for (const auto& posted : Messages()) {
        if (posted.code == UPDATE_ABORTED || posted.code == UPDATE_FINISHED) codes.push_back(posted.code);
    }
    return codes;
}

std::vector<int> MessageRecorder::Percentages() {
    std::vector<int> percentages;
    for (const auto& posted : Messages()) {
        if (posted.code != UPDATE_ABORTED && posted.code != UPDATE_FINISHED) {
            percentages.push_back(static_cast<int>(posted.code));
        }
    }
    return percentages;
}

WorkerTest::WorkerTest()
    : server_("updater-worker"),
      savedValues_(Updater()),
      savedTarget_(ProgressTargetWindow()),
      savedLimits_(UpdaterLimits().transfer) {
    Updater().InstallDir = install_.Path();
    Updater().UpdateListUrl = server_.Url("/U");
    SetProgressTargetWindow(recorder_.Window());
}

WorkerTest::~WorkerTest() {
    Updater() = savedValues_;
    SetProgressTargetWindow(savedTarget_);
    UpdaterLimits().transfer = savedLimits_;
}

void WorkerTest::RunWorker() {
    std::thread worker([] { UpdateWorker(nullptr); });
    worker.join();
}

std::string WorkerTest::Publish(const std::string& path, const std::string& content) {
    EXPECT_TRUE(server_.Put(path, content));
    return server_.Url(path);
}

std::string WorkerTest::Entry(const std::string& name, const std::string& url, const std::string& content,
                              bool capitalDigest) {
    std::string digest = Md5Of(content);
    if (capitalDigest) {
        for (char& c : digest) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    return "{\"id\":\"" + digest + "\",\"name\":\"" + name + "\",\"url\":\"" + url + "\"}";
}

void WorkerTest::PublishList(const std::vector<std::string>& entries) {
    std::string list = "[";
    for (size_t i = 0; i < entries.size(); ++i) list += (i ? "," : "") + entries[i];
    list += "]";
    ASSERT_TRUE(server_.Put("/U", list));
}
