#pragma once
// The main window opened from the built "skin.zip" with its catalogue operations recorded,
// for a server that answers nothing; at the end it must be gone with everything that
// pointed at it.

#include "toolbox/catalogue/worker_results.h"
#include "tests/support/gui_driver.h"
#include "tests/support/temp_dir.h"
#include "tests/toolbox/toolbox_fixture.h"

#include <gtest/gtest.h>

inline constexpr char kMainWindowTaxCode[] = "91110108MA01TEST8X";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseBuiltSkin();
        Toolbox().SetServerBaseUrl("http://127.0.0.1:9/t/main-window");
        Toolbox().TaxCode = kMainWindowTaxCode;
        Toolbox().InstallDir = m_install.Path();
        window = new TestVeltrin;
        window->destroyedFlag = &destroyed;
        ASSERT_TRUE(window->Open());
        handle = window->GetHWND();
        PumpMessagesFor(50);
    }
    void TearDown() override {
        CloseTestWindow(handle);
        EXPECT_TRUE(destroyed) << "the window object frees itself after its last message";
        EXPECT_EQ(Toolbox().MainWindowHandle, nullptr);
        EXPECT_EQ(WorkerResultsWindow(), nullptr) << "no worker may post to a window that is gone";
    }

    void ClickOption(const char* name) {
        COptionUI* option = window->Option(name);
        ASSERT_NE(option, nullptr) << name;
        ClickAtCentre(handle, option->GetPos());
    }
    void ClickControl(CControlUI* control) {
        ASSERT_NE(control, nullptr);
        ClickAtCentre(handle, control->GetPos());
    }

    TempDir m_install;
    ToolboxValuesScope m_values;
    NavigationLog m_navigations;
    TestVeltrin* window = nullptr;
    HWND handle = nullptr;
    bool destroyed = false;
};
