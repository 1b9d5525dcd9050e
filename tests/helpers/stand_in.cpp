// A program the process tests start under any name: it records its start beside itself
// ("<own path>.started" holding its process id) and then waits to be ended.
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string marker = std::string(path, length) + ".started";
    if (FILE* file = std::fopen(marker.c_str(), "a")) {
        std::fprintf(file, "%lu\n", ::GetCurrentProcessId());
        std::fclose(file);
    }
    ::Sleep(60000);  // a stand-in the test forgot still goes away by itself
    return 7;
}
