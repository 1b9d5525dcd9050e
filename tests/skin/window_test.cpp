#include "skin/skin.h"
#include "tests/support/gui_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr UINT kPing = WM_APP + 7;

class RecordingWindow : public CWindowWnd {
public:
    explicit RecordingWindow(int* live = nullptr, const char* superClass = nullptr)
        : m_pLive(live), m_pSuperClass(superClass) {
        if (m_pLive) ++*m_pLive;
    }
    ~RecordingWindow() override {
        if (m_pLive) --*m_pLive;
    }

    std::vector<UINT> messages;
    HWND handleAtCreate = nullptr;
    HWND finalWindow = nullptr;
    bool deleteOnFinal = false;
    int pings = 0;

protected:
    const char* GetWindowClassName() const override {
        return m_pSuperClass ? "KestrovaEditSuperclass" : "KestrovaWindowTest";
    }
    const char* GetSuperClassName() const override { return m_pSuperClass; }
    UINT GetClassStyle() const override { return CS_DBLCLKS | CS_HREDRAW; }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        if (message == WM_CREATE) handleAtCreate = GetHWND();
        if (message == kPing) {
            ++pings;
            return static_cast<LRESULT>(wParam * 2);
        }
        return CWindowWnd::HandleMessage(message, wParam, lParam);
    }

    void OnFinalMessage(HWND window) override {
        finalWindow = window;
        if (deleteOnFinal) delete this;
    }

private:
    int* m_pLive;
    const char* m_pSuperClass;
};

bool Seen(const std::vector<UINT>& messages, UINT message) {
    for (UINT m : messages) {
        if (m == message) return true;
    }
    return false;
}

TEST(WindowTest, RegistersItsClassAndRoutesMessagesToTheObject) {
    RecordingWindow window;
    HWND hwnd = window.Create(nullptr, "routing", WS_POPUP, 0, 10, 10, 120, 80);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.GetHWND(), hwnd);
    EXPECT_EQ(static_cast<HWND>(window), hwnd);
    EXPECT_EQ(window.handleAtCreate, hwnd) << "the handle is known from WM_NCCREATE on";
    EXPECT_EQ(::GetWindowLongPtrA(hwnd, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&window));
    ASSERT_GE(window.messages.size(), 2u);
    EXPECT_EQ(window.messages[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_TRUE(Seen(window.messages, WM_CREATE));

    WNDCLASSEXA info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::GetClassInfoExA(CPaintManagerUI::GetInstance(), "KestrovaWindowTest", &info));
    EXPECT_EQ(info.style, static_cast<UINT>(CS_DBLCLKS | CS_HREDRAW));

    EXPECT_EQ(window.SendMessage(kPing, 21), 42);
    EXPECT_TRUE(window.PostMessage(kPing, 1));
    EXPECT_EQ(window.pings, 1) << "posted, not yet dispatched";
    PumpMessagesUntil([&] { return window.pings == 2; }, 1000);
    EXPECT_EQ(window.pings, 2);

    // A second window of the class reuses the registration.
    RecordingWindow other;
    ASSERT_NE(other.Create(nullptr, "second", WS_POPUP, 0, 20, 20, 50, 50), nullptr);
    ::DestroyWindow(other.GetHWND());
    ::DestroyWindow(hwnd);
}

TEST(WindowTest, FinalMessageComesLastAndMayDeleteTheObject) {
    int live = 0;
    auto* window = new RecordingWindow(&live);
    window->deleteOnFinal = true;
    HWND hwnd = window->Create(nullptr, "final", WS_POPUP, 0, 0, 0, 50, 50);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(live, 1);
    ::DestroyWindow(hwnd);
    EXPECT_EQ(live, 0);
    EXPECT_FALSE(::IsWindow(hwnd));

    RecordingWindow kept;
    hwnd = kept.Create(nullptr, "kept", WS_POPUP, 0, 0, 0, 50, 50);
    ASSERT_NE(hwnd, nullptr);
    ::DestroyWindow(hwnd);
    EXPECT_EQ(kept.finalWindow, hwnd);
    EXPECT_EQ(kept.GetHWND(), nullptr);
    ASSERT_FALSE(kept.messages.empty());
    EXPECT_EQ(kept.messages.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_TRUE(Seen(kept.messages, WM_DESTROY));
}

TEST(WindowTest, AnObjectGoneFirstLeavesItsWindowToTheDefault) {
    HWND hwnd = nullptr;
    {
        RecordingWindow window;
        hwnd = window.Create(nullptr, "orphan", WS_POPUP, 0, 0, 0, 50, 50);
        ASSERT_NE(hwnd, nullptr);
    }
    ASSERT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(::SendMessageA(hwnd, kPing, 5, 0), 0) << "no object answers any more";
    ::DestroyWindow(hwnd);
}

TEST(WindowTest, SuperclassKeepsTheSystemBehaviour) {
    RecordingWindow edit(nullptr, "EDIT");
    HWND hwnd = edit.Create(nullptr, "start", WS_POPUP | ES_AUTOHSCROLL, 0, 0, 0, 120, 24);
    ASSERT_NE(hwnd, nullptr);
    char className[64] = {};
    ::GetClassNameA(hwnd, className, sizeof(className));
    EXPECT_STREQ(className, "KestrovaEditSuperclass");
    ::SetWindowTextA(hwnd, "typed");
    char text[32] = {};
    ::GetWindowTextA(hwnd, text, sizeof(text));
    EXPECT_STREQ(text, "typed");
    // The edit control's own messages work: only it knows EM_GETLIMITTEXT.
    EXPECT_GT(::SendMessageA(hwnd, EM_GETLIMITTEXT, 0, 0), 0);
    EXPECT_TRUE(Seen(edit.messages, WM_SETTEXT)) << "the object still sees every message";
    EXPECT_EQ(edit.SendMessage(kPing, 4), 8);
    ::DestroyWindow(hwnd);
}

TEST(WindowTest, CentresOnTheWorkAreaAndShowsOrHides) {
    RecordingWindow window;
    ASSERT_NE(window.Create(nullptr, "centre", WS_POPUP, 0, 0, 0, 200, 100), nullptr);
    window.CenterWindow();
    RECT rc{};
    ::GetWindowRect(window.GetHWND(), &rc);
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(std::abs((rc.left + rc.right) / 2 - (work.left + work.right) / 2), 1);
    EXPECT_LE(std::abs((rc.top + rc.bottom) / 2 - (work.top + work.bottom) / 2), 1);
    EXPECT_EQ(rc.right - rc.left, 200);

    EXPECT_FALSE(::IsWindowVisible(window.GetHWND()));
    window.ShowWindow(true, false);
    EXPECT_TRUE(::IsWindowVisible(window.GetHWND()));
    window.ShowWindow(false);
    EXPECT_FALSE(::IsWindowVisible(window.GetHWND()));
    window.ShowWindow();
    EXPECT_TRUE(::IsWindowVisible(window.GetHWND()));

    window.SetIcon(4711);  // no such icon in the test program: nothing is set
    EXPECT_EQ(::SendMessageA(window.GetHWND(), WM_GETICON, ICON_BIG, 0), 0);
    ::DestroyWindow(window.GetHWND());
}

// Swallows the pings whose wParam is odd.
class OddPingFilter : public IMessageFilterUI {
public:
    bool PreTranslateMessage(const MSG& msg) override {
        if (msg.message != kPing) return false;
        ++seen;
        return (msg.wParam & 1) != 0;
    }
    int seen = 0;
};

TEST(WindowTest, MessageLoopRunsUntilQuitAndReturnsItsCode) {
    RecordingWindow window;
    ASSERT_NE(window.Create(nullptr, "loop", WS_POPUP, 0, 0, 0, 50, 50), nullptr);
    window.PostMessage(kPing, 1);
    window.PostMessage(kPing, 2);
    ::PostQuitMessage(7);
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 7);
    EXPECT_EQ(window.pings, 2) << "what was posted before the quit is dispatched";

    OddPingFilter filter;
    EXPECT_TRUE(CPaintManagerUI::AddMessageFilter(&filter));
    EXPECT_FALSE(CPaintManagerUI::AddMessageFilter(&filter));
    window.PostMessage(kPing, 3);
    window.PostMessage(kPing, 4);
    ::PostQuitMessage(0);
    EXPECT_EQ(CPaintManagerUI::MessageLoop(), 0);
    EXPECT_EQ(filter.seen, 2);
    EXPECT_EQ(window.pings, 3) << "the filter kept the odd one from the window";
    EXPECT_TRUE(CPaintManagerUI::RemoveMessageFilter(&filter));
    EXPECT_FALSE(CPaintManagerUI::RemoveMessageFilter(&filter));

    window.Close();
    PumpMessagesUntil([&] { return window.GetHWND() == nullptr; }, 1000);
    EXPECT_EQ(window.GetHWND(), nullptr) << "Close posts WM_CLOSE, which destroys the window by default";
}

}  // namespace
