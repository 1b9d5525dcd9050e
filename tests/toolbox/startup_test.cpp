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
    SavedRegistryValue code_{HKEY_LOCAL_MACHINE, kInvoicingAppPathsKey, kTaxCodeValue};
};

TEST_F(TaxCodeTest, ComesFromTheAppPathsEntryOfTheInvoicingProgram) {
    ASSERT_TRUE(code_.SetText("91320100MA1W8XYZ3K"));
    EXPECT_EQ(ReadTaxCode(), "91320100MA1W8XYZ3K");
}

TEST_F(TaxCodeTest, A199CharacterCodeIsReadWholeA200CharacterOneNotAtAll) {
    const std::string longest(199, '9');
    ASSERT_TRUE(code_.SetText(longest));
    EXPECT_EQ(ReadTaxCode(), longest);
    ASSERT_TRUE(code_.SetText(longest + "8"));
    EXPECT_EQ(ReadTaxCode(), "");
}

TEST_F(TaxCodeTest, IsEmptyWithoutTheValue) {
    ASSERT_TRUE(code_.Remove());
    EXPECT_EQ(ReadTaxCode(), "");
}

class StartWithWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The registry saves a copy of the Run key into the current directory.
        char current[MAX_PATH] = {};
        ASSERT_NE(::GetCurrentDirectoryA(MAX_PATH, current), 0u);
        previousDirectory_ = current;
        ASSERT_TRUE(::SetCurrentDirectoryA(workDir_.Path().c_str()));
    }
    void TearDown() override { ::SetCurrentDirectoryA(previousDirectory_.c_str()); }

    std::string RunValue() const {
        std::string text = "<missing>";
        run_.Read(&text);
        return text;
    }

    TempDir workDir_;
    std::string previousDirectory_;
    const std::string installDir_ = "C:\\Program Files (x86)\\Kestrova 开票工具箱";
    SavedRegistryValue run_{HKEY_LOCAL_MACHINE, kRunKey, kStartWithWindowsValue};
};

TEST_F(StartWithWindowsTest, MissingValueGetsTheQuotedUpdaterPath) {
    ASSERT_TRUE(run_.Remove());
    EnsureStartWithWindows(installDir_);
    DWORD type = 0;
    std::string text;
    ASSERT_TRUE(run_.Read(&text, &type));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    // Quoted, so that the space in the folder cannot start "C:\Program" instead.
    EXPECT_EQ(text, "\"C:\\Program Files (x86)\\Kestrova 开票工具箱\\Morvane.exe\"");
    // A copy of the Run key is asked for: without the backup privilege the registry refuses
    // it, but only after creating the (empty) file.
    EXPECT_TRUE(PathExists(workDir_.Child("Veltrin")));
}

TEST_F(StartWithWindowsTest, EmptyValueIsRewritten) {
    ASSERT_TRUE(run_.SetText(""));
    EnsureStartWithWindows(installDir_);
    EXPECT_EQ(RunValue(), StartWithWindowsCommand(installDir_));
}

TEST_F(StartWithWindowsTest, AnyTextIsLeftAlone) {
    for (const char* existing : {"D:\\Other\\Morvane.exe", "x", "\"C:\\Kestrova\\Morvane.exe\" /silent"}) {
        ASSERT_TRUE(run_.SetText(existing));
        EnsureStartWithWindows(installDir_);
        EXPECT_EQ(RunValue(), existing);
    }
    EXPECT_FALSE(PathExists(workDir_.Child("Veltrin"))) << "nothing written, no copy asked for";
}

// One instance per machine: the second start finds the first one's window, hidden in the
// tray or not, shows it and ends; the name lives as long as the first instance.
struct WindowTraits {
    using Value = HWND;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::DestroyWindow(v); }
};
using UniqueWindow = UniqueHandle<WindowTraits>;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override { UseBuiltSkin(); }
    ToolboxValuesScope values_;
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
