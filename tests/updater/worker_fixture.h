#pragma once
// Runs the update worker in the test process: the process-wide values point at a
// temporary installation folder and a namespace of the reference server, and a
// message-only window of the test thread receives what the worker posts.

#include "shared/http.h"
#include "tests/support/message_window.h"
#include "tests/support/test_server.h"
#include "tests/updater/install_folder.h"
#include "updater/process_values.h"
#include "updater/transfer_limits.h"
#include "updater/worker_gate.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

struct PostedMessage {
    WPARAM code;
    LPARAM data;
};

// A window without a screen presence that records every WM_USER it receives.
class MessageRecorder {
public:
    MessageRecorder();

    HWND Window() const { return m_window.Window(); }
    // Dispatches what is queued for the window and returns all it has received so far.
    const std::vector<PostedMessage>& Messages();
    // The codes 931 and 1000 received, in order.
    std::vector<WPARAM> FinalCodes();
    // Percentages received, in order.
    std::vector<int> Percentages();

private:
    std::vector<PostedMessage> m_messages;
    MessageOnlyWindow m_window;
};

class WorkerTest : public ::testing::Test {
protected:
    WorkerTest();
    ~WorkerTest() override;

    // Starts UpdateWorker as the window does and waits for it to end.
    void RunWorker();
    // Publishes content at path in the namespace; returns its full URL.
    std::string Publish(const std::string& path, const std::string& content);
    // A list entry as JSON, the digest given in capitals when asked.
    std::string Entry(const std::string& name, const std::string& url, const std::string& content,
                      bool capitalDigest = false);
    void PublishList(const std::vector<std::string>& entries);

    InstallFolder m_install;
    TestServer m_server;
    MessageRecorder m_recorder;

private:
    UpdaterValues m_savedValues;
    HWND m_savedTarget;
    TransferLimits m_savedLimits;
};
