#pragma once
// Opening documents, web links and programs with the user's own rights. The toolbox runs
// as administrator: a shell open from it would pick the handler through the user's
// writable HKCU\Software\Classes and run that handler, and even a genuine Office or WPS,
// as administrator. The desktop's shell runs with the user's rights, so the open is
// handed to it (its dispatch object's ShellExecute).

#include "shared/com_ptr.h"

#include <windows.h>

#include <shldisp.h>

#include <string>

inline constexpr char kUserOpenFailedText[] = "无法以当前用户身份打开文件";
inline constexpr char kUserOpenFailedCaption[] = "警告";

// The shell object of the desktop window, reached through the user's shell windows list;
// null, with the reason in why, when none answers. The thread must be in COM.
ComPtr<IShellDispatch2> DesktopShell(std::string* why);

// Asks the desktop's shell to open target (a path or a URL, in the ANSI code page). False,
// with the reason in why, when no desktop shell answers or it refuses; nothing is opened then.
bool OpenThroughDesktopShell(const std::string& target, std::string* why);

// OpenThroughDesktopShell for the user: without a shell nothing is opened, the log says
// why, and a box owned by owner says so. There is no road with the toolbox's rights.
bool OpenAsUser(const std::string& target, HWND owner);
