// The mouse state machine driven by synthetic messages, with no window behind it.
#include "skin/input_router.h"

#include "skin/control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using skin_detail::InputRouter;
using skin_detail::InputWindow;

// By UIEVENT_TYPE.
const char* const kEventNames[] = {"", "enter", "leave", "move", "down", "up", "dblclk", "setcursor", "cancel"};

class RecordingControl : public CControlUI {
public:
    RecordingControl(const char* name, RECT pos, std::string& log) : m_log(log) {
        SetName(name);
        SetPos(pos);
    }
    void DoEvent(TEventUI& event) override {
        m_log += std::string(GetName().GetData()) + ":" + kEventNames[event.Type] + " ";
    }

private:
    std::string& m_log;
};

const HWND kOwnWindow = reinterpret_cast<HWND>(0x10);

class FakeWindow final : public InputWindow {
public:
    HWND Handle() const override { return kOwnWindow; }
    CControlUI* ControlAt(POINT pt) override {
        for (CControlUI* control : controls) {
            if (::PtInRect(&control->GetPos(), pt)) return control;
        }
        return nullptr;
    }
    void CaptureMouse() override { captured = true; }
    void ReleaseMouse() override { captured = false; }
    bool TrackMouseLeave() override { return true; }
    POINT CursorInClient() const override { return POINT{500, 500}; }
    POINT ScreenToClient(POINT pt) const override { return pt; }
    void TakeFocusFromChild() override {}
    void ShowArrowCursor() override {}
    void LayoutMoved() override {}

    std::vector<CControlUI*> controls;
    bool captured = false;
};

struct Step {
    UINT message;
    int x;
    int y;
    HWND captureTaker;  // WM_CAPTURECHANGED only
    const char* events;
    bool capturedAfter;
};

TEST(InputRouter, HoverPressCaptureAndCancelFollowTheMessages) {
    std::string log;
    RecordingControl a("a", RECT{0, 0, 100, 50}, log);
    RecordingControl b("b", RECT{100, 0, 200, 50}, log);
    FakeWindow window;
    window.controls = {&a, &b};
    skin_detail::DispatchGuard dispatch;
    InputRouter router(window, dispatch);
    const HWND other = reinterpret_cast<HWND>(0x20);

    const Step steps[] = {
        {WM_MOUSEMOVE, 10, 10, nullptr, "a:enter a:move ", false},
        {WM_MOUSEMOVE, 110, 10, nullptr, "a:leave b:enter b:move ", false},
        // A press holds the mouse: moving over another control changes no hover.
        {WM_LBUTTONDOWN, 110, 10, nullptr, "b:down ", true},
        {WM_MOUSEMOVE, 10, 10, nullptr, "b:move ", true},
        {WM_LBUTTONUP, 10, 10, nullptr, "b:up b:leave a:enter ", false},
        {WM_LBUTTONDBLCLK, 10, 10, nullptr, "a:down a:dblclk ", true},
        // The window's own capture changing is no cancel; another window taking it is.
        {WM_CAPTURECHANGED, 0, 0, kOwnWindow, "", true},
        {WM_CAPTURECHANGED, 0, 0, other, "a:cancel ", true},
        {WM_LBUTTONUP, 300, 300, nullptr, "a:leave ", false},
        {WM_MOUSEMOVE, 10, 10, nullptr, "a:enter a:move ", false},
        {WM_MOUSELEAVE, 0, 0, nullptr, "a:leave ", false},
    };
    for (const Step& step : steps) {
        log.clear();
        LRESULT result = 0;
        const LPARAM lParam = step.message == WM_CAPTURECHANGED ? reinterpret_cast<LPARAM>(step.captureTaker)
                                                                : MAKELPARAM(step.x, step.y);
        router.Route(step.message, 0, lParam, result);
        EXPECT_EQ(log, step.events) << "message " << step.message << " at " << step.x << "," << step.y;
        EXPECT_EQ(window.captured, step.capturedAfter) << "message " << step.message;
    }

    // A pushed control whose subtree goes away lets the mouse go.
    LRESULT result = 0;
    router.Route(WM_LBUTTONDOWN, 0, MAKELPARAM(110, 10), result);
    router.ForgetWithin(&b);
    EXPECT_EQ(router.Pushed(), nullptr);
    EXPECT_EQ(router.Hot(), nullptr);
    EXPECT_FALSE(window.captured);
}

}  // namespace
