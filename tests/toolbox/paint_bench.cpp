// Timings behind scripts/bench-paint: the real main window, its software page filled from
// the reference server's catalogue, repainted whole again and again.
//   paint_bench <server base URL> <installation folder>
// Prints "name value" lines: the window's DPI and size, the median and maximum of a full
// repaint of the home page and of the software page (the whole window invalidated, timed
// until it has painted and answers a message), what one control of each kind costs to
// paint, and what a hover and a progress step repaint and cost.
#include "skin/skin.h"
#include "tests/support/gui_driver.h"
#include "toolbox/main_window.h"
#include "toolbox/toolbox_values.h"

#include <curl/curl.h>
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepaints = 60;
constexpr int kControlPaints = 15;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double Maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Dispatches this thread's messages until the window has nothing left to paint, then asks
// it a message: the moment a user would see the new picture and the window respond.
void PaintPending(HWND window) {
    MSG message;
    while (::GetUpdateRect(window, nullptr, FALSE)) {
        if (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
    ::SendMessageA(window, WM_NULL, 0, 0);
    ::GdiFlush();
}

std::vector<double> TimeFullRepaints(HWND window) {
    PaintPending(window);
    std::vector<double> times;
    for (int run = 0; run < kRepaints; ++run) {
        const auto start = Clock::now();
        ::InvalidateRect(window, nullptr, FALSE);
        PaintPending(window);
        times.push_back(MillisecondsSince(start));
    }
    return times;
}

void ReportRepaints(const char* page, const std::vector<double>& times) {
    std::printf("%s_repaint_median_ms %.2f\n", page, Median(times));
    std::printf("%s_repaint_max_ms %.2f\n", page, Maximum(times));
}

void VisitVisibleLeaves(CControlUI* control, const std::function<void(CControlUI*)>& visit) {
    if (control == nullptr || !control->IsVisible()) return;
    auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
    if (container == nullptr || container->GetCount() == 0) {
        const RECT& rc = control->GetPos();
        if (rc.right > rc.left && rc.bottom > rc.top) visit(control);
        return;
    }
    for (int i = 0; i < container->GetCount(); ++i) VisitVisibleLeaves(container->GetItemAt(i), visit);
}

// Each visible control that holds no others, drawn afresh and alone into a memory canvas
// of the client's size (a cell's kept picture is read from the window's back buffer only);
// the medians summed by class: where a repaint's time would go without the kept pictures.
void ReportControlKinds(const char* page, HWND window, CPaintManagerUI& manager) {
    RECT client{};
    ::GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HBITMAP canvas = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = ::SelectObject(dc, canvas);
    struct Kind {
        int count = 0;
        double milliseconds = 0.0;
    };
    std::map<std::string, Kind> kinds;
    VisitVisibleLeaves(manager.GetRoot(), [&](CControlUI* control) {
        std::vector<double> times;
        const RECT rc = control->GetPos();
        for (int run = 0; run < kControlPaints; ++run) {
            const int saved = ::SaveDC(dc);
            ::IntersectClipRect(dc, rc.left, rc.top, rc.right, rc.bottom);
            const auto start = Clock::now();
            control->DoPaint(dc, rc);
            ::GdiFlush();
            times.push_back(MillisecondsSince(start));
            ::RestoreDC(dc, saved);
        }
        Kind& kind = kinds[control->GetClass()];
        ++kind.count;
        kind.milliseconds += Median(times);
    });
    for (const auto& [name, kind] : kinds) {
        std::printf("%s_kind %s %d controls %.3f ms\n", page, name.c_str(), kind.count, kind.milliseconds);
    }
    ::SelectObject(dc, previous);
    ::DeleteObject(canvas);
    ::DeleteDC(dc);
}

CControlUI* FindFirst(CControlUI* control, const char* className) {
    if (control == nullptr) return nullptr;
    if (std::strcmp(control->GetClass(), className) == 0) return control;
    auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
    for (int i = 0; container != nullptr && i < container->GetCount(); ++i) {
        if (CControlUI* found = FindFirst(container->GetItemAt(i), className)) return found;
    }
    return nullptr;
}

int CountWithIcons(CControlUI* control) {
    if (control == nullptr) return 0;
    if (auto* cell = static_cast<SkinSoftListControl*>(control->GetInterface("SoftListItem"))) {
        return cell->GetSoft() != nullptr && !cell->GetSoft()->iconPath.empty() ? 1 : 0;
    }
    int count = 0;
    auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
    for (int i = 0; container != nullptr && i < container->GetCount(); ++i) {
        count += CountWithIcons(container->GetItemAt(i));
    }
    return count;
}

// One change that invalidates part of the window, then painted: its cost and the area.
void ReportStep(const char* name, HWND window, const std::function<void()>& change) {
    std::vector<double> times;
    long area = 0;
    for (int run = 0; run < kRepaints; ++run) {
        PaintPending(window);
        const auto start = Clock::now();
        change();
        RECT update{};
        ::GetUpdateRect(window, &update, FALSE);
        area = (update.right - update.left) * (update.bottom - update.top);
        PaintPending(window);
        times.push_back(MillisecondsSince(start));
    }
    RECT client{};
    ::GetClientRect(window, &client);
    std::printf("%s_step_median_ms %.2f\n", name, Median(times));
    std::printf("%s_step_area_percent %.1f\n", name, 100.0 * area / (client.right * client.bottom));
}

LPARAM PointParam(POINT pt) { return MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y)); }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: paint_bench <server base URL> <installation folder>\n");
        return 2;
    }
    if (FAILED(::OleInitialize(nullptr))) return 1;
    curl_global_init(CURL_GLOBAL_ALL);
    ToolboxValues& values = Toolbox();
    values.SetServerBaseUrl(argv[1]);
    values.TaxCode = "91310000MA1K000D3X";
    values.InstallDir = argv[2];
    ::CreateDirectoryA(values.InstallDir.c_str(), nullptr);
    CPaintManagerUI::SetResourcePath(CPaintManagerUI::GetInstancePath());
    CPaintManagerUI::SetResourceZip("skin.zip", false);

    Veltrin* main = Veltrin::CreateMain();
    if (main == nullptr) return 1;
    const HWND window = main->GetHWND();
    ::SetWindowPos(window, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    // The embedded browser takes a while to come up without an HTML engine.
    PumpMessagesFor(3000);
    RECT frame{};
    ::GetWindowRect(window, &frame);
    HDC screen = ::GetDC(nullptr);
    std::printf("dpi %d\n", ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    std::printf("window %ld x %ld\n", frame.right - frame.left, frame.bottom - frame.top);

    CPaintManagerUI& manager = main->PaintManager();
    ReportRepaints("home", TimeFullRepaints(window));
    ReportControlKinds("home", window, manager);

    CControlUI* softwareTab = manager.FindControl("rj");
    if (softwareTab == nullptr) return 1;
    ClickAtCentre(window, softwareTab->GetPos());
    CControlUI* list = manager.FindControl("softlist");
    const bool filled = PumpMessagesUntil([&] { return CountWithIcons(list) >= 12; }, 30000);
    std::printf("software_cells_with_icons %d%s\n", CountWithIcons(list), filled ? "" : " (timed out)");
    PumpMessagesFor(500);
    ReportRepaints("software", TimeFullRepaints(window));
    ReportControlKinds("software", window, manager);

    auto* first = static_cast<SkinSoftListControl*>(FindFirst(list, "SoftListItem"));
    if (first != nullptr) {
        const RECT cell = first->GetPos();
        const POINT inside{cell.left + 20, cell.top + 20};
        // Between two cells of the row: over no cell.
        const POINT outside{cell.right + 2, cell.top + 20};
        bool over = false;
        ReportStep("hover", window, [&] {
            over = !over;
            ::SendMessageA(window, WM_MOUSEMOVE, 0, PointParam(over ? inside : outside));
        });
        first->SetIsDownLoad(true);
        int percent = 0;
        ReportStep("progress", window, [&] { first->SetDownLoadSize(++percent % 100); });
    }
    ::DestroyWindow(window);
    curl_global_cleanup();
    ::OleUninitialize();
    return 0;
}
