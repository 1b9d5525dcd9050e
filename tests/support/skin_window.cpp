#include "tests/support/skin_window.h"

#include "tests/support/gui_driver.h"

void UseTestArchive() {
    CPaintManagerUI::SetInstance(::GetModuleHandleA(nullptr));
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip("skintest.zip", false);
}

SkinTestWindow::SkinTestWindow(std::string layout, IDialogBuilderCallback* callback)
    : m_layout(std::move(layout)), m_pCallback(callback) {}

SkinTestWindow::~SkinTestWindow() {
    if (GetHWND() != nullptr) ::DestroyWindow(GetHWND());
}

std::unique_ptr<SkinTestWindow> SkinTestWindow::Open(const std::string& layout, IDialogBuilderCallback* callback, int x,
                                                     int y) {
    std::unique_ptr<SkinTestWindow> window(new SkinTestWindow(layout, callback));
    if (!window->CreateAt(RECT{x, y, x + 300, y + 200}, true)) return nullptr;
    return window;
}

bool SkinTestWindow::CreateAt(const RECT& place, bool shown) {
    if (Create(nullptr, "Kestrova skin test", WS_POPUP, 0, place.left, place.top, place.right - place.left,
               place.bottom - place.top) == nullptr) {
        return false;
    }
    if (shown) {
        // Shown without activation: the display has no window manager, and Wine waits two
        // seconds for one when an activated window is destroyed.
        ShowWindow(true, false);
        ::UpdateWindow(GetHWND());
        PumpMessagesFor(30);
    }
    return true;
}

CControlUI* SkinTestWindow::MakeRoot() {
    CDialogBuilder builder;
    return builder.Create(m_layout.c_str(), nullptr, m_pCallback, &m_manager);
}

LRESULT SkinTestWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        m_manager.Init(GetHWND());
        m_manager.AttachDialog(MakeRoot());
        m_manager.AddNotifier(this);
        return 0;
    }
    LRESULT result = 0;
    if (m_manager.MessageHandler(message, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(message, wParam, lParam);
}

void SkinTestWindow::OnFinalMessage(HWND) { finalMessageSeen = true; }

void SkinTestWindow::Notify(TNotifyUI& msg) {
    notices.push_back({msg.sType.GetData(), msg.pSender, msg.pSender ? msg.pSender->GetName().GetData() : ""});
    if (msg.sType == "windowinit" && m_manager.GetRoot() != nullptr) {
        rootSizeAtInit = SIZE{m_manager.GetRoot()->GetWidth(), m_manager.GetRoot()->GetHeight()};
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
