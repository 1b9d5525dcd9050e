#pragma once
// The announcement popup: a small borderless window at the bottom-right corner of the
// work area showing the maker's announcement page for the taxpayer code. Created hidden;
// the status check shows it at most once per run; its close button only hides it.

#include "frame/skinned_window.h"
#include "toolbox/computer_examine.h"
#include "toolbox/web_event_handler.h"

#include <memory>

inline constexpr int kAnnouncementWidth = 260;
inline constexpr int kAnnouncementHeight = 320;

class GG : public SkinnedWindow {
public:
    GG();
    ~GG() override;

    // A new announcement window, hidden at the bottom-right corner; null on failure.
    static GG* CreateHidden();
    // Creates this object's window hidden at the bottom-right corner and records it as the
    // announcement window. On failure the caller still owns the object.
    bool OpenHidden();

    // Into the bottom-right corner of the work area, or of the owner's rectangle, without
    // changing size or z-order and without activating.
    void PlaceBottomRight();
    // "about:blank", then the announcement page with a fresh number. Nothing without a browser.
    void RefreshAnnouncement();

    CWebBrowserUI* Browser() const { return m_pBrowser; }

protected:
    const char* GetWindowClassName() const override { return "UIGGFrame"; }
    const char* LayoutFileName() const override { return "gg.xml"; }
    IDialogBuilderCallback* BuilderCallback() override { return &m_builderCallback; }
    void InitWindow() override;
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Notify(TNotifyUI& msg) override;

private:
    CControlUI* m_pCloseBtn = nullptr;
    CWebBrowserUI* m_pBrowser = nullptr;
    CDialogBuilderCallbackEx m_builderCallback;
    std::unique_ptr<CCustomWebEventHandler> m_pBrowserEvents;
};

// The page address: announcement prefix + taxpayer code + a fresh "&id=" number.
std::string AnnouncementPageUrl();
