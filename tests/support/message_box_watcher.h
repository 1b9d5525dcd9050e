#pragma once
// Watches for modal message boxes of this process on a thread of its own, records their
// caption and text, and dismisses each one with its default button.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class MessageBoxWatcher {
public:
    struct Box {
        std::string caption;
        std::string text;
        HWND owner;
    };

    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<Box> Boxes() const;

private:
    void Watch();
    static BOOL CALLBACK Visit(HWND window, LPARAM self);
    void Dismiss(HWND box);

    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::set<HWND> m_handled;
    std::thread m_thread;
};
