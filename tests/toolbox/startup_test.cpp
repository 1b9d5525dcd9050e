// Start-up steps without windows: the taxpayer code from
// the invoicing program's App Paths entry, the updater's Run value, and one instance only.
#include "shared/unique_handle.h"
#include "tests/support/gui_driver.h"
#include "tests/toolbox/toolbox_fixture.h"
#include "toolbox/startup.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class TaxCodeTest : public ::testing::Test {
protected:
    SavedRegistryValue m_code{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
};

TEST_F(TaxCodeTest, ComesFromTheAppPathsEntryOfTheInvoicingProgram) {
    ASSERT_TRUE(m_code.SetText("91320100MA1W8XYZ3K"));
    EXPECT_EQ(ReadTaxCode(), "91320100MA1W8XYZ3K");
}

TEST_F(TaxCodeTest, A199CharacterCodeIsReadWholeA200CharacterOneNotAtAll) {
    const std::string longest(199, '9');
    ASSERT_TRUE(m_code.SetText(longest));
    EXPECT_EQ(ReadTaxCode(), longest);
    ASSERT_TRUE(m_code.SetText(longest + "8"));
    EXPECT_EQ(ReadTaxCode(), "");
}

TEST_F(TaxCodeTest, IsEmptyWithoutTheValue) {
    ASSERT_TRUE(m_code.Remove());
    EXPECT_EQ(ReadTaxCode(), "");
}

class StartWithWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The registry saves a copy of the Run key into the current directory.
        char current[MAX_PATH] = {};
        ASSERT_NE(::GetCurrentDirectoryA(MAX_PATH, current), 0u);
        m_previousDirectory = current;
        ASSERT_TRUE(::SetCurrentDirectoryA(m_workDir.Path().c_str()));
    }
    void TearDown() override { ::SetCurrentDirectoryA(m_previousDirectory.c_str()); }

    std::string RunValue() const {
        std::string text = "<missing>";
        m_run.Read(&text);
        return text;
    }

    TempDir m_workDir;
    std::string m_previousDirectory;
    const std::string m_installDir = "C:\\Program Files (x86)\\Kestrova 开票工具箱";
    SavedRegistryValue m_run{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
};

TEST_F(StartWithWindowsTest, MissingValueGetsTheQuotedUpdaterPath) {
    ASSERT_TRUE(m_run.Remove());
    EnsureStartWithWindows(m_installDir);
    DWORD type = 0;
    std::string text;
    ASSERT_TRUE(m_run.Read(&text, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Quoted, so that the space in the folder cannot start "C:\Program" instead.
    EXPECT_EQ(text, "\"C:\\Program Files (x86)\\Kestrova 开票工具箱\\Morvane.exe\"");
    // A copy of the Run key is asked for: without the backup privilege the registry refuses
    // it, but only after creating the (empty) file.
    EXPECT_TRUE(PathExists(m_workDir.Child("Veltrin")));
}

TEST_F(StartWithWindowsTest, EmptyValueIsRewritten) {
    ASSERT_TRUE(m_run.SetText(""));
    EnsureStartWithWindows(m_installDir);
    EXPECT_EQ(RunValue(), StartWithWindowsCommand(m_installDir));
}

TEST_F(StartWithWindowsTest, AnyTextIsLeftAlone) {
    for (const char* existing : {"D:\\Other\\Morvane.exe", "x", "\"C:\\Kestrova\\Morvane.exe\" /silent"}) {
        ASSERT_TRUE(m_run.SetText(existing));
        EnsureStartWithWindows(m_installDir);
        EXPECT_EQ(RunValue(), existing);
    }
    EXPECT_FALSE(PathExists(m_workDir.Child("Veltrin"))) << "nothing written, no copy asked for";
}

// One instance per machine: the second start finds the first one's window, hidden in the
// tray or not, shows it and ends; the name lives as long as the first instance.
using UniqueWindow = UniqueHandle<NullableHandleTraits<HWND, ::DestroyWindow>>;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltSkin(); }
    ToolboxValuesScope m_values;
};

TEST_F(SingleInstanceTest, SecondInstanceShowsTheFirstWindowAndIsNotFirst) {
    auto first = std::make_unique<SingleInstance>();
    ASSERT_TRUE(first->IsFirst());

    auto* window = new TestVeltrin;
    ASSERT_TRUE(window->Open());
    const HWND handle = window->GetHWND();
    window->AddTrayIconAndHide();
    ASSERT_FALSE(::IsWindowVisible(handle));

    {
        SingleInstance second;
        EXPECT_FALSE(second.IsFirst());
    }
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_EQ(::GetForegroundWindow(), handle);

    // Shown but behind another window: it comes to the front.
    UniqueWindow other(::CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 10, 10, 200, 100, nullptr,
                                         nullptr, nullptr, nullptr));
    ASSERT_TRUE(other);
    ::SetForegroundWindow(other.get());
    ASSERT_EQ(::GetForegroundWindow(), other.get());
    {
        SingleInstance second;
        EXPECT_FALSE(second.IsFirst());
    }
    EXPECT_TRUE(::IsWindowVisible(handle));
    EXPECT_EQ(::GetForegroundWindow(), handle);
    CloseTestWindow(handle);

    // Without a window to find, a second instance still learns that it is not the first.
    {
        SingleInstance second;
        EXPECT_FALSE(second.IsFirst());
    }
    // The first one's handle is closed with it, and the name with the handle.
    first.reset();
    SingleInstance next;
    EXPECT_TRUE(next.IsFirst());
}

}  // namespace
