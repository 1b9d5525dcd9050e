// Timings behind scripts/bench-paint: the real main window, its software page filled from
// the reference server's catalogue, repainted whole again and again.
//   paint_bench <server base URL> <installation folder>
// Prints "name value" lines: the window's DPI and size, the median and maximum of a full
// repaint of the home page and of the software page (the whole window invalidated, timed
// until it has painted and answers a message), what the controls of each kind cost to draw
// afresh, and what a hover and a progress step repaint and cost.
#include "shared/unique_handle.h"
#include "skin/skin.h"
#include "tests/support/gui_driver.h"
#include "toolbox/main_window.h"
#include "toolbox/toolbox_values.h"

#include <curl/curl.h>
#include <ole2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepaints = 60;
constexpr int kControlPaints = 15;

// The median and the maximum of runs of what.
std::pair<double, double> Time(int runs, const std::function<void()>& what) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        what();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
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

void ReportRepaints(const char* page, HWND window) {
    PaintPending(window);
    const auto [median, maximum] = Time(kRepaints, [window] {
        ::InvalidateRect(window, nullptr, FALSE);
        PaintPending(window);
    });
    std::printf("%s_repaint_median_ms %.2f\n%s_repaint_max_ms %.2f\n", page, median, page, maximum);
}

// Every visible control of the tree, containers before their children.
void VisitVisible(CControlUI* control, const std::function<void(CControlUI*)>& visit) {
    if (control == nullptr || !control->IsVisible()) return;
    visit(control);
    auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
    for (int i = 0; container != nullptr && i < container->GetCount(); ++i) VisitVisible(container->GetItemAt(i), visit);
}

// Each visible control that holds no others, drawn afresh and alone into a memory canvas
// of the client's size (a cell's kept picture is read from the window's back buffer only);
// the medians summed by class: where a repaint's time would go without the kept pictures.
void ReportControlKinds(const char* page, HWND window, CPaintManagerUI& manager) {
    RECT client{};
    ::GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(info.bmiHeader), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueMemoryDC dc(::CreateCompatibleDC(nullptr));
    UniqueGdiHandle<HBITMAP> canvas(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !canvas) return;
    const HGDIOBJ previous = ::SelectObject(dc.get(), canvas.get());
    std::map<std::string, std::pair<int, double>> kinds;  // class: count, milliseconds
    VisitVisible(manager.GetRoot(), [&](CControlUI* control) {
        auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
        const RECT rc = control->GetPos();
        if ((container != nullptr && container->GetCount() > 0) || rc.right <= rc.left || rc.bottom <= rc.top) return;
        const double median = Time(kControlPaints, [&] {
                                  const int saved = ::SaveDC(dc.get());
                                  ::IntersectClipRect(dc.get(), rc.left, rc.top, rc.right, rc.bottom);
                                  control->DoPaint(dc.get(), rc);
                                  ::GdiFlush();
                                  ::RestoreDC(dc.get(), saved);
                              }).first;
        auto& kind = kinds[control->GetClass()];
        ++kind.first;
        kind.second += median;
    });
    for (const auto& [name, kind] : kinds) {
        std::printf("%s_kind %s %d controls %.3f ms\n", page, name.c_str(), kind.first, kind.second);
    }
    ::SelectObject(dc.get(), previous);
}

// The software cells of the tree.
std::vector<SkinSoftListControl*> SoftwareCells(CControlUI* root) {
    std::vector<SkinSoftListControl*> cells;
    VisitVisible(root, [&cells](CControlUI* control) {
        if (auto* cell = static_cast<SkinSoftListControl*>(control->GetInterface("SoftListItem"))) cells.push_back(cell);
    });
    return cells;
}

// One change that invalidates part of the window, then painted: its cost and the area.
void ReportStep(const char* name, HWND window, const std::function<void()>& change) {
    long area = 0;
    PaintPending(window);
    const double median = Time(kRepaints, [&] {
                              change();
                              RECT update{};
                              ::GetUpdateRect(window, &update, FALSE);
                              area = (update.right - update.left) * (update.bottom - update.top);
                              PaintPending(window);
                          }).first;
    RECT client{};
    ::GetClientRect(window, &client);
    std::printf("%s_step_median_ms %.2f\n", name, median);
    std::printf("%s_step_area_percent %.1f\n", name, 100.0 * area / (client.right * client.bottom));
}

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
    std::printf("dpi %u\nwindow %ld x %ld\n", main->PaintManager().GetDpi(), frame.right - frame.left,
                frame.bottom - frame.top);

    CPaintManagerUI& manager = main->PaintManager();
    ReportRepaints("home", window);
    ReportControlKinds("home", window, manager);

    CControlUI* softwareTab = manager.FindControl("rj");
    if (softwareTab == nullptr) return 1;
    ClickAtCentre(window, softwareTab->GetPos());
    const auto withIcons = [&] {
        const std::vector<SkinSoftListControl*> cells = SoftwareCells(manager.GetRoot());
        return std::count_if(cells.begin(), cells.end(), [](SkinSoftListControl* cell) {
            return !cell->GetSoft()->iconPath.empty();
        });
    };
    const bool filled = PumpMessagesUntil([&] { return withIcons() >= 12; }, 30000);
    std::printf("software_cells_with_icons %d%s\n", static_cast<int>(withIcons()), filled ? "" : " (timed out)");
    PumpMessagesFor(500);
    ReportRepaints("software", window);
    ReportControlKinds("software", window, manager);

    const std::vector<SkinSoftListControl*> cells = SoftwareCells(manager.GetRoot());
    if (!cells.empty()) {
        SkinSoftListControl* first = cells.front();
        const RECT cell = first->GetPos();
        // Into the first cell, and out between it and its neighbour.
        const LPARAM inside = MAKELPARAM(cell.left + 20, cell.top + 20);
        const LPARAM outside = MAKELPARAM(cell.right + 2, cell.top + 20);
        bool over = false;
        ReportStep("hover", window, [&] {
            over = !over;
            ::SendMessageA(window, WM_MOUSEMOVE, 0, over ? inside : outside);
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
