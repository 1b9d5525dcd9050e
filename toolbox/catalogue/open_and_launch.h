#pragma once
// Starting what the catalogues downloaded or the machine has installed.

#include "skin/catalogue_records.h"
#include "toolbox/catalogue/launch_decision.h"

#include <windows.h>

#include <string>

inline constexpr char kInstallPathMissingText[] = "没有找到安装路径";
inline constexpr char kInstallPathMissingCaption[] = "警告";

// A verified package: a path ending in exactly "exe" (letter case included) is started as a
// program; anything else goes to the shell's "open" verb. The caller has checked that the
// file exists.
void OpenLocalFile(const std::string& path);

// A document, whatever its name, is opened by the desktop shell with the user's rights,
// never started as a program (user_shell.h); without a shell, a box owned by owner says so.
void OpenDocument(const std::string& path, HWND owner);

// Where the entry's execName ("subkey", "subkey:value" or "subkey:value:suffix") points in
// the registry view where the program was found, and how it may be started.
LaunchDecision DecideInstalledLaunch(const std::string& execName, RegistryView view);

// Starts that program as DecideInstalledLaunch decides; tells the user when it is not
// there or may not be started, in a box owned by owner.
void LaunchInstalledProgram(const DuiSoft& entry, HWND owner = nullptr);

// The program path that execName locates in that view, or empty; no piece gives no path.
std::string InstalledProgramPath(const std::string& execName, RegistryView view);
