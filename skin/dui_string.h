#pragma once
// An owned, NUL-terminated ANSI text: the one string type of the skin library's interface.

#include "skin/skin_api.h"

class SKIN_API CDuiString {
public:
    CDuiString();
    CDuiString(const char* text, int length = -1);  // -1: up to the NUL
    CDuiString(const CDuiString& other);
    CDuiString(CDuiString&& other) noexcept;
    CDuiString& operator=(const CDuiString& other);
    CDuiString& operator=(CDuiString&& other) noexcept;
    CDuiString& operator=(const char* text);
    ~CDuiString();

    int GetLength() const;
    bool IsEmpty() const;
    const char* GetData() const;
    operator const char*() const;  // never null

    void Empty();
    void Assign(const char* text, int length = -1);
    void Append(const char* text);
    CDuiString& operator+=(const char* text);
    CDuiString operator+(const char* text) const;

    // strcmp-style, byte-wise; null compares as empty.
    int Compare(const char* text) const;
    int CompareNoCase(const char* text) const;
    bool operator==(const char* text) const;
    bool operator!=(const char* text) const;

    // Position of the first occurrence at or after start, or -1.
    int Find(const char* text, int start = 0) const;
    int Find(char ch, int start = 0) const;
    // The last, first or middle count bytes (clamped to the text).
    CDuiString Right(int count) const;
    CDuiString Left(int count) const;
    CDuiString Mid(int start, int count = -1) const;

private:
    char* m_pData;  // null while empty
    int m_length;
};
