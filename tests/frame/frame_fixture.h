#pragma once
// Skin resources for the frame tests: layouts written into a temporary folder that the
// skin library reads from, and a small window built on the shared frame.

#include "frame/skinned_window.h"
#include "tests/support/temp_dir.h"

#include <string>
#include <vector>

// Points the skin library at a fresh folder for the test's lifetime.
class SkinFolder : public TempDir {
public:
    SkinFolder();
    ~SkinFolder();
    void Write(const std::string& name, const std::string& utf8Text) const;
};

class TestFrame : public SkinnedWindow {
public:
    struct Notice {
        std::string type;
        std::string sender;
    };

    TestFrame(std::string layout, IDialogBuilderCallback* callback, int* liveCount);
    ~TestFrame() override;

    // Created visible at (x, y) with the layout's size.
    static TestFrame* Open(const std::string& layout, int* liveCount = nullptr,
                           IDialogBuilderCallback* callback = nullptr, int x = 40, int y = 40);

    std::vector<Notice> notices;
    bool initWindowCalled = false;
    // The window rectangle at each WM_SIZE with SIZE_MAXIMIZED: what the system gave the
    // window when it maximised it.
    std::vector<RECT> maximisedRects;

protected:
    const char* GetWindowClassName() const override { return "KestrovaFrameTest"; }
    const char* LayoutFileName() const override { return m_layout.c_str(); }
    IDialogBuilderCallback* BuilderCallback() override { return m_pCallback; }
    void InitWindow() override { initWindowCalled = true; }
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Notify(TNotifyUI& msg) override;

private:
    std::string m_layout;
    IDialogBuilderCallback* m_pCallback;
    int* m_pLiveCount;
};

// The client rectangle of a named control, or an empty one.
RECT ControlRect(TestFrame& frame, const char* name);
