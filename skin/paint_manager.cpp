#include "skin/paint_manager.h"

#include "skin/dispatch_guard.h"
#include "skin/gdi_objects.h"
#include "skin/input_router.h"
#include "skin/option_groups.h"
#include "skin/resources.h"
#include "skin/theme.h"

#include <algorithm>
#include <cstring>
#include <vector>

using namespace skin_detail;

namespace {

HINSTANCE moduleInstance = nullptr;

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

struct CPaintManagerUI::Impl final : InputWindow {
    explicit Impl(CPaintManagerUI& owner) : manager(owner) {}

    CPaintManagerUI& manager;
    HWND window = nullptr;
    CDuiString name;
    UniqueDC measureDC;
    CControlUI* root = nullptr;
    std::vector<INotifyUI*> notifiers;
    bool needUpdate = true;
    bool windowInitSent = false;

    SIZE initSize{0, 0};
    RECT caption{0, 0, 0, 0};
    SIZE roundCorner{0, 0};
    SIZE minInfo{0, 0};

    Theme theme;
    OptionGroups optionGroups;
    DispatchGuard dispatch;
    InputRouter input{*this, dispatch};

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
        manager.SendNotify(root, "windowinit");
        UpdateLayoutIfNeeded();
    }

    void Paint(HDC target, const RECT& area) {
        RECT client{};
        ::GetClientRect(window, &client);
        if (client.right <= 0 || client.bottom <= 0) return;
        MemoryCanvas canvas(target, client.right, client.bottom);
        if (!canvas.valid()) return;
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
};

CPaintManagerUI::CPaintManagerUI() : impl_(new Impl(*this)) {}

CPaintManagerUI::~CPaintManagerUI() {
    impl_->dispatch.DeleteNow();
    delete impl_->root;
    impl_->root = nullptr;
    impl_->dispatch.DeleteNow();
    delete impl_;
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) { moduleInstance = instance; }

HINSTANCE CPaintManagerUI::GetInstance() {
    return moduleInstance != nullptr ? moduleInstance : ::GetModuleHandleA(nullptr);
}

CDuiString CPaintManagerUI::GetInstancePath() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(GetInstance(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return CDuiString();
    const char* slash = std::strrchr(path, '\\');
    const char* forward = std::strrchr(path, '/');
    if (forward > slash) slash = forward;
    return slash ? CDuiString(path, static_cast<int>(slash - path) + 1) : CDuiString();
}

void CPaintManagerUI::SetResourcePath(const char* path) { SetResourceFolder(path ? path : ""); }

CDuiString CPaintManagerUI::GetResourcePath() { return CDuiString(ResourceFolder().c_str()); }

void CPaintManagerUI::SetResourceZip(const char* zipName, bool cachedResourceZip) {
    SetResourceArchive(zipName ? zipName : "", cachedResourceZip);
}

CDuiString CPaintManagerUI::GetResourceZip() { return CDuiString(ResourceArchive().c_str()); }

bool CPaintManagerUI::LoadResourceData(const char* name, BYTE** data, DWORD* size) {
    if (data == nullptr || size == nullptr) return false;
    *data = nullptr;
    *size = 0;
    std::vector<BYTE> bytes;
    if (name == nullptr || !ReadResource(name, bytes)) return false;
    // One byte more, always NUL, so that text resources can be read as strings.
    *data = new BYTE[bytes.size() + 1];
    if (!bytes.empty()) std::memcpy(*data, bytes.data(), bytes.size());
    (*data)[bytes.size()] = 0;
    *size = static_cast<DWORD>(bytes.size());
    return true;
}

void CPaintManagerUI::FreeResourceData(BYTE* data) { delete[] data; }

void CPaintManagerUI::Init(HWND window, const char* name) {
    impl_->window = window;
    impl_->name = name;
    impl_->measureDC.reset(::CreateCompatibleDC(nullptr));
    impl_->needUpdate = true;
}

HWND CPaintManagerUI::GetPaintWindow() const { return impl_->window; }

HDC CPaintManagerUI::GetPaintDC() const { return impl_->measureDC.get(); }

bool CPaintManagerUI::MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    Impl& d = *impl_;
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
            if (d.minInfo.cx > 0) info->ptMinTrackSize.x = d.minInfo.cx;
            if (d.minInfo.cy > 0) info->ptMinTrackSize.y = d.minInfo.cy;
        }
        return false;

    default:
        return d.input.Route(message, wParam, lParam, result);
    }
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    Impl& d = *impl_;
    if (root == d.root) return root != nullptr;
    d.input.Reset();
    if (d.root != nullptr) {
        CControlUI* old = d.root;
        d.root = nullptr;
        ReapObjects(old);
        AddDelayedCleanup(old);
    }
    d.root = root;
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

CControlUI* CPaintManagerUI::GetRoot() const { return impl_->root; }

bool CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier == nullptr) return false;
    auto& list = impl_->notifiers;
    if (std::find(list.begin(), list.end(), notifier) != list.end()) return false;
    list.push_back(notifier);
    return true;
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    auto& list = impl_->notifiers;
    auto it = std::find(list.begin(), list.end(), notifier);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

void CPaintManagerUI::SendNotify(CControlUI* control, const char* type, WPARAM wParam, LPARAM lParam) {
    DispatchGuard::Scope scope(impl_->dispatch);
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.dwTimestamp = ::GetTickCount();
    msg.wParam = wParam;
    msg.lParam = lParam;
    if (impl_->window != nullptr) {
        ::GetCursorPos(&msg.ptMouse);
        ::ScreenToClient(impl_->window, &msg.ptMouse);
    }
    // A notifier may remove itself or others while being told.
    const std::vector<INotifyUI*> notifiers = impl_->notifiers;
    for (INotifyUI* notifier : notifiers) {
        const auto& current = impl_->notifiers;
        if (std::find(current.begin(), current.end(), notifier) == current.end()) continue;
        notifier->Notify(msg);
    }
}

CControlUI* CPaintManagerUI::FindControl(const char* name) const {
    if (impl_->root == nullptr || name == nullptr) return nullptr;
    // Document order: a container before its children, earlier elements first.
    return impl_->root->FindControl(FindByName, const_cast<char*>(name), UIFIND_ALL | UIFIND_ME_FIRST);
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const { return impl_->ControlAt(pt); }

SIZE CPaintManagerUI::GetInitSize() const { return impl_->initSize; }

void CPaintManagerUI::SetInitSize(int cx, int cy) {
    impl_->initSize = SIZE{cx, cy};
    // A layout read while its window is being created gives the window its size.
    if (impl_->window != nullptr && impl_->root == nullptr && cx > 0 && cy > 0) {
        ::SetWindowPos(impl_->window, nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

RECT& CPaintManagerUI::GetCaptionRect() { return impl_->caption; }
void CPaintManagerUI::SetCaptionRect(RECT rc) { impl_->caption = rc; }
SIZE CPaintManagerUI::GetRoundCorner() const { return impl_->roundCorner; }
void CPaintManagerUI::SetRoundCorner(int cx, int cy) { impl_->roundCorner = SIZE{cx, cy}; }
SIZE CPaintManagerUI::GetMinInfo() const { return impl_->minInfo; }
void CPaintManagerUI::SetMinInfo(int cx, int cy) { impl_->minInfo = SIZE{cx, cy}; }

bool CPaintManagerUI::AddFont(int id, const char* face, int size, bool bold, bool underline, bool italic) {
    if (!impl_->theme.AddFont(id, FontSpec{face ? face : "", size, bold, underline, italic})) return false;
    if (impl_->window != nullptr) ::InvalidateRect(impl_->window, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::SetDefaultFont(const char* face, int size, bool bold, bool underline, bool italic) {
    impl_->theme.SetDefaultFont(FontSpec{face ? face : "", size, bold, underline, italic});
}

HFONT CPaintManagerUI::GetFont(int id) const { return impl_->theme.Font(id); }

DWORD CPaintManagerUI::GetDefaultTextColor() const { return impl_->theme.textColor; }
void CPaintManagerUI::SetDefaultTextColor(DWORD argb) { impl_->theme.textColor = argb; }
DWORD CPaintManagerUI::GetDefaultDisabledColor() const { return impl_->theme.disabledColor; }
void CPaintManagerUI::SetDefaultDisabledColor(DWORD argb) { impl_->theme.disabledColor = argb; }

const SkinImage* CPaintManagerUI::GetImage(const char* name) {
    return impl_->theme.Image(name, ImageSource::SkinResource);
}

const SkinImage* CPaintManagerUI::GetFileImage(const char* fullPath) {
    return impl_->theme.Image(fullPath, ImageSource::File);
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (impl_->window != nullptr) ::InvalidateRect(impl_->window, &rc, FALSE);
}

void CPaintManagerUI::NeedUpdate() {
    impl_->needUpdate = true;
    if (impl_->window != nullptr) ::InvalidateRect(impl_->window, nullptr, FALSE);
}

void CPaintManagerUI::ReapObjects(CControlUI* control) {
    if (control == nullptr) return;
    impl_->input.ForgetWithin(control);
    impl_->optionGroups.ForgetWithin(control);
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) { impl_->dispatch.Delete(control); }

void CPaintManagerUI::BeginDispatch() { impl_->dispatch.Begin(); }

void CPaintManagerUI::EndDispatch() { impl_->dispatch.End(); }

void CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (control == nullptr) return;
    control->SetManager(this, parent, true);
    impl_->needUpdate = true;
}

CControlUI* CPaintManagerUI::GetHotControl() const { return impl_->input.Hot(); }
CControlUI* CPaintManagerUI::GetPushedControl() const { return impl_->input.Pushed(); }

bool CPaintManagerUI::AddOptionGroup(const char* group, CControlUI* option) {
    return impl_->optionGroups.Add(group, option);
}

void CPaintManagerUI::RemoveOptionGroup(const char* group, CControlUI* option) {
    impl_->optionGroups.Remove(group, option);
}

CControlUI** CPaintManagerUI::GetOptionGroup(const char* group, int* count) {
    return impl_->optionGroups.Members(group, count);
}
