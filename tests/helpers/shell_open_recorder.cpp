// Registered by the toolbox tests as the shell's handler of a URL scheme of their own:
// appends the address it was given (its second argument) as one line to the file named
// by its first argument, and ends.
#include "shared/unique_handle.h"

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (__argc < 3) return 2;
    UniqueStdioFile record(std::fopen(__argv[1], "a"));
    if (!record) return 3;
    std::fprintf(record.get(), "%s\n", __argv[2]);
    return 0;
}
