// The announcement window and the status check that shows it, against the reference
// server: placement, the page it asks for, once per run, and the "AutoShow" entry.
#include "shared/unique_handle.h"
#include "tests/support/gui_driver.h"
#include "tests/support/test_server.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/startup.h"
#include "toolbox/status_timer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr char kTaxCode[] = "91440300MA5TEST02";

RECT WorkAreaOf(HWND window) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    return monitor.rcWork;
}

// The popup is 260 by 320 and sits in the bottom right corner of its monitor's work area.
void ExpectInBottomRightCorner(HWND handle) {
    RECT rc;
    ::GetWindowRect(handle, &rc);
    const RECT work = WorkAreaOf(handle);
    EXPECT_EQ(rc.right - rc.left, 260);
    EXPECT_EQ(rc.bottom - rc.top, 320);
    EXPECT_EQ(rc.right, work.right);
    EXPECT_EQ(rc.bottom, work.bottom);
}

using UniqueHook = UniqueHandle<NullableHandleTraits<HHOOK, ::UnhookWindowsHookEx>>;

// Every showing of a window of one class that the system delivers on this thread, as it
// happens: WM_SHOWWINDOW with TRUE, or a position change that shows it. A check of the
// window's state afterwards would miss a flash that a later step has already hidden.
class ShowingRecorder {
public:
    explicit ShowingRecorder(const char* className) {
        s_className = className;
        s_showings = 0;
        m_hook.reset(::SetWindowsHookExA(WH_CALLWNDPROC, Record, nullptr, ::GetCurrentThreadId()));
    }
    bool Recording() const { return static_cast<bool>(m_hook); }
    int Showings() const { return s_showings; }

private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam) {
        const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && sent != nullptr && IsOfClass(sent->hwnd)) {
            const bool shownByMessage = sent->message == WM_SHOWWINDOW && sent->wParam != FALSE;
            const bool shownByPosition = sent->message == WM_WINDOWPOSCHANGING &&
                                         (reinterpret_cast<const WINDOWPOS*>(sent->lParam)->flags & SWP_SHOWWINDOW) != 0;
            if (shownByMessage || shownByPosition) ++s_showings;
        }
        return ::CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static bool IsOfClass(HWND window) {
        char name[64] = {};
        return ::GetClassNameA(window, name, sizeof(name)) > 0 && s_className == name;
    }

    static inline std::string s_className;
    static inline int s_showings = 0;
    UniqueHook m_hook;
};

class AnnouncementTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(TestServer::RootUrl().empty()) << "the reference server is not running";
        UseBuiltSkin();
        Toolbox().SetServerBaseUrl(m_server.BaseUrl());
        Toolbox().TaxCode = kTaxCode;
        Toolbox().AnnouncementShown = false;
        ASSERT_TRUE(m_showings.Recording());
        // As the start-up makes it.
        gg = GG::CreateHidden();
        ASSERT_NE(gg, nullptr);
        handle = gg->GetHWND();
        PumpMessagesFor(50);
    }
    void TearDown() override {
        CloseTestWindow(handle);
        // The status check finds no window that is gone.
        EXPECT_EQ(Toolbox().AnnouncementWindow, nullptr);
        EXPECT_EQ(Toolbox().AnnouncementWindowHandle, nullptr);
    }

    // One tick of the status timer with this reply from the server (or as it is).
    void Tick(const std::string& reply) {
        ASSERT_TRUE(m_server.Put("/S", reply));
        TickAndWait();
    }
    void TickAndWait() {
        StatusTimerProc(nullptr, WM_TIMER, kStatusTimerId, ::GetTickCount());
        ASSERT_TRUE(PumpMessagesUntil([] { return !StatusRequestRunning(); }, 10000));
        PumpMessagesFor(50);  // the reply is applied here, on the window thread
    }
    // The status requests only: the browser fetches its pages from the same namespace, on
    // its own time.
    std::vector<std::string> StatusRequests() const {
        std::vector<std::string> status;
        for (const std::string& request : m_server.Requests()) {
            if (request == "/S" || request.rfind("/S?", 0) == 0) status.push_back(request);
        }
        return status;
    }
    std::vector<std::string> Pages() const { return m_navigations.UrlsOf(gg->Browser()); }
    std::string PagePrefix() const { return m_server.BaseUrl() + "/GG.html?tax=" + kTaxCode + "&id="; }
    bool IsTopmost() const { return (::GetWindowLongA(handle, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

    ToolboxValuesScope m_values;
    NavigationLog m_navigations;
    TestServer m_server{"toolbox-status"};
    WorkerResultsTestWindow m_results;
    ShowingRecorder m_showings{"UIGGFrame"};
    GG* gg = nullptr;
    HWND handle = nullptr;
};

TEST_F(AnnouncementTest, CreatedHiddenInTheBottomRightCornerWithItsPage) {
    char className[32] = {};
    ::GetClassNameA(handle, className, sizeof(className));
    EXPECT_STREQ(className, "UIGGFrame");
    EXPECT_EQ(Toolbox().AnnouncementWindow, gg);
    EXPECT_EQ(Toolbox().AnnouncementWindowHandle, handle);
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_EQ(m_showings.Showings(), 0) << "not even for a moment while it was made";
    EXPECT_EQ(::GetWindowLongA(handle, GWL_STYLE) & WS_CAPTION, 0);

    ExpectInBottomRightCorner(handle);

    ASSERT_NE(gg->Browser(), nullptr);
    EXPECT_NE(gg->Browser()->GetWebBrowserEventHandler(), nullptr);
    const std::vector<std::string> pages = Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "about:blank");
    EXPECT_EQ(pages[1].rfind(PagePrefix(), 0), 0u) << pages[1];
    EXPECT_GE(IdNumberOf(pages[1]), 0);
    EXPECT_EQ(m_server.CountRequests("/S"), 0) << "no status request before the first tick";
}

TEST_F(AnnouncementTest, PlacementKeepsTheWindowInsideTheWorkArea) {
    const RECT work = WorkAreaOf(handle);
    ::SetWindowPos(handle, nullptr, work.left + 5, work.top + 7, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    gg->PlaceBottomRight();
    RECT rc;
    ::GetWindowRect(handle, &rc);
    EXPECT_EQ(rc.right, work.right);
    EXPECT_EQ(rc.bottom, work.bottom);

    // Larger than the work area: its top-left corner stays on the work area.
    const int width = work.right - work.left + 100;
    const int height = work.bottom - work.top + 60;
    ::SetWindowPos(handle, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    gg->PlaceBottomRight();
    ::GetWindowRect(handle, &rc);
    EXPECT_EQ(rc.left, work.left);
    EXPECT_EQ(rc.top, work.top);
}

TEST_F(AnnouncementTest, ReplyOneShowsNothing) {
    m_navigations.Clear();
    Tick("1");
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_FALSE(Toolbox().AnnouncementShown);
    EXPECT_EQ(m_navigations.Count(), 0u);
    EXPECT_EQ(StatusRequests(), std::vector<std::string>{std::string("/S?tax=") + kTaxCode + "_1"});
}

TEST_F(AnnouncementTest, ReplyTwoShowsItOnceTopmostWithAFreshPage) {
    const long creationId = IdNumberOf(Pages().back());
    m_navigations.Clear();
    Tick("2");
    EXPECT_TRUE(Toolbox().AnnouncementShown);
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_GT(m_showings.Showings(), 0) << "the recorder sees a real showing";
    EXPECT_TRUE(IsTopmost());
    ExpectInBottomRightCorner(handle);

    const std::vector<std::string> pages = Pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0], "about:blank");
    EXPECT_EQ(pages[1].rfind(PagePrefix(), 0), 0u) << pages[1];
    EXPECT_NE(IdNumberOf(pages[1]), creationId);
    // The browser itself asks the server for that very page.
    const std::string fetched = pages[1].substr(m_server.BaseUrl().size());
    EXPECT_TRUE(PumpMessagesUntil(
        [&] {
            const std::vector<std::string> requests = m_server.Requests();
            return std::find(requests.begin(), requests.end(), fetched) != requests.end();
        },
        10000))
        << fetched;
    SaveScreenshot(handle, "veltrin_announcement");

    // The close button only hides it; the next "2" does not bring it back.
    CControlUI* close = gg->PaintManager().FindControl("closebtn");
    ASSERT_NE(close, nullptr);
    ClickAtCentre(handle, close->GetPos());
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_TRUE(::IsWindow(handle));
    m_navigations.Clear();
    Tick("2");
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_EQ(m_navigations.Count(), 0u);
    EXPECT_EQ(m_server.CountRequests("/S"), 2);
}

TEST_F(AnnouncementTest, OneWithALineEndIsNotOne) {
    Tick("1\r\n");
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_TRUE(Toolbox().AnnouncementShown);
}

TEST_F(AnnouncementTest, EmptyOrFailedReplyDoesNothing) {
    SavedRegistryValue autoShow(HKEY_LOCAL_MACHINE, kRunKey, kAutoShowValue);
    ASSERT_TRUE(autoShow.SetText("C:\\Kestrova\\show.exe"));
    Tick("");
    Tick(std::string(5000, '2'));  // over the size cap: no answer
    ASSERT_TRUE(m_server.SetFault("/S", "mode=status&code=500", ""));
    TickAndWait();
    EXPECT_EQ(m_server.CountRequests("/S"), 3);
    EXPECT_FALSE(::IsWindowVisible(handle));
    EXPECT_FALSE(Toolbox().AnnouncementShown);
    std::string text;
    EXPECT_TRUE(autoShow.Read(&text));
    EXPECT_EQ(text, "C:\\Kestrova\\show.exe");
}

TEST_F(AnnouncementTest, ReplyThreeAlsoRemovesANonEmptyAutoShow) {
    SavedRegistryValue autoShow(HKEY_LOCAL_MACHINE, kRunKey, kAutoShowValue);
    ASSERT_TRUE(autoShow.SetText("C:\\Kestrova\\show.exe"));
    Tick("3");
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_FALSE(autoShow.Read(nullptr));

    // Once shown, a later "3" only looks after the entry; an empty entry stays.
    ::ShowWindow(handle, SW_HIDE);
    ASSERT_TRUE(autoShow.SetText(""));
    Tick("3");
    EXPECT_FALSE(::IsWindowVisible(handle));
    std::string text = "<missing>";
    EXPECT_TRUE(autoShow.Read(&text));
    EXPECT_EQ(text, "");
    ASSERT_TRUE(autoShow.SetText("x"));
    Tick("3");
    EXPECT_FALSE(autoShow.Read(nullptr));
    EXPECT_FALSE(::IsWindowVisible(handle));
}

TEST_F(AnnouncementTest, WithoutATaxCodeTheRequestStillGoesOut) {
    Toolbox().TaxCode.clear();
    Tick("1");
    EXPECT_EQ(StatusRequests(), std::vector<std::string>{"/S?tax=_1"});
}

TEST_F(AnnouncementTest, SystemCloseEndsTheProgramsLoop) {
    ::ShowWindow(handle, SW_SHOW);
    ::SendMessageA(handle, WM_SYSKEYDOWN, VK_F4, AltF4KeyData());
    int code = -1;
    EXPECT_TRUE(WaitForQuitMessage(1000, &code));
    EXPECT_EQ(code, 0);
}

struct TimerRequest {
    int calls = 0;
    HWND window = reinterpret_cast<HWND>(1);
    UINT_PTR id = 0;
    UINT period = 0;
    TIMERPROC proc = nullptr;
};
TimerRequest timerRequest;

UINT_PTR WINAPI RecordTimer(HWND window, UINT_PTR id, UINT period, TIMERPROC proc) {
    ++timerRequest.calls;
    timerRequest.window = window;
    timerRequest.id = id;
    timerRequest.period = period;
    timerRequest.proc = proc;
    return 4242;
}

TEST(StatusTimer, FirstTickComesTenMinutesAfterStart) {
    timerRequest = TimerRequest{};
    EXPECT_EQ(StartStatusTimer(RecordTimer), 4242u);
    EXPECT_EQ(timerRequest.calls, 1);
    EXPECT_EQ(timerRequest.window, nullptr) << "a thread timer without a window";
    EXPECT_EQ(timerRequest.id, 1u);
    EXPECT_EQ(timerRequest.period, 600000u);
    EXPECT_EQ(timerRequest.proc, &StatusTimerProc);

    // The system's timer takes the same request.
    const UINT_PTR id = StartStatusTimer();
    EXPECT_NE(id, 0u);
    EXPECT_TRUE(::KillTimer(nullptr, id));
}

}  // namespace
