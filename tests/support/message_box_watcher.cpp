#include "tests/support/message_box_watcher.h"

namespace {
constexpr int kMessageTextId = 0xFFFF;  // the static control that holds a message box's text
}

MessageBoxWatcher::MessageBoxWatcher() : thread_([this] { Watch(); }) {}

MessageBoxWatcher::~MessageBoxWatcher() {
    stop_ = true;
    thread_.join();
}

std::vector<MessageBoxWatcher::Box> MessageBoxWatcher::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

void MessageBoxWatcher::Watch() {
    while (!stop_) {
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
        std::lock_guard<std::mutex> lock(mutex_);
        if (!handled_.insert(box).second) return;
        char caption[512] = {};
        char text[1024] = {};
        ::GetWindowTextA(box, caption, sizeof(caption));
        ::GetDlgItemTextA(box, kMessageTextId, text, sizeof(text));
        boxes_.push_back({caption, text, ::GetWindow(box, GW_OWNER)});
    }
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
}
