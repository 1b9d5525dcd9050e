#pragma once
// Names that arrive from the server become file names inside the programs' own folders.
// The programs run with administrator rights, so such a name must never reach outside
// its folder: only a plain, non-empty name without any directory or drive part is taken.

#include <string>

// False for "", ".", "..", and any name holding '\\', '/' or ':'.
bool IsPlainFileName(const std::string& name);
