#pragma once
// The proxy's login: a small modal window owned by the main window that asks for the
// user name and password the office's proxy wants, and the prompt through which every
// transfer of the toolbox reaches it when the proxy answers 407.

#include "shared/proxy_credentials.h"
#include "frame/skinned_window.h"

inline constexpr char kProxyLoginCaption[] = "代理服务器需要验证";

class ProxyLoginWindow : public SkinnedWindow {
public:
    // Shows the window owned by owner (disabled meanwhile) until the user answers; true
    // with the fields' texts on "确定" (or Enter), false on "取消", the close button or Esc.
    bool Ask(HWND owner, ProxyCredentials* credentials);

protected:
    const char* GetWindowClassName() const override { return "KestrovaProxyLogin"; }
    const char* LayoutFileName() const override { return "proxy_login.xml"; }
    LRESULT HandleCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    void Notify(TNotifyUI& msg) override;
    // The object lives on the caller's stack.
    void OnFinalMessage(HWND) override {}

private:
    void PlaceEditBoxes();
    void Finish(bool accepted);

    HWND m_userNameEdit = nullptr;
    HWND m_passwordEdit = nullptr;
    bool m_done = false;
    bool m_accepted = false;
    ProxyCredentials m_entered;
};

// Registers the toolbox's prompt for the proxy's credentials; call on the window thread,
// before the first transfer. A transfer on another thread waits for the window thread's
// answer; RemoveProxyLoginPrompt (when the message loop has ended) answers "no" to all.
void InstallProxyLoginPrompt();
void RemoveProxyLoginPrompt();
