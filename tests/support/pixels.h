#pragma once
// Pixels of a window as painted, for assertions on colours and for screenshots: one
// rectangle of the client area copied into memory from where the test needs it.

#include <windows.h>

#include <string>
#include <vector>

// A rectangle of a window's client area as painted.
struct Pixels {
    RECT area{};              // in client coordinates
    std::vector<DWORD> bits;  // 0x00RRGGBB (the top byte as the copy left it), rows top to bottom

    // The colour at a client point (0x00RRGGBB); 0xFFFFFFFF outside the area.
    DWORD At(int x, int y) const;
    DWORD At(POINT pt) const { return At(pt.x, pt.y); }
    bool operator==(const Pixels& other) const { return bits == other.bits; }
    bool operator!=(const Pixels& other) const { return bits != other.bits; }
    // The same picture drawn elsewhere: gradients may round a step differently by place.
    bool LooksLike(const Pixels& other) const;
    template <typename Test>
    int Count(Test test) const {
        int count = 0;
        for (DWORD pixel : bits) count += test(pixel & 0xFFFFFF) ? 1 : 0;
        return count;
    }
    // Pixels of rc that differ from the colour at its top-left corner.
    int InkIn(const RECT& rc) const;
};

enum class PixelSource {
    Window,         // the window's own device context: what it has painted so far
    Screen,         // the display at the window's place, whatever is on top
    PrintedClient,  // painted afresh through WM_PRINTCLIENT, whatever the display shows
};
// Empty bits when the area is empty or the copy fails.
Pixels CapturePixels(HWND window, const RECT& area, PixelSource source);

// Each channel of two 0x00RRGGBB colours within tolerance.
bool Near(DWORD actual, DWORD expected, int tolerance = 3);

// GDI+ started for the object's lifetime.
class GdiplusSession {
public:
    GdiplusSession();
    ~GdiplusSession();
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    bool ok() const { return m_ok; }

private:
    ULONG_PTR m_token = 0;
    bool m_ok = false;
};
// The class id of GDI+'s PNG encoder.
const CLSID& PngEncoder();
// pixels written as an opaque PNG file; false on failure.
bool SavePng(const Pixels& pixels, const std::string& path);
