#pragma once
// Opening documents, web links and programs with the user's own rights. The toolbox runs
// as administrator: a shell open from it would pick the handler through the user's
// writable HKCU\Software\Classes and run that handler, and even a genuine Office or WPS,
// as administrator. The desktop's shell runs with the user's rights, so the open is
// handed to it (its dispatch object's ShellExecute).

#include <windows.h>

#include <string>

inline constexpr char kUserOpenFailedText[] = "无法以当前用户身份打开文件";
inline constexpr char kUserOpenFailedCaption[] = "警告";

// Asks the desktop's shell to open target (a path or a URL, in the ANSI code page). False,
// with the reason in why, when no desktop shell answers or it refuses; nothing is opened then.
bool OpenThroughDesktopShell(const std::string& target, std::string* why);

// OpenThroughDesktopShell for the user: without a shell nothing is opened, the log says
// why, and a box owned by owner says so. There is no road with the toolbox's rights.
bool OpenAsUser(const std::string& target, HWND owner);
