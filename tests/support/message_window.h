#pragma once
// A message-only window of the test thread, for what workers post: each message goes to
// a handler, which returns true for the ones it took (answered with 0).

#include <windows.h>

#include <functional>

class MessageOnlyWindow {
public:
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam)>;
    explicit MessageOnlyWindow(Handler handler);
    ~MessageOnlyWindow();
    MessageOnlyWindow(const MessageOnlyWindow&) = delete;
    MessageOnlyWindow& operator=(const MessageOnlyWindow&) = delete;

    HWND Window() const { return m_window; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    Handler m_handler;
    HWND m_window = nullptr;
};
