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
