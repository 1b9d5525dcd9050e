#include "tests/skin/skin_test_window.h"

#include "tests/support/gui_driver.h"

void UseTestArchive() {
    CPaintManagerUI::SetInstance(::GetModuleHandleA(nullptr));
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip("skintest.zip", false);
}

SkinTestWindow::SkinTestWindow(std::string layout, IDialogBuilderCallback* callback)
    : layout_(std::move(layout)), callback_(callback) {}

SkinTestWindow::~SkinTestWindow() {
    if (GetHWND() != nullptr) ::DestroyWindow(GetHWND());
}

std::unique_ptr<SkinTestWindow> SkinTestWindow::Open(const std::string& layout, IDialogBuilderCallback* callback, int x,
                                                     int y) {
    std::unique_ptr<SkinTestWindow> window(new SkinTestWindow(layout, callback));
    if (window->Create(nullptr, "Kestrova skin test", WS_POPUP, 0, x, y, 300, 200) == nullptr) {
        return nullptr;
    }
    // Shown without activation: the display has no window manager, and Wine waits two
    // seconds for one when an activated window is destroyed.
    window->ShowWindow(true, false);
    ::UpdateWindow(window->GetHWND());
    PumpMessagesFor(30);
    return window;
}

LRESULT SkinTestWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        manager_.Init(GetHWND());
        CDialogBuilder builder;
        CControlUI* root = builder.Create(layout_.c_str(), nullptr, callback_, &manager_);
        manager_.AttachDialog(root);
        manager_.AddNotifier(this);
        return 0;
    }
    LRESULT result = 0;
    if (manager_.MessageHandler(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void SkinTestWindow::OnFinalMessage(HWND) { finalMessageSeen = true; }

void SkinTestWindow::Notify(TNotifyUI& msg) {
    notices.push_back({msg.sType.GetData(), msg.pSender, msg.pSender ? msg.pSender->GetName().GetData() : ""});
    if (msg.sType == "windowinit" && manager_.GetRoot() != nullptr) {
        rootSizeAtInit = SIZE{manager_.GetRoot()->GetWidth(), manager_.GetRoot()->GetHeight()};
    }
    if (onNotify) onNotify(msg);
}

RECT SkinTestWindow::RectOf(const char* name) {
    CControlUI* control = Find(name);
    return control ? control->GetPos() : RECT{0, 0, 0, 0};
}

void SkinTestWindow::Click(const char* name) { ClickAt(GetHWND(), CentreOf(RectOf(name))); }

int SkinTestWindow::Count(const char* type, const CControlUI* sender) const {
    int count = 0;
    for (const Notice& notice : notices) {
        if (notice.type == type && (sender == nullptr || notice.sender == sender)) ++count;
    }
    return count;
}

POINT CentreOf(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
