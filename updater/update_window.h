#pragma once
// The Morvane window: a small skinned progress window. Once its layout is built it
// becomes the progress target and lets the download worker post (starting it when the
// update road has not); the worker's messages move the bar, end the updater, or start
// the installation.

#include "frame/skinned_window.h"

#include <windows.h>

class Morvane : public SkinnedWindow {
public:
    Morvane() = default;

    // The controls the window looked up; null when the layout lacks them.
    CControlUI* CloseButton() const { return m_pCloseButton; }
    CProgressUI* ProgressBar() const { return m_pProgressBar; }
    CControlUI* StatusLabel() const { return m_pStatusLabel; }

protected:
    const char* GetWindowClassName() const override { return "Morvane"; }
    const char* LayoutFileName() const override { return "skin.xml"; }
    bool IgnoresCaptionDoubleClick() const override { return false; }
    void InitWindow() override;
    void OnFinalMessage(HWND window) override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Notify(TNotifyUI& msg) override;

private:
    friend Morvane* OpenUpdateWindow();
    void OnUpdateMessage(WPARAM code);

    // Set by a click on the close button: the update is over for good, and a final code
    // already queued behind the click must not install it.
    bool m_dismissed = false;

    // Set while the window is being created, so that a failed creation knows whether
    // the object has already deleted itself.
    bool* m_pFinalised = nullptr;

    CControlUI* m_pCloseButton = nullptr;
    CProgressUI* m_pProgressBar = nullptr;
    CControlUI* m_pStatusLabel = nullptr;
};

// The window's title, size and style as the update road opens it.
inline constexpr char kUpdateWindowTitle[] = "Kestrova自动升级程序";
inline constexpr int kUpdateWindowWidth = 499;
inline constexpr int kUpdateWindowHeight = 176;

// Creates the window (centred, shown); null when it cannot be created. The object
// deletes itself once its window is destroyed.
Morvane* OpenUpdateWindow();

// The update road: the worker starts at once and downloads while the window is built (skin
// resources from "upload.zip" beside the executable, COM for the thread); the message loop
// runs until a quit request.
void RunUpdateWindow(HINSTANCE instance);
