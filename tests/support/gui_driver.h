#pragma once
// Drives real windows of the test process under the test display: pumps messages,
// clicks with real mouse messages, and saves screenshots for people to look at.

#include <windows.h>

#include <functional>
#include <string>

// Dispatches this thread's messages for the given time (a WM_QUIT seen is put back).
void PumpMessagesFor(DWORD milliseconds);
// Dispatches messages until condition holds or the time runs out; returns the condition.
bool PumpMessagesUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds = 5000);
// True when a WM_QUIT arrives within the time (it is consumed); exitCode gets its code.
// afterEachMessage, when given, runs after every message dispatched meanwhile.
bool WaitForQuitMessage(DWORD timeoutMilliseconds, int* exitCode = nullptr,
                        const std::function<void()>& afterEachMessage = nullptr);

// A left click at a point in client coordinates: move, button down, button up, each
// sent through the window procedure as the system would, then pending messages pumped.
// The screen cursor is moved there first, so that hover tracking sees the same place.
void ClickAt(HWND window, POINT clientPoint);
void ClickAtCentre(HWND window, const RECT& clientRect);
// A press and its release posted together: whatever the program itself posts or sends
// meanwhile (under Wine, its browser's certificate prompt taking the activation, which
// cancels a press) comes before or after the pair, not between.
void PostClickAt(HWND window, POINT clientPoint);
POINT CentreOf(const RECT& rc);
void DoubleClickAt(HWND window, POINT clientPoint);
// The parts of a click, for presses that end elsewhere and for hover states.
void MoveMouseTo(HWND window, POINT clientPoint);
void PressAt(HWND window, POINT clientPoint);    // move, then button down
void ReleaseAt(HWND window, POINT clientPoint);  // move, then button up

// The client area as it is on screen, written as a PNG named name + ".png" into the
// screenshot folder (KESTROVA_SCREENSHOT_DIR, else "screenshots" beside the test program).
// Returns the file's path, or empty on failure.
std::string SaveScreenshot(HWND window, const std::string& name);
// Colour (0x00BBGGRR) of one client pixel as it is on screen.
COLORREF ScreenPixel(HWND window, POINT clientPoint);

// The width of an icon's image in pixels, or 0 for no icon.
int IconWidth(HICON icon);

// GDI and USER objects held by this process right now.
DWORD GdiObjectCount();
DWORD UserObjectCount();

// Expects the top-level window to carry this title and to measure width by height.
void ExpectTitleAndSize(HWND window, const char* title, int width, int height);
