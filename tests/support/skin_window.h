#pragma once
// A plain window of the skin library for tests: a paint manager behind the window
// procedure, filled on WM_CREATE from a layout of the resources (or, in a subclass, with
// controls made in code), recording every notification it receives.

#include "skin/skin.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Points the library at the skin library's test archive packed beside the test program.
void UseTestArchive();

class SkinTestWindow : public CWindowWnd, public INotifyUI {
public:
    struct Notice {
        std::string type;
        CControlUI* sender;
        std::string senderName;
    };

    // Creates and shows the window at (x, y) with the layout's size; null when creation fails.
    static std::unique_ptr<SkinTestWindow> Open(const std::string& layout, IDialogBuilderCallback* callback = nullptr,
                                                int x = 60, int y = 60);
    ~SkinTestWindow() override;

    CPaintManagerUI& Manager() { return m_manager; }
    CControlUI* Find(const char* name) { return m_manager.FindControl(name); }
    RECT RectOf(const char* name);
    void Click(const char* name);

    std::vector<Notice> notices;
    // Runs inside Notify, after the notice is recorded.
    std::function<void(TNotifyUI&)> onNotify;
    int Count(const char* type, const CControlUI* sender = nullptr) const;
    bool finalMessageSeen = false;
    // The root's size when "windowinit" arrived: the layout must be done by then.
    SIZE rootSizeAtInit{-1, -1};

protected:
    SkinTestWindow(std::string layout, IDialogBuilderCallback* callback);
    // Creates the window over place, shown without activation when asked; false on failure.
    bool CreateAt(const RECT& place, bool shown);
    // The root attached on WM_CREATE: the layout's, unless a subclass makes its own.
    virtual CControlUI* MakeRoot();

    const char* GetWindowClassName() const override { return "KestrovaSkinTest"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;
    void Notify(TNotifyUI& msg) override;

private:
    std::string m_layout;
    IDialogBuilderCallback* m_pCallback;
    CPaintManagerUI m_manager;
};
