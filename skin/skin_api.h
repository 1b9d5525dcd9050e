#pragma once
// The skin library is a DLL of its own; both programs import the same classes from it.
// Only plain types, Win32 types and the library's own classes cross its boundary,
// apart from the catalogue records, whose layout both sides compile from one header.

#include <windows.h>

#ifdef KESTROVA_SKIN_BUILD
#define SKIN_API __declspec(dllexport)
#else
#define SKIN_API __declspec(dllimport)
#endif
