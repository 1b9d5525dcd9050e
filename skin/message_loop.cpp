#include "skin/paint_manager.h"

#include <algorithm>
#include <vector>

namespace {

// Filters belong to the user-interface thread, the one thread that runs the loop.
std::vector<IMessageFilterUI*> messageFilters;

bool Filtered(const MSG& msg) {
    // A filter may remove itself while it is asked.
    const std::vector<IMessageFilterUI*> filters = messageFilters;
    for (IMessageFilterUI* filter : filters) {
        if (std::find(messageFilters.begin(), messageFilters.end(), filter) == messageFilters.end()) continue;
        if (filter->PreTranslateMessage(msg)) return true;
    }
    return false;
}

}  // namespace

int CPaintManagerUI::MessageLoop() {
    MSG msg{};
    for (;;) {
        const BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);  // WM_QUIT
        if (got == -1) return -1;
        if (!messageFilters.empty() && Filtered(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* filter) {
    if (filter == nullptr || std::find(messageFilters.begin(), messageFilters.end(), filter) != messageFilters.end()) {
        return false;
    }
    messageFilters.push_back(filter);
    return true;
}

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* filter) {
    auto it = std::find(messageFilters.begin(), messageFilters.end(), filter);
    if (it == messageFilters.end()) return false;
    messageFilters.erase(it);
    return true;
}
