#pragma once
// Owners for the GDI objects the library creates. Every owner counts itself while it holds
// an object, so the tests can see that painting and window life cycles leave nothing behind
// even where the system cannot report a process's GDI object count.

#include <windows.h>

#include <atomic>
#include <utility>

namespace skin_detail {

// GDI objects held by the owners below right now.
std::atomic<long>& LiveGdiObjects();

template <typename Handle, typename Closer>
class UniqueGdi {
public:
    UniqueGdi() noexcept = default;
    explicit UniqueGdi(Handle handle) noexcept : handle_(handle) {
        if (handle_) ++LiveGdiObjects();
    }
    UniqueGdi(UniqueGdi&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueGdi& operator=(UniqueGdi&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    UniqueGdi(const UniqueGdi&) = delete;
    UniqueGdi& operator=(const UniqueGdi&) = delete;
    ~UniqueGdi() { reset(); }

    Handle get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void reset(Handle handle = nullptr) noexcept {
        Handle old = std::exchange(handle_, handle);
        if (handle_) ++LiveGdiObjects();
        if (old) {
            Closer()(old);
            --LiveGdiObjects();
        }
    }

private:
    Handle handle_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { ::DeleteObject(object); }
};
struct DeleteMemoryDC {
    void operator()(HDC dc) const { ::DeleteDC(dc); }
};

template <typename T>
using UniqueGdiObject = UniqueGdi<T, DeleteGdiObject>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueRegion = UniqueGdiObject<HRGN>;
using UniqueDC = UniqueGdi<HDC, DeleteMemoryDC>;

// Selects an object into a DC and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) noexcept
        : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectObjectScope() {
        if (previous_) ::SelectObject(dc_, previous_);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Saves a DC's state (clip region, colours, modes) and restores it.
class SavedDCState {
public:
    explicit SavedDCState(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
    ~SavedDCState() {
        if (saved_) ::RestoreDC(dc_, saved_);
    }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

private:
    HDC dc_;
    int saved_;
};

// A window's DC from GetDC, released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A 32-bit top-down DIB section of the given size.
UniqueBitmap CreateDib32(int width, int height, void** bits);

// A memory DC with a 32-bit DIB section selected into it: the back buffer of a paint,
// and the source of images blended onto it.
class MemoryCanvas {
public:
    MemoryCanvas(HDC compatibleWith, int width, int height);
    // The bitmap leaves the DC before either is deleted.
    ~MemoryCanvas() {
        if (previous_) ::SelectObject(dc_.get(), previous_);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    bool valid() const noexcept { return dc_ && bitmap_ && bits_; }
    HDC dc() const noexcept { return dc_.get(); }
    void* bits() const noexcept { return bits_; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }

private:
    UniqueDC dc_;
    UniqueBitmap bitmap_;
    void* bits_ = nullptr;
    int width_;
    int height_;
    HGDIOBJ previous_ = nullptr;
};

}  // namespace skin_detail
