#include "tests/frame/frame_fixture.h"

#include <gtest/gtest.h>

SkinFolder::SkinFolder() {
    CPaintManagerUI::SetResourcePath((Path() + "\\").c_str());
    CPaintManagerUI::SetResourceZip("");
}

SkinFolder::~SkinFolder() { CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath()); }

void SkinFolder::Write(const std::string& name, const std::string& utf8Text) const {
    ASSERT_TRUE(WriteFileBytes(Child(name), utf8Text));
}

TestFrame::TestFrame(std::string layout, IDialogBuilderCallback* callback, int* liveCount)
    : m_layout(std::move(layout)), m_pCallback(callback), m_pLiveCount(liveCount) {
    if (m_pLiveCount) ++*m_pLiveCount;
}

TestFrame::~TestFrame() {
    if (m_pLiveCount) --*m_pLiveCount;
}

TestFrame* TestFrame::Open(const std::string& layout, int* liveCount, IDialogBuilderCallback* callback, int x,
                           int y) {
    auto* frame = new TestFrame(layout, callback, liveCount);
    if (!frame->Create(nullptr, "Kestrova frame test", WS_POPUP | WS_MINIMIZEBOX | WS_MAXIMIZEBOX, 0, x, y, 400,
                       300)) {
        delete frame;
        return nullptr;
    }
    const SIZE size = frame->PaintManager().GetInitSize();
    if (size.cx > 0 && size.cy > 0) {
        ::SetWindowPos(frame->GetHWND(), nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // No system menu and no activation: Wine hands activated windows and popups with a
    // system menu to the window manager, and waits two seconds for the absent one when
    // they are destroyed.
    frame->ShowWindow(true, false);
    return frame;
}

LRESULT TestFrame::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    if (message == WM_SIZE && wParam == SIZE_MAXIMIZED) {
        RECT rc{};
        ::GetWindowRect(GetHWND(), &rc);
        maximisedRects.push_back(rc);
    }
    handled = false;
    return 0;
}

void TestFrame::Notify(TNotifyUI& msg) {
    notices.push_back({msg.sType.GetData(), msg.pSender ? msg.pSender->GetName().GetData() : ""});
    if (msg.sType == "click" && msg.pSender) HandleCaptionButtonClick(*this, msg.pSender->GetName());
}

RECT ControlRect(TestFrame& frame, const char* name) {
    CControlUI* control = frame.PaintManager().FindControl(name);
    return control ? control->GetPos() : RECT{0, 0, 0, 0};
}
