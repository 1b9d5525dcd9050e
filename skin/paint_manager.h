#pragma once
// One per window: owns the control tree, paints it double-buffered at the window's DPI,
// turns mouse and keyboard messages into control events and control events into
// notifications, and answers screen readers (WM_GETOBJECT) with the tree's IAccessible
// objects. Its static side is the face of the process-wide resource store: the module
// instance, and where layouts and images are read from.
//
// Every length a layout or a program gives (sizes, positions, margins, fonts, borders,
// corners, the caption) is in pixels at 96 DPI; the manager scales it by the window's
// DPI / 96 when it lays out and paints. Positions it reports (GetPos, the caption, the
// corner) are pixels of the window as it is.

#include "skin/control.h"

#include <memory>

class IDialogBuilderCallback;
namespace skin_detail {
class Theme;
}

// Sees each message of MessageLoop before it is dispatched (an embedded browser takes its
// keyboard messages this way); true: handled, not dispatched.
class SKIN_API IMessageFilterUI {
public:
    virtual bool PreTranslateMessage(const MSG& msg) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// An image decoded into a 32-bit premultiplied DIB section, ready for AlphaBlend.
struct SkinImage {
    HBITMAP bitmap = nullptr;
    int width = 0;
    int height = 0;
};

class SKIN_API CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide resource set-up.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // The directory of the running executable, with a trailing backslash.
    static CDuiString GetInstancePath();
    static void SetResourcePath(const char* path);
    static CDuiString GetResourcePath();
    // Layouts and images are then read from this archive in the resource path
    // (cached: the archive is opened once and kept open).
    static void SetResourceZip(const char* zipName, bool cachedResourceZip = false);
    static CDuiString GetResourceZip();
    // Whole file from the archive (or the resource path when no archive is set);
    // false when it is missing. Free the buffer with FreeResourceData.
    static bool LoadResourceData(const char* name, BYTE** data, DWORD* size);
    static void FreeResourceData(BYTE* data);
    // Runs until WM_QUIT; returns its exit code.
    static int MessageLoop();
    // Filters of this thread's MessageLoop, asked in the order added.
    static bool AddMessageFilter(IMessageFilterUI* filter);
    static bool RemoveMessageFilter(IMessageFilterUI* filter);

    // Takes the window's DPI as it is now.
    void Init(HWND window, const char* name = nullptr);
    HWND GetPaintWindow() const;
    HDC GetPaintDC() const;

    // The window's DPI (96 until Init), and a length of 96 DPI at it (MulDiv rounding).
    UINT GetDpi() const;
    int ScaleForDpi(int value) const;
    RECT ScaleForDpi(const RECT& rc) const;
    SIZE ScaleForDpi(SIZE size) const;
    // Another DPI, as WM_DPICHANGED brings it: fonts, images and the layout follow.
    void SetDpi(UINT dpi);

    // Window messages: true when the message was handled, with its result in result.
    bool MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    bool AttachDialog(CControlUI* root);  // the manager owns the tree from here on
    CControlUI* GetRoot() const;
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, const char* type, WPARAM wParam = 0, LPARAM lParam = 0);

    CControlUI* FindControl(const char* name) const;
    CControlUI* FindControl(POINT pt) const;  // topmost visible, enabled control at pt

    // Window values from the layout's <Window> element: set at 96 DPI, read at the
    // window's DPI.
    SIZE GetInitSize() const;
    void SetInitSize(int cx, int cy);
    // left/right: margins from the client's edges; top/bottom: client coordinates.
    RECT& GetCaptionRect();
    void SetCaptionRect(RECT rc);
    SIZE GetRoundCorner() const;
    void SetRoundCorner(int cx, int cy);
    SIZE GetMinInfo() const;
    void SetMinInfo(int cx, int cy);

    // Fonts by id; id -1 (or an unknown id) is the default font.
    bool AddFont(int id, const char* face, int size, bool bold, bool underline, bool italic);
    void SetDefaultFont(const char* face, int size, bool bold, bool underline, bool italic);
    HFONT GetFont(int id) const;
    // The default font's face at another size (pixels at 96 DPI) and weight, kept while
    // the DPI lasts.
    HFONT GetDefaultFaceFont(int size, bool bold);
    // Text colours unless a control sets its own.
    DWORD GetDefaultTextColor() const;
    void SetDefaultTextColor(DWORD argb);
    DWORD GetDefaultDisabledColor() const;
    void SetDefaultDisabledColor(DWORD argb);

    // Decoded images at their own size, cached for the manager's lifetime; null when
    // missing or unreadable.
    const SkinImage* GetImage(const char* name);          // from the skin resources
    const SkinImage* GetFileImage(const char* fullPath);  // from any file (catalogue icons)
    // A file's image filtered to width x height once, and kept.
    const SkinImage* GetFileImage(const char* fullPath, int width, int height);
    // Fonts and images at the window's DPI, for the library's own drawing.
    skin_detail::Theme& GetTheme();

    // Called by controls.
    void Invalidate(const RECT& rc);
    void NeedUpdate();  // the layout is redone before the next paint
    void ReapObjects(CControlUI* control);  // a control is going away: forget it
    // Deletes a removed control once the event or notification being dispatched has
    // returned (at once when none is), so no handler runs on a freed control.
    void AddDelayedCleanup(CControlUI* control);
    // Brackets work that sends several notifications: removed controls stay allocated
    // until the outermost bracket ends.
    void BeginDispatch();
    void EndDispatch();
    void InitControls(CControlUI* control, CControlUI* parent = nullptr);
    // The keyboard focus: the control Enter and Space activate, which Tab and Shift+Tab
    // move; null while the window itself has it. showRing: whether the ring shows (a click
    // focuses without it).
    CControlUI* GetFocus() const;
    void SetFocus(CControlUI* control, bool showRing = true);
    bool ShowsFocusRing(const CControlUI* control) const;
    CControlUI* GetHotControl() const;
    CControlUI* GetPushedControl() const;

    // Option groups, for one-of-many selection.
    bool AddOptionGroup(const char* group, CControlUI* option);
    void RemoveOptionGroup(const char* group, CControlUI* option);
    // Options of the group, in the order added; count set to their number.
    CControlUI** GetOptionGroup(const char* group, int* count);

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};
