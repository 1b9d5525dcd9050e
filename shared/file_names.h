#pragma once
// Names that arrive from the server become file names inside the programs' own folders.
// The programs run with administrator rights, so such a name must never reach outside
// its folder, open a device or match other files: only a plain Windows file name is taken.

#include <string>

// False for "", ".", "..", a name holding a control character or any of <>:"/\|?*, a name
// ending in a dot or a space, and a reserved device name (CON, PRN, AUX, NUL, COM0-9,
// LPT0-9) with or without an extension. The name is in the ANSI code page: the second
// byte of a double-byte character is never taken for one of those characters.
bool IsPlainFileName(const std::string& name);

// The part after the name's last dot, in lower case ("" when there is none). A dot is
// never the trail byte of a double-byte character.
std::string LowerExtensionOf(const std::string& name);

// Whether the shell would run a file of this name as code rather than open it as a
// document: programs, scripts, installers, shortcuts, registry files, control panel items,
// help and web-application files and the like (Windows' high-risk types), letter case
// ignored. Opening such a file is running whatever it says or points to.
bool IsProgramFileName(const std::string& name);
