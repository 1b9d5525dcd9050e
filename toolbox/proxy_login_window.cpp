#include "toolbox/proxy_login_window.h"

#include "shared/diagnostic_log.h"
#include "shared/proxy_transfer.h"
#include "toolbox/toolbox_values.h"

#include <condition_variable>
#include <mutex>

namespace {

constexpr int kEditInset = 3;
constexpr int kMaxFieldChars = 256;

std::string EditText(HWND edit) {
    char text[kMaxFieldChars + 1] = {};
    ::GetWindowTextA(edit, text, sizeof(text));
    return text;
}

}  // namespace

bool ProxyLoginWindow::Ask(HWND owner, ProxyCredentials* credentials) {
    // The owner takes no input from before the window shows until it is gone.
    const bool ownerWasEnabled = owner != nullptr && ::IsWindowEnabled(owner);
    if (ownerWasEnabled) ::EnableWindow(owner, FALSE);
    if (Create(owner, kProxyLoginCaption, WS_POPUP | WS_VISIBLE, WS_EX_DLGMODALFRAME, 0, 0, 320, 196) == nullptr) {
        if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
        return false;
    }
    CenterWindow();
    ::SetForegroundWindow(m_hWnd);
    bool quitSeen = false;
    int quitCode = 0;
    MSG msg{};
    while (!m_done && ::IsWindow(m_hWnd)) {
        if (::GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            // The program is ending: the answer is no, and the outer loop still gets its WM_QUIT.
            quitSeen = true;
            quitCode = static_cast<int>(msg.wParam);
            break;
        }
        if (::IsDialogMessageA(m_hWnd, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    if (ownerWasEnabled) ::EnableWindow(owner, TRUE);
    if (::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
    if (quitSeen) ::PostQuitMessage(quitCode);
    if (m_accepted) *credentials = m_entered;
    ::SecureZeroMemory(&m_entered.password[0], m_entered.password.size());
    return m_accepted && !quitSeen;
}

LRESULT ProxyLoginWindow::HandleCustomMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = true;
    switch (message) {
    case WM_COMMAND:  // Enter and Esc, through the dialog manager
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            Finish(LOWORD(wParam) == IDOK);
            return 0;
        }
        break;
    case WM_SYSCOMMAND:  // a system close answers no, and must not end the program's loop
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            Finish(false);
            return 0;
        }
        break;
    case WM_DESTROY:  // this window's end is not the program's
        m_done = true;
        break;
    default:
        break;
    }
    handled = false;
    return 0;
}

void ProxyLoginWindow::Notify(TNotifyUI& msg) {
    if (msg.sType == "windowinit") {
        PlaceEditBoxes();
        return;
    }
    if (msg.sType != "click" || msg.pSender == nullptr) return;
    const CDuiString& name = msg.pSender->GetName();
    if (name == "okbtn") {
        Finish(true);
    } else if (name == "cancelbtn" || name == "closebtn") {
        Finish(false);
    }
}

// The skin has no text field: native edit boxes sit inside the layout's two frames.
void ProxyLoginWindow::PlaceEditBoxes() {
    const struct {
        const char* frame;
        DWORD style;
        HWND* edit;
    } fields[] = {{"username", 0, &m_userNameEdit}, {"password", ES_PASSWORD, &m_passwordEdit}};
    for (const auto& field : fields) {
        CControlUI* frame = m_paintManager.FindControl(field.frame);
        if (frame == nullptr || *field.edit != nullptr) continue;
        const RECT& pos = frame->GetPos();
        const DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | field.style;
        const int inset = m_paintManager.ScaleForDpi(kEditInset);
        *field.edit = ::CreateWindowExA(0, "EDIT", "", style, pos.left + inset, pos.top + inset,
                                        pos.right - pos.left - 2 * inset, pos.bottom - pos.top - 2 * inset, m_hWnd,
                                        nullptr, nullptr, nullptr);
        if (*field.edit == nullptr) continue;
        // The skin's own font, at the window's DPI like the labels beside the fields.
        ::SendMessageA(*field.edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_paintManager.GetFont(-1)), FALSE);
        ::SendMessageA(*field.edit, EM_LIMITTEXT, kMaxFieldChars, 0);
    }
    if (m_userNameEdit != nullptr) ::SetFocus(m_userNameEdit);
}

void ProxyLoginWindow::Finish(bool accepted) {
    if (m_done) return;
    m_accepted = accepted;
    if (accepted) {
        m_entered.userName = m_userNameEdit != nullptr ? EditText(m_userNameEdit) : std::string();
        m_entered.password = m_passwordEdit != nullptr ? EditText(m_passwordEdit) : std::string();
    }
    m_done = true;
}

namespace {

// The question reaches the window thread through a message window of its own, not the
// workers' results queue (worker_results.h): the prompt is installed before the main window
// exists and must answer without it, and the queue holds every later result behind a modal
// box, so download progress and loads would stand still while the login is open.
constexpr UINT WM_ASKPROXYLOGIN = WM_APP + 71;
constexpr char kPromptHostClass[] = "KestrovaProxyPromptHost";

// One question shared by every transfer that meets the 407 while it is open.
struct PromptExchange {
    std::mutex mutex;
    std::condition_variable answered;
    HWND host = nullptr;
    DWORD windowThread = 0;
    bool requested = false;  // a worker's question is posted and not yet answered
    bool showing = false;    // the window is open on the window thread
    unsigned answers = 0;    // raised with each answer
    bool answer = false;
};
PromptExchange g_exchange;

// On the window thread: the window, the answer, and the credentials stored for both programs.
bool AskOnWindowThread() {
    ProxyLoginWindow window;
    ProxyCredentials entered;
    if (!window.Ask(Toolbox().MainWindowHandle, &entered)) {
        LogLine("the proxy asked for credentials; the user gave none");
        return false;
    }
    const bool saved = SaveProxyCredentials(entered);
    LogLine(saved ? "stored the proxy credentials the user entered" : "could not store the proxy credentials");
    ::SecureZeroMemory(&entered.password[0], entered.password.size());
    return saved;
}

void Publish(std::unique_lock<std::mutex>& hold, bool answer) {
    g_exchange.answer = answer;
    g_exchange.requested = false;
    ++g_exchange.answers;
    hold.unlock();
    g_exchange.answered.notify_all();
}

// On the window thread, with the exchange locked: shows the window unless it is already
// open further up this thread's stack (a transfer run from within its message loop),
// which then gets no answer of its own.
bool AnswerOnWindowThread(std::unique_lock<std::mutex>& hold) {
    if (g_exchange.showing) return false;
    g_exchange.showing = true;
    hold.unlock();
    const bool answer = AskOnWindowThread();
    hold.lock();
    g_exchange.showing = false;
    Publish(hold, answer);
    return answer;
}

LRESULT CALLBACK PromptHostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ASKPROXYLOGIN) {
        std::unique_lock<std::mutex> hold(g_exchange.mutex);
        // The window thread may have answered meanwhile.
        if (g_exchange.requested) AnswerOnWindowThread(hold);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// The shared layer's prompt: on the window thread the window shows at once; a worker
// asks the window thread by a posted message (once for all waiting) and waits for the answer.
bool PromptForProxyLogin() {
    std::unique_lock<std::mutex> hold(g_exchange.mutex);
    if (g_exchange.host == nullptr) return false;
    if (::GetCurrentThreadId() == g_exchange.windowThread) return AnswerOnWindowThread(hold);
    const unsigned seen = g_exchange.answers;
    if (!g_exchange.requested && !g_exchange.showing) {
        if (!::PostMessageA(g_exchange.host, WM_ASKPROXYLOGIN, 0, 0)) return false;
        g_exchange.requested = true;
    }
    g_exchange.answered.wait(hold, [&] { return g_exchange.answers != seen; });
    return g_exchange.answer;
}

}  // namespace

void InstallProxyLoginPrompt() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PromptHostProcedure;
    windowClass.hInstance = ::GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kPromptHostClass;
    ::RegisterClassA(&windowClass);
    const HWND host = ::CreateWindowExA(0, kPromptHostClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
    {
        const std::lock_guard<std::mutex> hold(g_exchange.mutex);
        g_exchange.host = host;
        g_exchange.windowThread = ::GetCurrentThreadId();
    }
    SetProxyCredentialPrompt(host != nullptr ? PromptForProxyLogin : nullptr);
}

void RemoveProxyLoginPrompt() {
    SetProxyCredentialPrompt(nullptr);
    HWND host = nullptr;
    {
        const std::lock_guard<std::mutex> hold(g_exchange.mutex);
        host = g_exchange.host;
        g_exchange.host = nullptr;
    }
    if (host != nullptr) ::DestroyWindow(host);
    std::unique_lock<std::mutex> hold(g_exchange.mutex);
    Publish(hold, false);  // a worker still waiting hears no
}
