#pragma once
// Starting what the catalogues downloaded or the machine has installed.

#include "skin/catalogue_records.h"

#include <windows.h>

#include <string>

inline constexpr char kInstallPathMissingText[] = "没有找到安装路径";
inline constexpr char kInstallPathMissingCaption[] = "警告";

// A path ending in exactly "exe" (letter case included) is started as a program; anything
// else goes to the shell's "open" verb. The caller has checked that the file exists.
void OpenLocalFile(const std::string& path);

// Starts the program that the entry's execName locates ("subkey", "subkey:value" or
// "subkey:value:suffix", in the registry view where the program was found); tells the user
// when it is not there, in a box owned by owner.
void LaunchInstalledProgram(const DuiSoft& entry, HWND owner = nullptr);

// The program path that execName locates in that view, or empty; no piece gives no path.
std::string InstalledProgramPath(const std::string& execName, RegistryView view);
