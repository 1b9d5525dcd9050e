// The built Veltrin.exe in a temporary installation folder (with a space and Chinese in
// its path), against the reference server in the namespace its test build talks to: one
// instance, the Run value and the logon task, the tray and its menu, the system close of
// both windows, the status timer that must not ask at start, and what a screen reader
// reads and does in the window.
#include "shared/com_helpers.h"
#include "shared/logon_task.h"
#include "shared/unique_handle.h"
#include "tests/support/accessible_tree.h"
#include "tests/support/folder_access.h"
#include "tests/support/gui_driver.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/programs.h"
#include "tests/support/scheduled_task.h"
#include "tests/support/test_server.h"
#include "tests/support/wait.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace {

constexpr DWORD kLimit = 30000;
constexpr char kTaxCode[] = "91500000E2ETEST01";

struct Started {
    UniqueKernelHandle process;
    DWORD id = 0;
};

class VeltrinEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::string(KESTROVA_SERVER_URL), m_server.BaseUrl())
            << "configure the test build with -DKESTROVA_SERVER_URL=<server root>/t/"
            << TestServer::kEndToEndNamespace << " and start the server on that port";
        ASSERT_EQ(::FindWindowA("Veltrin", "Kestrova"), nullptr) << "another main program is running";
        m_installDir = m_root.Child("Kestrova 开票工具箱");
        ASSERT_TRUE(::CreateDirectoryA(m_installDir.c_str(), nullptr));
        for (const char* name : {"Veltrin.exe", "KestrovaSkin.dll", "skin.zip"}) {
            ASSERT_TRUE(::CopyFileA(BuiltFile(name).c_str(), (m_installDir + "\\" + name).c_str(), FALSE)) << name;
        }
        ASSERT_TRUE(m_code.SetText(kTaxCode));
        ASSERT_TRUE(RemoveScheduledTask(kLogonTaskName));
    }

    void TearDown() override {
        for (Started& started : m_started) {
            if (::WaitForSingleObject(started.process.get(), 0) != WAIT_OBJECT_0) {
                ::TerminateProcess(started.process.get(), 1);
                ::WaitForSingleObject(started.process.get(), 10000);
            }
        }
    }

    // Started from its folder, by its full path, without arguments.
    Started& Start() {
        m_started.emplace_back();
        m_started.back().process = StartProgram(m_installDir + "\\Veltrin.exe", "", m_installDir);
        if (m_started.back().process) m_started.back().id = ::GetProcessId(m_started.back().process.get());
        return m_started.back();
    }

    // Starts the program and returns its main window once its start-up is through.
    HWND StartShown(Started** startedOut = nullptr) {
        Started& started = Start();
        if (startedOut != nullptr) *startedOut = &started;
        if (!started.process) return nullptr;
        return WaitForToolboxStartUp(started.process.get(), kLimit);
    }

    std::string RunValue() const {
        std::string text = "<missing>";
        m_run.Read(&text);
        return text;
    }

    static void ClickCloseButton(HWND window) {
        // The close button sits at the right end of the band's first row.
        RECT client;
        ::GetClientRect(window, &client);
        ClickAt(window, {client.right - 20, 15});
    }

    TempDir m_root;
    std::string m_installDir;
    TestServer m_server{TestServer::kEndToEndNamespace, TestServer::ExactName{}};
    SavedRegistryValue m_run{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
    SavedRegistryValue m_code{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
    std::deque<Started> m_started;  // references stay valid as starts are added
};

TEST_F(VeltrinEndToEnd, StartsWithBothWindowsAndRegistersTheQuotedUpdater) {
    ASSERT_TRUE(m_run.Remove());
    Started* started = nullptr;
    const HWND main = StartShown(&started);
    ASSERT_NE(main, nullptr);

    ExpectTitleAndSize(main, "Kestrova", 800, 572);

    const HWND announcement = TopLevelWindowOf(started->id, "UIGGFrame");
    ASSERT_NE(announcement, nullptr);
    EXPECT_FALSE(::IsWindowVisible(announcement));

    EXPECT_EQ(RunValue(), "\"" + m_installDir + "\\Morvane.exe\"");
    EXPECT_TRUE(ScheduledTaskExists(kLogonTaskName));

    // The status is first asked for ten minutes after start, not now.
    ::Sleep(1500);
    EXPECT_EQ(m_server.CountRequests("/S"), 0);
    SaveScreenshot(main, "veltrin_e2e_main");

    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForExitCode(started->process.get(), kLimit), 0);
}

// The installer's task, or an administrator's choice, stays whichever folder starts the
// toolbox. Wine keeps no actions: the author tells whose it is.
TEST_F(VeltrinEndToEnd, RunValueWithAnyTextAndALogonTaskThereAreLeftAlone) {
    ASSERT_TRUE(m_run.SetText("D:\\Elsewhere\\Morvane.exe"));
    std::wstring elsewhere = LogonTaskXml("D:\\Elsewhere");
    const std::wstring ours = L"<Author>Kestrova</Author>", theirs = L"<Author>an administrator</Author>";
    ASSERT_TRUE(RegisterScheduledTask(kLogonTaskName, elsewhere.replace(elsewhere.find(ours), ours.size(), theirs)));
    ASSERT_NE(ScheduledTaskXml(kLogonTaskName).find(theirs), std::wstring::npos);
    Started* started = nullptr;
    const HWND main = StartShown(&started);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(RunValue(), "D:\\Elsewhere\\Morvane.exe");
    EXPECT_FALSE(PathExists(m_installDir + "\\Veltrin"));
    EXPECT_NE(ScheduledTaskXml(kLogonTaskName).find(theirs), std::wstring::npos);
    // Alt+F4 on the hidden announcement window ends the program as well.
    const HWND announcement = TopLevelWindowOf(started->id, "UIGGFrame");
    ASSERT_NE(announcement, nullptr);
    ::PostMessageA(announcement, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForExitCode(started->process.get(), kLimit), 0);
}

TEST_F(VeltrinEndToEnd, FolderStandardUsersCanWriteGetsNoStartAtLogon) {
    ASSERT_TRUE(m_run.Remove());
    ASSERT_TRUE(LetEveryoneWrite(m_installDir));
    ASSERT_NE(StartShown(), nullptr);
    EXPECT_EQ(RunValue(), "<missing>");
    EXPECT_FALSE(ScheduledTaskExists(kLogonTaskName));
    const std::string log = ReadFileBytes(m_installDir + "\\log\\Veltrin.log");
    EXPECT_NE(log.find("the updater is not registered to start at logon"), std::string::npos) << log;
}

TEST_F(VeltrinEndToEnd, SecondStartShowsTheFirstWindowFromTheTrayAndEnds) {
    ASSERT_TRUE(m_run.SetText("x"));
    Started* first = nullptr;
    const HWND main = StartShown(&first);
    ASSERT_NE(main, nullptr);
    ClickCloseButton(main);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }, kLimit));
    EXPECT_TRUE(WaitUntil([&] { return TrayIconPresent(main); }, 5000));

    Started& second = Start();
    ASSERT_TRUE(second.process);
    EXPECT_EQ(WaitForExitCode(second.process.get(), kLimit), 0);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main; }, 5000)) << "and activated";
    EXPECT_EQ(TopLevelWindowOf(second.id, "Veltrin"), nullptr);
    EXPECT_EQ(::WaitForSingleObject(first->process.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Alt+F4 ends it; the icon, still there from the close button, goes with it.
    ASSERT_TRUE(TrayIconPresent(main));
    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForExitCode(first->process.get(), kLimit), 0);
    EXPECT_FALSE(TrayIconPresent(main));
}

TEST_F(VeltrinEndToEnd, SecondStartBeforeTheFirstHasAWindowStillEnds) {
    ASSERT_TRUE(m_run.Remove());
    // A first instance that holds the name but has no window yet.
    UniqueKernelHandle first(::CreateMutexA(nullptr, TRUE, kSingleInstanceName));
    ASSERT_TRUE(first);
    ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));

    Started& second = Start();
    ASSERT_TRUE(second.process);
    EXPECT_EQ(WaitForExitCode(second.process.get(), kLimit), 0);
    EXPECT_EQ(TopLevelWindowOf(second.id, "Veltrin"), nullptr);
    EXPECT_EQ(RunValue(), "<missing>") << "a second instance changes nothing";
    EXPECT_FALSE(ScheduledTaskExists(kLogonTaskName));
    ::ReleaseMutex(first.get());
}

TEST_F(VeltrinEndToEnd, TrayIconShowsTheWindowAndItsMenuEndsTheProgram) {
    ASSERT_TRUE(m_run.SetText("x"));
    Started* started = nullptr;
    const HWND main = StartShown(&started);
    ASSERT_NE(main, nullptr);
    EXPECT_FALSE(TrayIconPresent(main));
    ClickCloseButton(main);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }, kLimit));
    ASSERT_TRUE(WaitUntil([&] { return TrayIconPresent(main); }, 5000));

    ::PostMessageA(main, WM_TRAYNOTIFY, 0, WM_LBUTTONDOWN);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    EXPECT_TRUE(TrayIconPresent(main));
    ClickCloseButton(main);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }, kLimit));

    {
        PopupMenuDriver dismiss(started->id, PopupMenuDriver::Action::Dismiss);
        ::PostMessageA(main, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
        ASSERT_TRUE(dismiss.Finish());
    }
    EXPECT_EQ(WaitForExitCode(started->process.get(), 1000), -1) << "a dismissed menu leaves the program running";
    EXPECT_TRUE(TrayIconPresent(main));

    {
        PopupMenuDriver choose(started->id, PopupMenuDriver::Action::ChooseFirstItem);
        ::PostMessageA(main, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN);
        ASSERT_TRUE(choose.Finish());
    }
    EXPECT_EQ(WaitForExitCode(started->process.get(), kLimit), 0);
    EXPECT_FALSE(TrayIconPresent(main));
}

// A screen reader in another process, by the names the window's elements read: the tabs,
// the catalogue's cells and the words of their buttons, a download started by its button
// and its progress while it runs, a rebuilt list, and the focus that Tab moves.
TEST_F(VeltrinEndToEnd, AScreenReaderReadsAndDrivesTheWindowByName) {
    ComScope com;
    ASSERT_TRUE(com.usable());
    ASSERT_TRUE(m_run.SetText("x"));
    const std::string package = PatternBytes(500000, 41);
    ASSERT_TRUE(m_server.Put("/soft/slow.exe", package));
    ASSERT_TRUE(m_server.SetFault("/soft/slow.exe", "mode=trickle&chunk=16384&delay=0.1"));
    const auto entry = [this](const std::string& name, const char* viewName, const std::string& downName) {
        return "{\"name\":\"" + name + "\",\"viewname\":\"" + viewName + "\",\"downname\":\"" + downName +
               "\",\"url\":\"" + m_server.Url("/soft/" + downName) + "\",\"iocn\":\"\"}";
    };
    ASSERT_TRUE(m_server.Put("/F", "{\"data\":[" + entry("e2eslow", u8"税控驱动", "slow.exe") + "," +
                                       entry("e2eother", u8"发票助手", "other.exe") + "]}"));
    Started* started = nullptr;
    const HWND main = StartShown(&started);
    ASSERT_NE(main, nullptr);

    const AccessibleElement window = AccessibleWindow(main);
    EXPECT_EQ(window.Name(), L"Kestrova");
    EXPECT_EQ(NamesOf(FindAllAccessible(window, ROLE_SYSTEM_PAGETAB)),
              (std::vector<std::wstring>{L"首页", L"软件中心", L"文档资料", L"常用网址", L"税务门户"}));
    EXPECT_EQ(FindAccessible(window, L"关闭到托盘", ROLE_SYSTEM_PUSHBUTTON).DefaultAction(), L"按下");
    const AccessibleElement softwareTab = FindAccessible(window, L"软件中心", ROLE_SYSTEM_PAGETAB);
    ASSERT_EQ(softwareTab.DoDefaultAction(), S_OK);
    const AccessibleElement list = FindAccessible(window, L"软件列表", ROLE_SYSTEM_LIST);
    ASSERT_TRUE(list);
    std::vector<AccessibleElement> cells;
    const auto cellsRead = [&] { return (cells = FindAllAccessible(list, ROLE_SYSTEM_LISTITEM)).size() == 2; };
    ASSERT_TRUE(WaitUntil(cellsRead, kLimit));
    EXPECT_TRUE(softwareTab.Has(STATE_SYSTEM_SELECTED));
    EXPECT_EQ(NamesOf(cells), (std::vector<std::wstring>{L"税控驱动", L"发票助手"}));
    for (const AccessibleElement& cell : cells) {
        const std::vector<AccessibleElement> parts = cell.Children();
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_EQ(parts[0].Name(), L"下载");
        EXPECT_TRUE(parts[1].Has(STATE_SYSTEM_INVISIBLE)) << "no download runs";
    }

    const AccessibleElement button = cells[0].Children()[0], progress = cells[0].Children()[1];
    ASSERT_EQ(button.DoDefaultAction(), S_OK);
    int percent = -1;
    EXPECT_TRUE(WaitUntil(
        [&] {
            percent = progress.Percent();
            return button.Name() == L"取消" && !progress.Has(STATE_SYSTEM_INVISIBLE) && percent > 0 && percent < 100;
        },
        kLimit))
        << percent;
    EXPECT_TRUE(WaitUntil([&] { return button.Name() == L"打开"; }, kLimit));
    EXPECT_TRUE(progress.Has(STATE_SYSTEM_INVISIBLE));
    EXPECT_TRUE(ReadFileBytes(m_installDir + "\\soft\\slow.exe") == package);

    // The list rebuilt: the cell held from before is gone and says so; the new one reads on.
    ASSERT_EQ(FindAccessible(window, L"刷新列表", ROLE_SYSTEM_PUSHBUTTON).DoDefaultAction(), S_OK);
    EXPECT_TRUE(WaitUntil([&] { return FAILED(cells[0].NameResult()); }, kLimit));
    EXPECT_TRUE(WaitUntil([&] { return !!FindAccessible(list, L"打开", ROLE_SYSTEM_PUSHBUTTON); }, kLimit));

    FocusEvents events(started->id);
    ASSERT_TRUE(events.Hooked());
    for (int i = 0; i < 2; ++i) ::PostMessageA(main, WM_KEYDOWN, VK_TAB, 0);
    EXPECT_TRUE(PumpMessagesUntil([&] { return events.Names().size() == 2; }, 5000));
    EXPECT_EQ(events.Names(), (std::vector<std::wstring>{L"最小化", L"最大化"}));
    const AccessibleElement focused = FocusedAccessible(main);
    EXPECT_EQ(focused.Name(), L"最大化");
    EXPECT_TRUE(focused.Has(STATE_SYSTEM_FOCUSED));
    EXPECT_FALSE(FindAccessible(window, L"最小化").Has(STATE_SYSTEM_FOCUSED));
    ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(WaitForExitCode(started->process.get(), kLimit), 0);
}

TEST_F(VeltrinEndToEnd, ExecutableCarriesIconAndManifest) {
    UniqueModule image(::LoadLibraryExA((m_installDir + "\\Veltrin.exe").c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(image);
    EXPECT_NE(::FindResourceA(image.get(), MAKEINTRESOURCEA(208), MAKEINTRESOURCEA(14)), nullptr)  // RT_GROUP_ICON
        << "icon 208";
    HRSRC manifest = ::FindResourceA(image.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const char* bytes = static_cast<const char*>(::LockResource(::LoadResource(image.get(), manifest)));
    const std::string text(bytes, ::SizeofResource(image.get(), manifest));
    EXPECT_NE(text.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
}

}  // namespace
