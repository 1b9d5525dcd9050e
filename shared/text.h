#pragma once
// Conversions between the server's UTF-8, UTF-16 and the machine's ANSI code page,
// in which every text of the programs is held.

#include <string>
#include <vector>

// Both read the input up to its first NUL; invalid UTF-8 sequences become U+FFFD.
std::wstring Utf8ToWide(const std::string& utf8);
std::wstring AnsiToWide(const std::string& ansi);
// True when the input, up to its first NUL, holds no invalid UTF-8 sequence.
bool IsValidUtf8(const std::string& text);

// Characters the ANSI code page cannot hold become its default character.
std::string WideToAnsi(const std::wstring& wide);

// Pieces between delimiters, in order. An empty piece between two delimiters is kept;
// a trailing delimiter adds no empty last piece; an empty text gives no pieces.
std::vector<std::string> SplitString(const std::string& text, char delimiter);

// At most maxBytes bytes of an ANSI text, never cutting a double-byte character in two.
std::string TruncateAnsi(const std::string& text, size_t maxBytes);
