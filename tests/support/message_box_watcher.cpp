#include "tests/support/message_box_watcher.h"

namespace {
constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
}

MessageBoxWatcher::MessageBoxWatcher() : m_thread([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    m_stop = true;
    m_thread.join();
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
}

void MessageBoxWatcher::Watch() {
    while (!m_stop) {
        ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
        ::Sleep(20);
    }
}

BOOL CALLBACK MessageBoxWatcher::Visit(HWND window, LPARAM self) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    char className[16] = {};
    ::GetClassNameA(window, className, sizeof(className));
    if (owner == ::GetCurrentProcessId() && std::string(className) == "#32770" && ::IsWindowVisible(window)) {
        reinterpret_cast<MessageBoxWatcher*>(self)->Dismiss(window);
    }
    return TRUE;
}

void MessageBoxWatcher::Dismiss(HWND box) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_handled.insert(box).second) return;
        char caption[512] = {};
        char text[1024] = {};
        ::GetWindowTextA(box, caption, sizeof(caption));
        ::GetDlgItemTextA(box, kMessageTextId, text, sizeof(text));
        m_boxes.push_back({caption, text, ::GetWindow(box, GW_OWNER)});
    }
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
}
