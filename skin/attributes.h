#pragma once
// Reading attribute values of the layout format: numbers, lists of numbers, colours, flags.

#include <windows.h>

namespace skin_detail {

// A decimal integer (leading spaces and sign allowed); fallback when there is none.
int ParseInt(const char* text, int fallback = 0);
// Up to count comma-separated integers; the others stay as they were. Returns how many were read.
int ParseInts(const char* text, int* values, int count);
RECT ParseRect(const char* text);
SIZE ParseSize(const char* text);
// "#AARRGGBB", "0xAARRGGBB", "#RRGGBB" (opaque) or a decimal number.
DWORD ParseColor(const char* text);
// "true" (any letter case) or "1".
bool ParseBool(const char* text);
bool EqualsNoCase(const char* a, const char* b);

}  // namespace skin_detail
