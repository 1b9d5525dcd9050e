#include "tests/updater/worker_fixture.h"

#include "shared/background_work.h"
#include "updater/update_worker.h"

MessageRecorder::MessageRecorder()
    : m_window([this](UINT message, WPARAM wParam, LPARAM lParam) {
          if (message != WM_USER) return false;
          m_messages.push_back({wParam, lParam});
          return true;
      }) {}

const std::vector<PostedMessage>& MessageRecorder::Messages() {
    MSG message;
    while (::PeekMessageA(&message, Window(), 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    return m_messages;
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
    : m_server("updater-worker"),
      m_savedValues(Updater()),
      m_savedTarget(ProgressTargetWindow()),
      m_savedLimits(UpdaterLimits().transfer) {
    Updater().InstallDir = m_install.Path();
    Updater().UpdateListUrl = m_server.Url("/U");
    SetProgressTargetWindow(m_recorder.Window());
}

WorkerTest::~WorkerTest() {
    Updater() = m_savedValues;
    SetProgressTargetWindow(m_savedTarget);
    UpdaterLimits().transfer = m_savedLimits;
}

void WorkerTest::RunWorker() {
    ASSERT_TRUE(StartUpdateWorker());
    ASSERT_TRUE(WaitForBackgroundWork(120000));  // far beyond the longest run here
}

std::string WorkerTest::Publish(const std::string& path, const std::string& content) {
    EXPECT_TRUE(m_server.Put(path, content));
    return m_server.Url(path);
}

std::string WorkerTest::Entry(const std::string& name, const std::string& url, const std::string& content,
                              bool capitalDigest) {
    return UpdateListEntry(name, url, content, capitalDigest);
}

void WorkerTest::PublishList(const std::vector<std::string>& entries) {
    std::string list = "[";
    for (size_t i = 0; i < entries.size(); ++i) list += (i ? "," : "") + entries[i];
    list += "]";
    ASSERT_TRUE(m_server.Put("/U", list));
}
