#pragma once
// Owners for the GDI objects the library creates. Every owner counts itself while it holds
// an object, so the tests can see that painting and window life cycles leave nothing behind
// even where the system cannot report a process's GDI object count.

#include "shared/unique_handle.h"

#include <windows.h>

#include <atomic>

namespace skin_detail {

// GDI objects held by the owners below right now.
std::atomic<long>& LiveGdiObjects();

// Owned and counted: the owners take a handle through their constructor or reset.
template <typename Handle, auto DeleteFunction>
struct CountedGdiTraits : NullableHandleTraits<Handle, DeleteFunction> {
    static void Adopt(Handle) noexcept { ++LiveGdiObjects(); }
    static void Disown(Handle) noexcept { --LiveGdiObjects(); }
};

template <typename T>
using UniqueGdiObject = UniqueHandle<CountedGdiTraits<T, ::DeleteObject>>;
using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;
using UniquePen = UniqueGdiObject<HPEN>;
using UniqueRegion = UniqueGdiObject<HRGN>;
using UniqueDC = UniqueHandle<CountedGdiTraits<HDC, ::DeleteDC>>;

// Selects an object into a DC and puts the previous one back.
class SelectObjectScope {
public:
    SelectObjectScope(HDC dc, HGDIOBJ object) noexcept
        : m_dc(dc), m_previous(object ? ::SelectObject(dc, object) : nullptr) {}
    ~SelectObjectScope() {
        if (m_previous) ::SelectObject(m_dc, m_previous);
    }
    SelectObjectScope(const SelectObjectScope&) = delete;
    SelectObjectScope& operator=(const SelectObjectScope&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

// Saves a DC's state (clip region, colours, modes) and restores it.
class SavedDCState {
public:
    explicit SavedDCState(HDC dc) noexcept : m_dc(dc), m_saved(::SaveDC(dc)) {}
    ~SavedDCState() {
        if (m_saved) ::RestoreDC(m_dc, m_saved);
    }
    SavedDCState(const SavedDCState&) = delete;
    SavedDCState& operator=(const SavedDCState&) = delete;

private:
    HDC m_dc;
    int m_saved;
};

// A window's DC from GetDC, released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : m_window(window), m_dc(::GetDC(window)) {}
    ~WindowDC() {
        if (m_dc) ::ReleaseDC(m_window, m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const noexcept { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
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
        if (m_previous) ::SelectObject(m_dc.get(), m_previous);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    bool valid() const noexcept { return m_dc && m_bitmap && m_pBits; }
    HDC dc() const noexcept { return m_dc.get(); }
    void* bits() const noexcept { return m_pBits; }
    int width() const noexcept { return m_width; }
    int height() const noexcept { return m_height; }

private:
    UniqueDC m_dc;
    UniqueBitmap m_bitmap;
    void* m_pBits = nullptr;
    int m_width;
    int m_height;
    HGDIOBJ m_previous = nullptr;
};

}  // namespace skin_detail
