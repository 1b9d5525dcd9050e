#pragma once
// A plain window of the skin library for the library's own tests: builds a layout on
// WM_CREATE and records every notification it receives.

#include "skin/skin.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// Points the library at the test archive packed beside the test program.
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

    CPaintManagerUI& Manager() { return manager_; }
    CControlUI* Find(const char* name) { return manager_.FindControl(name); }
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
    const char* GetWindowClassName() const override { return "KestrovaSkinTest"; }
    UINT GetClassStyle() const override { return CS_DBLCLKS; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND window) override;
    void Notify(TNotifyUI& msg) override;

private:
    SkinTestWindow(std::string layout, IDialogBuilderCallback* callback);

    std::string layout_;
    IDialogBuilderCallback* callback_;
    CPaintManagerUI manager_;
};

POINT CentreOf(const RECT& rc);
