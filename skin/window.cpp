#include "skin/window.h"

#include "skin/dpi.h"
#include "skin/paint_manager.h"

#include <cstring>
#include <map>
#include <mutex>
#include <string>

namespace {

// The system procedure of each superclassed class, by our class name.
std::mutex superclassMutex;
std::map<std::string, WNDPROC>& SuperclassProcedures() {
    static std::map<std::string, WNDPROC> procedures;
    return procedures;
}

}  // namespace

CWindowWnd::CWindowWnd() = default;

CWindowWnd::~CWindowWnd() {
    // A window that outlives its object must not reach it any more, nor show its icons.
    if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
        ::SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        if (m_bigIcon) ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, 0);
        if (m_smallIcon) ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, 0);
    }
}

HWND CWindowWnd::GetHWND() const { return m_hWnd; }
CWindowWnd::operator HWND() const { return m_hWnd; }

const char* CWindowWnd::GetSuperClassName() const { return nullptr; }
UINT CWindowWnd::GetClassStyle() const { return 0; }

HWND CWindowWnd::Create(HWND parent, const char* name, DWORD style, DWORD exStyle, const RECT& rc, HMENU menu) {
    return Create(parent, name, style, exStyle, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, menu);
}

HWND CWindowWnd::Create(HWND parent, const char* name, DWORD style, DWORD exStyle, int x, int y, int cx, int cy,
                        HMENU menu) {
    const char* className = GetWindowClassName();
    if (className == nullptr || *className == '\0') return nullptr;
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    const char* superName = GetSuperClassName();

    WNDCLASSEXA existing{};
    existing.cbSize = sizeof(existing);
    if (!::GetClassInfoExA(instance, className, &existing)) {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        if (superName != nullptr) {
            // A system class under our name: its procedure stays the default handling.
            WNDCLASSEXA base{};
            base.cbSize = sizeof(base);
            if (!::GetClassInfoExA(nullptr, superName, &base) && !::GetClassInfoExA(instance, superName, &base)) {
                return nullptr;
            }
            wc = base;
            wc.cbSize = sizeof(wc);
            {
                std::lock_guard<std::mutex> lock(superclassMutex);
                SuperclassProcedures()[className] = base.lpfnWndProc;
            }
            wc.lpfnWndProc = SuperclassProcedure;
        } else {
            wc.style = GetClassStyle();
            wc.lpfnWndProc = WindowProcedure;
            wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = nullptr;  // the paint manager paints everything
        }
        wc.hInstance = instance;
        wc.lpszClassName = className;
        wc.lpszMenuName = nullptr;
        if (!::RegisterClassExA(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    }
    if (superName != nullptr) {
        std::lock_guard<std::mutex> lock(superclassMutex);
        auto it = SuperclassProcedures().find(className);
        m_oldWndProc = it != SuperclassProcedures().end() ? it->second : nullptr;
        m_bSubclassed = true;
    }
    m_hWnd = ::CreateWindowExA(exStyle, className, name ? name : "", style, x, y, cx, cy, parent, menu, instance, this);
    return m_hWnd;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
    if (m_hWnd == nullptr) return;
    ::ShowWindow(m_hWnd, show ? (takeFocus ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE) : SW_HIDE);
}

void CWindowWnd::Close(UINT result) {
    if (m_hWnd != nullptr) ::PostMessageA(m_hWnd, WM_CLOSE, static_cast<WPARAM>(result), 0);
}

void CWindowWnd::CenterWindow() {
    if (m_hWnd == nullptr) return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ::GetMonitorInfoA(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT work = monitor.rcWork;

    RECT reference = work;
    HWND owner = (::GetWindowLongA(m_hWnd, GWL_STYLE) & WS_CHILD) != 0 ? ::GetParent(m_hWnd)
                                                                          : ::GetWindow(m_hWnd, GW_OWNER);
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) ::GetWindowRect(owner, &reference);

    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    int x = (reference.left + reference.right) / 2 - width / 2;
    int y = (reference.top + reference.bottom) / 2 - height / 2;
    // Kept inside the work area.
    if (x + width > work.right) x = work.right - width;
    if (x < work.left) x = work.left;
    if (y + height > work.bottom) y = work.bottom - height;
    if (y < work.top) y = work.top;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWindowWnd::SetIcon(UINT resourceId) {
    if (m_hWnd == nullptr) return;
    m_iconResource = resourceId;
    HINSTANCE instance = CPaintManagerUI::GetInstance();
    const UINT dpi = skin_detail::DpiOfWindow(m_hWnd);
    // Loaded in the sizes of this DPI, the best image of the resource picked for each; not
    // shared, since the sizes change with the DPI.
    const auto load = [&](int width, int height) {
        return static_cast<HICON>(::LoadImageA(instance, MAKEINTRESOURCEA(resourceId), IMAGE_ICON,
                                               skin_detail::SystemMetricForDpi(width, dpi),
                                               skin_detail::SystemMetricForDpi(height, dpi), LR_DEFAULTCOLOR));
    };
    decltype(m_bigIcon) big(load(SM_CXICON, SM_CYICON));
    decltype(m_smallIcon) small(load(SM_CXSMICON, SM_CYSMICON));
    // The window lets go of the old icons before they are destroyed.
    if (big) ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    if (small) ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
    if (big) m_bigIcon = std::move(big);
    if (small) m_smallIcon = std::move(small);
}

UINT CWindowWnd::GetIconResource() const { return m_iconResource; }

LRESULT CWindowWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWindowWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

LRESULT CWindowWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_oldWndProc != nullptr) return ::CallWindowProcA(m_oldWndProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

void CWindowWnd::OnFinalMessage(HWND) {}

namespace {

// Finds the object of a window; binds it on WM_NCCREATE. Messages before that (such as
// WM_GETMINMAXINFO) have no object yet.
CWindowWnd* ObjectOf(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* object = static_cast<CWindowWnd*>(create->lpCreateParams);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        return object;
    }
    return reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

}  // namespace

LRESULT CWindowWnd::RouteMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC base) {
    CWindowWnd* object = ObjectOf(window, message, lParam);
    if (object == nullptr) {
        return base ? ::CallWindowProcA(base, window, message, wParam, lParam)
                    : ::DefWindowProcA(window, message, wParam, lParam);
    }
    if (message == WM_NCCREATE) object->m_hWnd = window;
    if (message != WM_NCDESTROY) return object->HandleMessage(message, wParam, lParam);
    // The last message: the object is unbound before it is told, as it may delete itself.
    const LRESULT result = object->HandleMessage(message, wParam, lParam);
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    object->m_hWnd = nullptr;
    object->OnFinalMessage(window);
    return result;
}

LRESULT CALLBACK CWindowWnd::WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return RouteMessage(window, message, wParam, lParam, nullptr);
}

LRESULT CALLBACK CWindowWnd::SuperclassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC base = nullptr;
    if (::GetWindowLongPtrA(window, GWLP_USERDATA) == 0) {
        // Before the object is bound its procedure is not known: look it up by class.
        char className[256] = {};
        if (::GetClassNameA(window, className, sizeof(className)) > 0) {
            std::lock_guard<std::mutex> lock(superclassMutex);
            auto it = SuperclassProcedures().find(className);
            if (it != SuperclassProcedures().end()) base = it->second;
        }
    }
    return RouteMessage(window, message, wParam, lParam, base);
}
