#include "updater/update_window.h"

#include "tests/support/gui_driver.h"
#include "tests/updater/worker_fixture.h"
#include "updater/install_update.h"
#include "updater/update_worker.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// The real skin archive beside the test program, the process-wide values pointing at a
// temporary installation, and the window opened as the update road opens it.
class UpdateWindowTest : public WorkerTest {
protected:
    UpdateWindowTest() {
        CPaintManagerUI::SetInstance(::GetModuleHandleA(nullptr));
        CPaintManagerUI::SetResourcePath((TestProgramDir() + "\\").c_str());
        CPaintManagerUI::SetResourceZip("upload.zip");
        Updater().ServerVersion = "2.0";
        m_install.WriteSettings("1.0");
    }
    ~UpdateWindowTest() override {
        if (m_window != nullptr && ::IsWindow(m_window)) {
            ::DestroyWindow(m_window);
            WaitForQuitMessage(1000);  // the one WM_DESTROY posts
        }
    }

    Morvane* Open() {
        Morvane* window = OpenUpdateWindow();
        if (window != nullptr) m_window = window->GetHWND();
        return window;
    }

    // Dispatches messages until the quit request; calls sample after each message.
    static bool RunUntilQuit(const std::function<void()>& sample) { return WaitForQuitMessage(30000, nullptr, sample); }

    HWND m_window = nullptr;
};

TEST_F(UpdateWindowTest, LayoutAndWindowAsTheUpdateRoadOpensThem) {
    PublishList({});
    Morvane* window = Open();
    ASSERT_NE(window, nullptr);

    char className[64] = {};
    ::GetClassNameA(m_window, className, sizeof(className));
    EXPECT_STREQ(className, "Morvane");
    ExpectTitleAndSize(m_window, "Kestrova自动升级程序", 499, 176);
    EXPECT_TRUE(::IsWindowVisible(m_window));
    EXPECT_EQ(::GetWindowLongA(m_window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_EQ(ProgressTargetWindow(), m_window);

    ASSERT_NE(window->CloseButton(), nullptr);
    ASSERT_NE(window->ProgressBar(), nullptr);
    ASSERT_NE(window->StatusLabel(), nullptr);
    EXPECT_EQ(window->ProgressBar()->GetMinValue(), 0);
    EXPECT_EQ(window->ProgressBar()->GetMaxValue(), 100);
    EXPECT_STREQ(window->StatusLabel()->GetText().GetData(), "系统更新中......");
    // The end-to-end tests click the close button in the top right corner.
    const RECT close = window->CloseButton()->GetPos();
    RECT client;
    ::GetClientRect(m_window, &client);
    EXPECT_EQ(close.right, client.right);
    EXPECT_EQ(close.top, 0);
    EXPECT_TRUE(::PtInRect(&close, POINT{client.right - 19, 19}));

    EXPECT_TRUE(RunUntilQuit([] {}));  // the empty list ends the run
}

TEST_F(UpdateWindowTest, PercentagesReachTheBarThenTheUpdateIsInstalled) {
    const std::string first = PatternBytes(60000, 11);
    const std::string second = PatternBytes(40000, 12);
    PublishList({Entry("a.dll", Publish("/files/a.dll", first), first),
                 Entry("b.dll", Publish("/files/b.dll", second), second)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=trickle&chunk=4000&delay=0.12"));
    ASSERT_TRUE(m_server.SetFault("/files/b.dll", "mode=trickle&chunk=4000&delay=0.12"));
    ASSERT_TRUE(WriteFileBytes(m_install.Child("a.dll"), "old a"));

    Morvane* window = Open();
    ASSERT_NE(window, nullptr);
    std::vector<int> shown;
    std::string screenshot;
    EXPECT_TRUE(RunUntilQuit([&] {
        if (!::IsWindow(m_window)) return;
        const int value = window->ProgressBar()->GetValue();
        if (shown.empty() || shown.back() != value) shown.push_back(value);
        if (screenshot.empty() && value >= 40 && value <= 70) {
            screenshot = SaveScreenshot(m_window, "morvane-update-window");
        }
    }));

    EXPECT_FALSE(screenshot.empty());
    // The first file climbs, the second starts low again and climbs; the bar never holds a total.
    const auto firstTop = std::find(shown.begin(), shown.end(), 100);
    ASSERT_NE(firstTop, shown.end());
    EXPECT_TRUE(std::any_of(shown.begin(), firstTop, [](int v) { return v > 0 && v < 100; }));
    const auto secondLow = std::find_if(firstTop, shown.end(), [](int v) { return v < 50; });
    ASSERT_NE(secondLow, shown.end());
    EXPECT_NE(std::find(secondLow, shown.end(), 100), shown.end());

    EXPECT_TRUE(ReadFileBytes(m_install.Child("a.dll")) == first);
    EXPECT_EQ(ReadFileBytes(m_install.Child("a.dllbak")), "old a");
    EXPECT_TRUE(ReadFileBytes(m_install.Child("b.dll")) == second);
    EXPECT_EQ(m_install.RecordedVersion(), "2.0");
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_FALSE(PathExists(m_install.TempDirectory()));
}

TEST_F(UpdateWindowTest, AbandonedDownloadQuitsWithoutInstalling) {
    const std::string content = PatternBytes(5000, 13);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content + "changed")});
    Morvane* window = Open();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(RunUntilQuit([] {}));
    EXPECT_TRUE(m_install.WaitForStarts(1));
    EXPECT_EQ(m_install.Starts().size(), 1u);
    EXPECT_EQ(m_install.RecordedVersion(), "1.0");
    EXPECT_FALSE(PathExists(m_install.Child("a.dll")));
    EXPECT_TRUE(PathExists(m_install.TempDirectory() + "\\a.dll"));
}

TEST_F(UpdateWindowTest, OtherWorkerCodesOnlyMoveTheBar) {
    // A list whose one file trickles keeps the worker busy while codes arrive by hand.
    const std::string content = PatternBytes(8000, 14);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=stall&seconds=2"));
    Morvane* window = Open();
    ASSERT_NE(window, nullptr);
    ::SendMessageA(m_window, WM_USER, 37, 0);
    EXPECT_EQ(window->ProgressBar()->GetValue(), 37);
    ::SendMessageA(m_window, WM_USER, 250, 0);  // clamped to the bar's range
    EXPECT_EQ(window->ProgressBar()->GetValue(), 100);
    ::SendMessageA(m_window, WM_USER, 0, 0);
    EXPECT_EQ(window->ProgressBar()->GetValue(), 0);
    EXPECT_TRUE(::IsWindow(m_window));
    // The stalled transfer ends short and the worker gives up: 931 quits.
    EXPECT_TRUE(RunUntilQuit([] {}));
    EXPECT_TRUE(m_install.WaitForStarts(1));
}

// A final code already queued behind the close click must not install the update.
TEST_F(UpdateWindowTest, CloseClickEndsTheUpdateForGood) {
    const std::string content = PatternBytes(8000, 15);
    PublishList({Entry("a.dll", Publish("/files/a.dll", content), content)});
    ASSERT_TRUE(m_server.SetFault("/files/a.dll", "mode=stall&seconds=3"));
    Morvane* window = Open();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return m_server.CountRequests("/files/a.dll") == 1; }));
    // As if the worker had finished the moment the user clicked.
    ASSERT_TRUE(WriteFileBytes(m_install.TempDirectory() + "\\b.dll", content));
    SetVerifiedUpdate(std::vector<std::string>{"b.dll"});
    const RECT close = window->CloseButton()->GetPos();
    const LPARAM where = MAKELPARAM((close.left + close.right) / 2, (close.top + close.bottom) / 2);
    ::PostMessageA(m_window, WM_MOUSEMOVE, 0, where);
    ::PostMessageA(m_window, WM_LBUTTONDOWN, MK_LBUTTON, where);
    ::PostMessageA(m_window, WM_LBUTTONUP, 0, where);
    ::PostMessageA(m_window, WM_USER, UPDATE_FINISHED, 0);

    EXPECT_TRUE(RunUntilQuit([] {}));
    EXPECT_EQ(m_install.RecordedVersion(), "1.0");
    EXPECT_FALSE(PathExists(m_install.Child("b.dll")));
    // The program would end here; in the test the worker lives on until its stalled file
    // fails, and starts the main program again: wait for it, or its window would outlive
    // the test.
    EXPECT_TRUE(m_install.WaitForStarts(2));
    EXPECT_EQ(m_install.RecordedVersion(), "1.0");
    TakeVerifiedUpdate();
}

}  // namespace
