#pragma once
// Where the programs look for a library named without a path. Both run as administrator;
// by default a missing library is also looked for in the current folder and on PATH,
// which the user's own environment (HKCU\Environment) sets.

// First thing in every WinMain: System32 and the program's own folder only. Windows 7
// without KB2533623 lacks that call; there at least the current folder is left out.
// Libraries the program imports are loaded before WinMain; this governs every one loaded
// later, and what those import in turn.
void RestrictDllSearch();
