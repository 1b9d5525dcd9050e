// Stands in for the main program wherever the tests start, find or end it, started under
// the name "Veltrin.exe" (or any other). Each start appends its process id to "<own path>.started";
// it then owns a top-level window titled "Kestrova", as the main program does, until the
// window is closed or the process is ended. A copy nobody ends leaves after 60 seconds.
// With the argument "--windowless" it opens no window, for the tests that need a running
// "Veltrin.exe" which owns no such window.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT kLifetimeMilliseconds = 60000;

void RecordStart() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string marker = std::string(path, length) + ".started";
    if (FILE* file = std::fopen(marker.c_str(), "a")) {
        std::fprintf(file, "%lu\n", ::GetCurrentProcessId());
        std::fclose(file);
    }
}

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    RecordStart();
    HWND window = nullptr;
    if (std::strstr(commandLine, "--windowless") == nullptr) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = StandInProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = "KestrovaStandIn";
        ::RegisterClassA(&windowClass);
        // Not shown: the updater's tests take screenshots, which a window on top would spoil.
        window = ::CreateWindowExA(0, "KestrovaStandIn", "Kestrova", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr,
                                   nullptr, instance, nullptr);
    }
    ::SetTimer(nullptr, kLifetimeTimer, kLifetimeMilliseconds, nullptr);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER && message.hwnd == nullptr) break;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    if (window != nullptr && ::IsWindow(window)) ::DestroyWindow(window);
    return 0;
}
