#include "skin/paint_manager.h"

#include "skin/container.h"
#include "skin/gdi_objects.h"
#include "skin/image_loader.h"
#include "skin/resources.h"

#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
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

struct FontSpec {
    std::string face;
    int size = 12;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

struct FontEntry {
    FontSpec spec;
    UniqueFont font;  // made on first use
};

UniqueFont MakeFont(const FontSpec& spec) {
    LOGFONTA logfont{};
    logfont.lfHeight = -spec.size;  // pixels, character height
    logfont.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    logfont.lfUnderline = spec.underline ? TRUE : FALSE;
    logfont.lfItalic = spec.italic ? TRUE : FALSE;
    // The Chinese character set lets the system substitute a CJK face it has.
    logfont.lfCharSet = GB2312_CHARSET;
    logfont.lfOutPrecision = OUT_TT_PRECIS;
    logfont.lfQuality = ANTIALIASED_QUALITY;
    logfont.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    ::lstrcpynA(logfont.lfFaceName, spec.face.c_str(), LF_FACESIZE);
    return UniqueFont(::CreateFontIndirectA(&logfont));
}

bool IsWithin(CControlUI* control, CControlUI* ancestor) {
    for (; control != nullptr; control = control->GetParent()) {
        if (control == ancestor) return true;
    }
    return false;
}

CControlUI* CALLBACK FindByName(CControlUI* control, void* data) {
    return control->GetName() == static_cast<const char*>(data) ? control : nullptr;
}

CControlUI* CALLBACK FindAny(CControlUI* control, void*) { return control; }

}  // namespace

struct CPaintManagerUI::Impl {
    HWND window = nullptr;
    CDuiString name;
    UniqueDC measureDC;
    CControlUI* root = nullptr;
    std::vector<INotifyUI*> notifiers;

    CControlUI* hot = nullptr;
    CControlUI* pushed = nullptr;
    bool trackingLeave = false;
    bool needUpdate = true;
    bool windowInitSent = false;
    int dispatchDepth = 0;
    std::vector<CControlUI*> delayedCleanup;

    SIZE initSize{0, 0};
    RECT caption{0, 0, 0, 0};
    SIZE roundCorner{0, 0};
    SIZE minInfo{0, 0};

    FontEntry defaultFont;
    std::map<int, FontEntry> fonts;
    DWORD defaultTextColor = 0xFF000000;
    DWORD defaultDisabledColor = 0xFFA7A6AA;

    GdiplusLease gdiplus;
    std::map<std::string, std::unique_ptr<DecodedImage>> images;  // null: known to be missing
    std::map<std::string, std::unique_ptr<DecodedImage>> fileImages;
    std::map<std::string, std::vector<CControlUI*>> optionGroups;

    Impl() { defaultFont.spec.face = "微软雅黑"; }

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

    CControlUI* ControlAt(POINT pt) {
        if (root == nullptr) return nullptr;
        UpdateLayoutIfNeeded();
        return root->FindControl(FindAny, &pt, UIFIND_VISIBLE | UIFIND_ENABLED | UIFIND_HITTEST | UIFIND_TOP_FIRST);
    }

    void Send(CControlUI* control, int type, POINT pt, WPARAM wParam = 0, LPARAM lParam = 0) {
        if (control == nullptr) return;
        TEventUI event;
        event.Type = type;
        event.pSender = control;
        event.dwTimestamp = ::GetTickCount();
        event.ptMouse = pt;
        event.wKeyState = static_cast<WORD>(wParam);
        event.wParam = wParam;
        event.lParam = lParam;
        control->DoEvent(event);
    }

    // Moves the hover to whatever lies under pt (nothing while a press holds the mouse).
    void UpdateHover(POINT pt, WPARAM keys) {
        if (pushed != nullptr) return;
        CControlUI* target = ControlAt(pt);
        if (target != hot) {
            CControlUI* left = hot;
            hot = nullptr;
            Send(left, UIEVENT_MOUSELEAVE, pt, keys);
            hot = target;
            Send(target, UIEVENT_MOUSEENTER, pt, keys);
        }
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

    void FlushDelayedCleanup() {
        // Deleting may queue more (a destructor removing children): drain until empty.
        while (!delayedCleanup.empty()) {
            std::vector<CControlUI*> batch;
            batch.swap(delayedCleanup);
            for (CControlUI* control : batch) delete control;
        }
    }
};

namespace {

// Keeps removed controls allocated while events and notifications are being handled.
class DispatchScope {
public:
    explicit DispatchScope(CPaintManagerUI& manager) : manager_(manager) { manager_.BeginDispatch(); }
    ~DispatchScope() { manager_.EndDispatch(); }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

private:
    CPaintManagerUI& manager_;
};

}  // namespace

CPaintManagerUI::CPaintManagerUI() : impl_(new Impl) {}

CPaintManagerUI::~CPaintManagerUI() {
    impl_->dispatchDepth = 0;
    impl_->FlushDelayedCleanup();
    delete impl_->root;
    impl_->root = nullptr;
    impl_->FlushDelayedCleanup();
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
        DispatchScope scope(*this);
        if (!d.windowInitSent && d.root != nullptr) {
            d.UpdateLayoutIfNeeded();
            d.windowInitSent = true;
            SendNotify(d.root, "windowinit");
        }
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
        if (!d.windowInitSent && d.root != nullptr) {
            DispatchScope scope(*this);
            d.windowInitSent = true;
            SendNotify(d.root, "windowinit");
            d.UpdateLayoutIfNeeded();
        }
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

    case WM_MOUSEMOVE: {
        DispatchScope scope(*this);
        if (!d.trackingLeave) {
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, d.window, 0};
            d.trackingLeave = ::TrackMouseEvent(&track) != FALSE;
        }
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (d.pushed != nullptr) {
            d.Send(d.pushed, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        } else {
            d.UpdateHover(pt, wParam);
            d.Send(d.hot, UIEVENT_MOUSEMOVE, pt, wParam, lParam);
        }
        return true;
    }

    case WM_MOUSELEAVE: {
        DispatchScope scope(*this);
        d.trackingLeave = false;
        if (d.pushed == nullptr && d.hot != nullptr) {
            CControlUI* left = d.hot;
            d.hot = nullptr;
            POINT pt{};
            ::GetCursorPos(&pt);
            ::ScreenToClient(d.window, &pt);
            d.Send(left, UIEVENT_MOUSELEAVE, pt);
        }
        return true;
    }

    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        DispatchScope scope(*this);
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // Keyboard focus leaves a child window (the browser) for the skin; an inactive
        // window is activated by the system's own click handling, not here.
        if (::GetActiveWindow() == d.window && ::GetFocus() != d.window) ::SetFocus(d.window);
        d.UpdateHover(pt, wParam);
        CControlUI* target = d.ControlAt(pt);
        if (target == nullptr) return true;
        d.pushed = target;
        ::SetCapture(d.window);
        d.Send(d.pushed, UIEVENT_BUTTONDOWN, pt, wParam, lParam);
        if (message == WM_LBUTTONDBLCLK) d.Send(d.pushed, UIEVENT_DBLCLICK, pt, wParam, lParam);
        return true;
    }

    case WM_LBUTTONUP: {
        DispatchScope scope(*this);
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // Taken before the capture goes, so that losing it does not cancel this press.
        CControlUI* released = d.pushed;
        d.pushed = nullptr;
        if (::GetCapture() == d.window) ::ReleaseCapture();
        d.Send(released, UIEVENT_BUTTONUP, pt, wParam, lParam);
        // The handler may have removed controls: the hover is found afresh.
        d.UpdateHover(pt, wParam);
        return true;
    }

    case WM_CAPTURECHANGED:
        if (d.pushed != nullptr && reinterpret_cast<HWND>(lParam) != d.window) {
            DispatchScope scope(*this);
            CControlUI* cancelled = d.pushed;
            d.pushed = nullptr;
            POINT pt{};
            ::GetCursorPos(&pt);
            ::ScreenToClient(d.window, &pt);
            d.Send(cancelled, UIEVENT_CANCEL, pt);
        }
        return false;

    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        DispatchScope scope(*this);
        POINT pt{};
        ::GetCursorPos(&pt);
        ::ScreenToClient(d.window, &pt);
        ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
        d.Send(d.pushed != nullptr ? d.pushed : d.ControlAt(pt), UIEVENT_SETCURSOR, pt, wParam, lParam);
        result = TRUE;
        return true;
    }

    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(d.window, &pt);
        const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
        for (CControlUI* control = d.ControlAt(pt); control != nullptr; control = control->GetParent()) {
            auto* container = dynamic_cast<CContainerUI*>(control);
            if (container != nullptr && container->GetScrollRange() > 0) {
                container->LineScroll(-notches);
                d.UpdateLayoutIfNeeded();
                d.UpdateHover(pt, 0);
                return true;
            }
        }
        return false;
    }

    default:
        return false;
    }
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    Impl& d = *impl_;
    if (root == d.root) return root != nullptr;
    d.hot = nullptr;
    d.pushed = nullptr;
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
    DispatchScope scope(*this);
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
    if (id < 0 || size <= 0) return false;
    FontEntry& entry = impl_->fonts[id];
    entry.spec = FontSpec{face && *face ? face : impl_->defaultFont.spec.face, size, bold, underline, italic};
    entry.font.reset();
    if (impl_->window != nullptr) ::InvalidateRect(impl_->window, nullptr, FALSE);
    return true;
}

void CPaintManagerUI::SetDefaultFont(const char* face, int size, bool bold, bool underline, bool italic) {
    FontEntry& entry = impl_->defaultFont;
    entry.spec = FontSpec{face && *face ? face : entry.spec.face, size > 0 ? size : entry.spec.size, bold, underline,
                          italic};
    entry.font.reset();
}

HFONT CPaintManagerUI::GetFont(int id) const {
    auto it = impl_->fonts.find(id);
    FontEntry& entry = it != impl_->fonts.end() ? it->second : impl_->defaultFont;
    if (!entry.font) entry.font = MakeFont(entry.spec);
    return entry.font.get();
}

DWORD CPaintManagerUI::GetDefaultTextColor() const { return impl_->defaultTextColor; }
void CPaintManagerUI::SetDefaultTextColor(DWORD argb) { impl_->defaultTextColor = argb; }
DWORD CPaintManagerUI::GetDefaultDisabledColor() const { return impl_->defaultDisabledColor; }
void CPaintManagerUI::SetDefaultDisabledColor(DWORD argb) { impl_->defaultDisabledColor = argb; }

const SkinImage* CPaintManagerUI::GetImage(const char* name) {
    if (name == nullptr || *name == '\0') return nullptr;
    auto it = impl_->images.find(name);
    if (it != impl_->images.end()) return it->second ? &it->second->image : nullptr;
    std::unique_ptr<DecodedImage> decoded;
    std::vector<BYTE> bytes;
    if (ReadResource(name, bytes)) {
        decoded = std::make_unique<DecodedImage>();
        if (!DecodeImage(bytes.data(), bytes.size(), *decoded)) decoded.reset();
    }
    // A missing image is remembered too, so painting does not search the archive each time.
    const SkinImage* image = decoded ? &decoded->image : nullptr;
    impl_->images[name] = std::move(decoded);
    return image;
}

const SkinImage* CPaintManagerUI::GetFileImage(const char* fullPath) {
    if (fullPath == nullptr || *fullPath == '\0') return nullptr;
    auto it = impl_->fileImages.find(fullPath);
    if (it != impl_->fileImages.end()) return &it->second->image;
    // Not remembered when missing: a catalogue icon may arrive later.
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(fullPath, bytes)) return nullptr;
    auto decoded = std::make_unique<DecodedImage>();
    if (!DecodeImage(bytes.data(), bytes.size(), *decoded)) return nullptr;
    const SkinImage* image = &decoded->image;
    impl_->fileImages[fullPath] = std::move(decoded);
    return image;
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
    Impl& d = *impl_;
    if (IsWithin(d.hot, control)) d.hot = nullptr;
    if (IsWithin(d.pushed, control)) {
        d.pushed = nullptr;
        if (d.window != nullptr && ::GetCapture() == d.window) ::ReleaseCapture();
    }
    for (auto& group : d.optionGroups) {
        auto& members = group.second;
        members.erase(std::remove_if(members.begin(), members.end(),
                                     [control](CControlUI* member) { return IsWithin(member, control); }),
                      members.end());
    }
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* control) {
    if (control == nullptr) return;
    if (impl_->dispatchDepth > 0) {
        impl_->delayedCleanup.push_back(control);
    } else {
        delete control;
    }
}

void CPaintManagerUI::BeginDispatch() { ++impl_->dispatchDepth; }

void CPaintManagerUI::EndDispatch() {
    if (impl_->dispatchDepth > 0 && --impl_->dispatchDepth == 0) impl_->FlushDelayedCleanup();
}

void CPaintManagerUI::InitControls(CControlUI* control, CControlUI* parent) {
    if (control == nullptr) return;
    control->SetManager(this, parent, true);
    impl_->needUpdate = true;
}

CControlUI* CPaintManagerUI::GetHotControl() const { return impl_->hot; }
CControlUI* CPaintManagerUI::GetPushedControl() const { return impl_->pushed; }

bool CPaintManagerUI::AddOptionGroup(const char* group, CControlUI* option) {
    if (group == nullptr || *group == '\0' || option == nullptr) return false;
    auto& members = impl_->optionGroups[group];
    if (std::find(members.begin(), members.end(), option) != members.end()) return false;
    members.push_back(option);
    return true;
}

void CPaintManagerUI::RemoveOptionGroup(const char* group, CControlUI* option) {
    if (group == nullptr) return;
    auto it = impl_->optionGroups.find(group);
    if (it == impl_->optionGroups.end()) return;
    auto& members = it->second;
    members.erase(std::remove(members.begin(), members.end(), option), members.end());
    if (members.empty()) impl_->optionGroups.erase(it);
}

CControlUI** CPaintManagerUI::GetOptionGroup(const char* group, int* count) {
    if (count != nullptr) *count = 0;
    if (group == nullptr) return nullptr;
    auto it = impl_->optionGroups.find(group);
    if (it == impl_->optionGroups.end() || it->second.empty()) return nullptr;
    if (count != nullptr) *count = static_cast<int>(it->second.size());
    return it->second.data();
}
