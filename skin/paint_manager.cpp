#include "skin/paint_manager.h"

#include "skin/accessible_tree.h"
#include "skin/dispatch_guard.h"
#include "skin/dpi.h"
#include "skin/gdi_objects.h"
#include "skin/input_router.h"
#include "skin/keyboard_focus.h"
#include "skin/option_groups.h"
#include "skin/picture_cache.h"
#include "skin/resources.h"
#include "skin/theme.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace skin_detail;

namespace {

// Posted once a tree is attached: "windowinit" then reaches notifiers registered after
// AttachDialog in the same creation handler.
UINT WindowInitMessage() {
    static const UINT message = ::RegisterWindowMessageA("KestrovaSkinWindowInit");
    return message;
}

CControlUI* CALLBACK FindByName(CControlUI* control, void* data) {
    return control->GetName() == static_cast<const char*>(data) ? control : nullptr;
}

CControlUI* CALLBACK FindAny(CControlUI* control, void*) { return control; }

}  // namespace

struct CPaintManagerUI::Impl final : InputWindow, FocusWindow {
    explicit Impl(CPaintManagerUI& owner) : manager(owner) {}

    CPaintManagerUI& manager;
    HWND window = nullptr;
    CDuiString name;
    UniqueDC measureDC;
    std::unique_ptr<CControlUI> root;
    std::vector<INotifyUI*> notifiers;
    bool needUpdate = true;
    bool windowInitSent = false;

    // As the layout gives them, at 96 DPI; the caption also at the window's DPI.
    SIZE initSize{0, 0};
    RECT caption{0, 0, 0, 0};
    RECT captionPixels{0, 0, 0, 0};
    SIZE roundCorner{0, 0};
    SIZE minInfo{0, 0};

    Theme theme;
    // Kept from paint to paint while the client keeps its size; the cells may read it.
    std::unique_ptr<MemoryCanvas> backBuffer;
    std::unique_ptr<ReadableSurface> backBufferSurface;
    OptionGroups optionGroups;
    DispatchGuard dispatch;
    InputRouter input{*this, dispatch};
    KeyboardFocus focus{*this, dispatch};

    void UpdateLayout() {
        if (root == nullptr || window == nullptr) return;
        RECT client{};
        ::GetClientRect(window, &client);
        needUpdate = false;
        root->SetPos(client);
    }
    void UpdateLayoutIfNeeded() {
        if (needUpdate) UpdateLayout();
    }

    // The one road to "windowinit": whichever comes first of the posted message and the
    // first paint sends it, once per attached tree, with the layout done.
    void NotifyWindowInitOnce() {
        if (windowInitSent || root == nullptr) return;
        DispatchGuard::Scope scope(dispatch);
        UpdateLayoutIfNeeded();
        windowInitSent = true;
        manager.SendNotify(root.get(), "windowinit");
        UpdateLayoutIfNeeded();
    }

    int Scale(int value) const { return ScaleToDpi(value, theme.dpi()); }

    MemoryCanvas* BackBuffer(HDC target, int width, int height) {
        if (backBuffer == nullptr || backBuffer->width() != width || backBuffer->height() != height) {
            backBufferSurface.reset();
            backBuffer.reset();
            auto canvas = std::make_unique<MemoryCanvas>(target, width, height);
            if (!canvas->valid()) return nullptr;
            backBuffer = std::move(canvas);
            // A DIB section made top-down, drawn on at the origin.
            backBufferSurface =
                std::make_unique<ReadableSurface>(backBuffer->dc(), backBuffer->bits(), width, height);
        }
        return backBuffer.get();
    }

    void Paint(HDC target, const RECT& area) {
        RECT client{};
        ::GetClientRect(window, &client);
        if (client.right <= 0 || client.bottom <= 0) return;
        MemoryCanvas* buffer = BackBuffer(target, client.right, client.bottom);
        if (buffer == nullptr) return;
        MemoryCanvas& canvas = *buffer;
        {
            SavedDCState saved(canvas.dc());
            ::IntersectClipRect(canvas.dc(), area.left, area.top, area.right, area.bottom);
            const COLORREF previous = ::SetDCBrushColor(canvas.dc(), RGB(255, 255, 255));
            ::FillRect(canvas.dc(), &area, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
            ::SetDCBrushColor(canvas.dc(), previous);
            if (root != nullptr) root->DoPaint(canvas.dc(), area);
        }
        ::BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, canvas.dc(), area.left,
                 area.top, SRCCOPY);
    }

    // InputWindow
    HWND Handle() const override { return window; }
    CControlUI* ControlAt(POINT pt) override {
        if (root == nullptr) return nullptr;
        UpdateLayoutIfNeeded();
        return root->FindControl(FindAny, &pt, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_HITTEST | UIFIND_TOP_FIRST);
    }
    void CaptureMouse() override { ::SetCapture(window); }
    void ReleaseMouse() override {
        if (window != nullptr && ::GetCapture() == window) ::ReleaseCapture();
    }
    bool TrackMouseLeave() override {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
        return ::TrackMouseEvent(&track) != FALSE;
    }
    POINT CursorInClient() const override {
        POINT pt{};
        ::GetCursorPos(&pt);
        return ScreenToClient(pt);
    }
    POINT ScreenToClient(POINT pt) const override {
        ::ScreenToClient(window, &pt);
        return pt;
    }
    // An inactive window is activated by the system's own click handling, not here.
    void TakeFocusFromChild() override {
        if (::GetActiveWindow() == window && ::GetFocus() != window) ::SetFocus(window);
    }
    void ShowArrowCursor() override { ::SetCursor(::LoadCursor(nullptr, IDC_ARROW)); }
    void LayoutMoved() override { UpdateLayoutIfNeeded(); }

    // FocusWindow
    CControlUI* UpToDateRoot() override {
        UpdateLayoutIfNeeded();
        return root.get();
    }
};

CPaintManagerUI::CPaintManagerUI() : m_pImpl(std::make_unique<Impl>(*this)) {}

CPaintManagerUI::~CPaintManagerUI() {
    m_pImpl->dispatch.DeleteNow();
    m_pImpl->root.reset();
    m_pImpl->dispatch.DeleteNow();
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) { SetResourceInstance(instance); }
HINSTANCE CPaintManagerUI::GetInstance() { return ResourceInstance(); }
CDuiString CPaintManagerUI::GetInstancePath() { return CDuiString(InstanceFolder().c_str()); }

void CPaintManagerUI::SetResourcePath(const char* path) { SetResourceFolder(path ? path : ""); }
CDuiString CPaintManagerUI::GetResourcePath() { return CDuiString(ResourceFolder().c_str()); }

void CPaintManagerUI::SetResourceZip(const char* zipName, bool cachedResourceZip) {
    SetResourceArchive(zipName ? zipName : "", cachedResourceZip);
}
CDuiString CPaintManagerUI::GetResourceZip() { return CDuiString(ResourceArchive().c_str()); }

bool CPaintManagerUI::LoadResourceData(const char* name, BYTE** data, DWORD* size) {
    return CopyResource(name, data, size);
}
void CPaintManagerUI::FreeResourceData(BYTE* data) { FreeResourceCopy(data); }

void CPaintManagerUI::Init(HWND window, const char* name) {
    m_pImpl->window = window;
    m_pImpl->name = name;
    m_pImpl->measureDC.reset(::CreateCompatibleDC(nullptr));
    m_pImpl->needUpdate = true;
    SetDpi(DpiOfWindow(window));
}

UINT CPaintManagerUI::GetDpi() const { return m_pImpl->theme.dpi(); }
int CPaintManagerUI::ScaleForDpi(int value) const { return m_pImpl->Scale(value); }
RECT CPaintManagerUI::ScaleForDpi(const RECT& rc) const { return ScaleToDpi(rc, GetDpi()); }
SIZE CPaintManagerUI::ScaleForDpi(SIZE size) const { return ScaleToDpi(size, GetDpi()); }

void CPaintManagerUI::SetDpi(UINT dpi) {
    Impl& d = *m_pImpl;
    if (dpi == 0) return;
    d.theme.SetDpi(dpi);
    d.captionPixels = ScaleToDpi(d.caption, dpi);
    d.needUpdate = true;
    if (d.window != nullptr) ::InvalidateRect(d.window, nullptr, FALSE);
}

HWND CPaintManagerUI::GetPaintWindow() const { return m_pImpl->window; }

HDC CPaintManagerUI::GetPaintDC() const { return m_pImpl->measureDC.get(); }

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Impl& d = *m_pImpl;
    result = 0;
    if (d.window == nullptr) return false;

    if (message == WindowInitMessage()) {
        d.NotifyWindowInitOnce();
        return true;
    }

    switch (message) {
    case WM_ERASEBKGND:
        result = 1;  // everything is painted in WM_PAINT, from a back buffer
        return true;

    case WM_PAINT: {
        if (d.needUpdate && d.root != nullptr) {
            d.UpdateLayout();
            ::InvalidateRect(d.window, nullptr, FALSE);
        }
        d.NotifyWindowInitOnce();
        PAINTSTRUCT ps{};
        HDC dc = ::BeginPaint(d.window, &ps);
        if (dc != nullptr && !::IsRectEmpty(&ps.rcPaint)) d.Paint(dc, ps.rcPaint);
        ::EndPaint(d.window, &ps);
        return true;
    }

    case WM_PRINTCLIENT: {
        d.UpdateLayoutIfNeeded();
        RECT client{};
        ::GetClientRect(d.window, &client);
        d.Paint(reinterpret_cast<HDC>(wParam), client);
        return true;
    }

    case WM_SIZE:
        if (d.root != nullptr && wParam != SIZE_MINIMIZED) {
            d.UpdateLayout();
            ::InvalidateRect(d.window, nullptr, FALSE);
        }
        return false;

    case WM_GETMINMAXINFO:
        if (d.minInfo.cx > 0 || d.minInfo.cy > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            if (d.minInfo.cx > 0) info->ptMinTrackSize.x = d.Scale(d.minInfo.cx);
            if (d.minInfo.cy > 0) info->ptMinTrackSize.y = d.Scale(d.minInfo.cy);
        }
        return false;

    case WM_DPICHANGED: {
        // The window moved to a monitor of another DPI (or the user changed it): the look
        // follows, and the window takes the place the system suggests for it.
        SetDpi(HIWORD(wParam));
        if (const auto* suggested = reinterpret_cast<const RECT*>(lParam)) {
            ::SetWindowPos(d.window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                           suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return true;
    }

    case WM_GETOBJECT:
        return AnswerGetObject(d.root.get(), wParam, lParam, result);

    case WM_KEYDOWN:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        return d.focus.Route(message, wParam, lParam);

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The control pressed takes the focus before it hears of the press.
        d.focus.FollowPress(d.ControlAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        return d.input.Route(message, wParam, lParam, result);

    default:
        if (message == DefaultActionMessage()) {
            DispatchGuard::Scope scope(d.dispatch);
            RunDefaultAction(d.root.get(), wParam);
            return true;
        }
        return d.input.Route(message, wParam, lParam, result);
    }
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    Impl& d = *m_pImpl;
    if (root == d.root.get()) return root != nullptr;
    d.input.Reset();
    d.focus.Reset();
    if (d.root != nullptr) {
        CControlUI* old = d.root.release();
        ReapObjects(old);
        AddDelayedCleanup(old);
    }
    d.root.reset(root);
    if (root == nullptr) return false;
    InitControls(root, nullptr);
    d.needUpdate = true;
    d.windowInitSent = false;
    if (d.window != nullptr) {
        ::PostMessageA(d.window, WindowInitMessage(), 0, 0);
        ::InvalidateRect(d.window, nullptr, FALSE);
    }
    return true;
}

CControlUI* CPaintManagerUI::GetRoot() const { return m_pImpl->root.get(); }

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier == nullptr) return false;
    auto& list = m_pImpl->notifiers;
    if (std::find(list.begin(), list.end(), notifier) != list.end()) return false;
    list.push_back(notifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    auto& list = m_pImpl->notifiers;
    auto it = std::find(list.begin(), list.end(), notifier);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* control, const char* type, WPARAM wParam, LPARAM lParam) {
    DispatchGuard::Scope scope(m_pImpl->dispatch);
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.dwTimestamp = ::GetTickCount();
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (m_pImpl->window != nullptr) {
        ::GetCursorPos(&msg.ptMouse);
        ::ScreenToClient(m_pImpl->window, &msg.ptMouse);
    }
    // A notifier may remove itself or others while being told.
    const std::vector<INotifyUI*> notifiers = m_pImpl->notifiers;
    for (INotifyUI* notifier : notifiers) {
        const auto& current = m_pImpl->notifiers;
        if (std::find(current.begin(), current.end(), notifier) == current.end()) continue;
        notifier->Notify(msg);
    }
}

CControlUI* CPaintManagerUI::FindControl(const char* name) const {
    if (m_pImpl->root == nullptr || name == nullptr) return nullptr;
    // Document order: a container before its children, earlier elements first.
    return m_pImpl->root->FindControl(FindByName, const_cast<char*>(name), UIFIND_ALL | UIFIND_ME_FIRST);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const { return m_pImpl->ControlAt(pt); }

SIZE CPaintManagerUI::GetInitSize() const { return ScaleForDpi(m_pImpl->initSize); }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    m_pImpl->initSize = SIZE{cx, cy};
    // A layout read while its window is being created gives the window its size.
    if (m_pImpl->window != nullptr && m_pImpl->root == nullptr && cx > 0 && cy > 0) {
        const SIZE size = GetInitSize();
        ::SetWindowPos(m_pImpl->window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

RECT& CPaintManagerUI::GetCaptionRect() { return m_pImpl->captionPixels; }
void CPaintManagerUI::SetCaptionRect(RECT rc) {
    m_pImpl->caption = rc;
    m_pImpl->captionPixels = ScaleForDpi(rc);
}
SIZE CPaintManagerUI::GetRoundCorner() const { return ScaleForDpi(m_pImpl->roundCorner); }
void CPaintManagerUI::SetRoundCorner(int cx, int cy) { m_pImpl->roundCorner = SIZE{cx, cy}; }
SIZE CPaintManagerUI::GetMinInfo() const { return ScaleForDpi(m_pImpl->minInfo); }
void CPaintManagerUI::SetMinInfo(int cx, int cy) { m_pImpl->minInfo = SIZE{cx, cy}; }

bool CPaintManagerUI::AddFont(int id, const char* face, int size, bool bold, bool underline, bool italic) {
    if (!m_pImpl->theme.AddFont(id, FontSpec{face ? face : "", size, bold, underline, italic})) return false;
    if (m_pImpl->window != nullptr) ::InvalidateRect(m_pImpl->window, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::SetDefaultFont(const char* face, int size, bool bold, bool underline, bool italic) {
    m_pImpl->theme.SetDefaultFont(FontSpec{face ? face : "", size, bold, underline, italic});
}

HFONT CPaintManagerUI::GetFont(int id) const { return m_pImpl->theme.Font(id); }

HFONT CPaintManagerUI::GetDefaultFaceFont(int size, bool bold) { return m_pImpl->theme.DefaultFaceFont(size, bold); }

DWORD CPaintManagerUI::GetDefaultTextColor() const { return m_pImpl->theme.textColor; }
void CPaintManagerUI::SetDefaultTextColor(DWORD argb) { m_pImpl->theme.textColor = argb; }
DWORD CPaintManagerUI::GetDefaultDisabledColor() const { return m_pImpl->theme.disabledColor; }
void CPaintManagerUI::SetDefaultDisabledColor(DWORD argb) { m_pImpl->theme.disabledColor = argb; }

const SkinImage* CPaintManagerUI::GetImage(const char* name) {
    return m_pImpl->theme.Image(name, ImageSource::SkinResource);
}

const SkinImage* CPaintManagerUI::GetFileImage(const char* fullPath) {
    return m_pImpl->theme.Image(fullPath, ImageSource::File);
}

const SkinImage* CPaintManagerUI::GetFileImage(const char* fullPath, int width, int height) {
    return m_pImpl->theme.FileImage(fullPath, width, height);
}

Theme& CPaintManagerUI::GetTheme() { return m_pImpl->theme; }

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (m_pImpl->window != nullptr) ::InvalidateRect(m_pImpl->window, &rc, FALSE);
}

void CPaintManagerUI::NeedUpdate() {
    m_pImpl->needUpdate = true;
    if (m_pImpl->window != nullptr) ::InvalidateRect(m_pImpl->window, nullptr, FALSE);
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (control == nullptr) return;
    m_pImpl->input.ForgetWithin(control);
    m_pImpl->focus.ForgetWithin(control);
    m_pImpl->optionGroups.ForgetWithin(control);
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) { m_pImpl->dispatch.Delete(control); }

void CPaintManagerUI::BeginDispatch() { m_pImpl->dispatch.Begin(); }

void CPaintManagerUI::EndDispatch() { m_pImpl->dispatch.End(); }

void CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (control == nullptr) return;
    control->SetManager(this, parent, true);
    m_pImpl->needUpdate = true;
}

CControlUI* CPaintManagerUI::GetFocus() const { return m_pImpl->focus.Focused(); }

void CPaintManagerUI::SetFocus(CControlUI* control, bool showRing) { m_pImpl->focus.Set(control, showRing); }

bool CPaintManagerUI::ShowsFocusRing(const CControlUI* control) const { return m_pImpl->focus.ShowsRingOn(control); }

CControlUI* CPaintManagerUI::GetHotControl() const { return m_pImpl->input.Hot(); }
CControlUI* CPaintManagerUI::GetPushedControl() const { return m_pImpl->input.Pushed(); }

bool CPaintManagerUI::AddOptionGroup(const char* group, CControlUI* option) {
    return m_pImpl->optionGroups.Add(group, option);
}

void CPaintManagerUI::RemoveOptionGroup(const char* group, CControlUI* option) {
    m_pImpl->optionGroups.Remove(group, option);
}

CControlUI** CPaintManagerUI::GetOptionGroup(const char* group, int* count) {
    return m_pImpl->optionGroups.Members(group, count);
}
