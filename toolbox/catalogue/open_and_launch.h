#pragma once
// Starting what the catalogues downloaded or the machine has installed.

#include "skin/catalogue_records.h"

#include <string>

inline constexpr char kInstallPathMissingText[] = "没有找到安装路径";
inline constexpr char kInstallPathMissingCaption[] = "警告";

// A path ending in exactly "exe" (letter case included) is started as a program; anything
// else goes to the shell's "open" verb. The caller has checked that the file exists.
void OpenLocalFile(const std::string& path);

// Starts the program that the entry's execName locates ("subkey", "subkey:value" or
// "subkey:value:suffix" below HKEY_LOCAL_MACHINE); tells the user when it is not there.
void LaunchInstalledProgram(const DuiSoft& entry);

// The program path that execName locates, or empty; no piece gives no path.
std::string InstalledProgramPath(const std::string& execName);
