#pragma once
// Where the programs look for a library named without a path. Both run as administrator;
// by default a missing library is also looked for in the current folder and on PATH,
// which the user's own environment (HKCU\Environment) sets.

enum class DllSearch {
    SystemAndProgramFolder,  // System32 and the program's own folder, nothing else
    WithoutCurrentFolder,    // Windows 7 without KB2533623: at least not the current folder
    Unrestricted,            // neither call was possible
};

// First thing in every WinMain. Libraries the program imports are loaded before WinMain;
// this governs every one loaded later, and what those import in turn.
DllSearch RestrictDllSearch();
