#include "skin/dui_string.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

int TextLength(const char* text, int length) {
    if (text == nullptr) return 0;
    if (length < 0) return static_cast<int>(std::strlen(text));
    // A given length never reaches past the text's terminator.
    const void* nul = std::memchr(text, '\0', static_cast<size_t>(length));
    return nul ? static_cast<int>(static_cast<const char*>(nul) - text) : length;
}

char* CopyText(const char* text, int length) {
    if (length <= 0) return nullptr;
    char* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, text, static_cast<size_t>(length));
    copy[length] = '\0';
    return copy;
}

}  // namespace

CDuiString::CDuiString() : m_pData(nullptr), m_length(0) {}

CDuiString::CDuiString(const char* text, int length) : m_pData(nullptr), m_length(0) { Assign(text, length); }

CDuiString::CDuiString(const CDuiString& other) : m_pData(nullptr), m_length(0) {
    Assign(other.m_pData, other.m_length);
}

CDuiString::CDuiString(CDuiString&& other) noexcept
    : m_pData(std::exchange(other.m_pData, nullptr)), m_length(std::exchange(other.m_length, 0)) {}

CDuiString& CDuiString::operator=(const CDuiString& other) {
    if (this != &other) Assign(other.m_pData, other.m_length);
    return *this;
}

CDuiString& CDuiString::operator=(CDuiString&& other) noexcept {
    if (this != &other) {
        std::free(m_pData);
        m_pData = std::exchange(other.m_pData, nullptr);
        m_length = std::exchange(other.m_length, 0);
    }
    return *this;
}

CDuiString& CDuiString::operator=(const char* text) {
    Assign(text);
    return *this;
}

CDuiString::~CDuiString() { std::free(m_pData); }

int CDuiString::GetLength() const { return m_length; }
bool CDuiString::IsEmpty() const { return m_length == 0; }
const char* CDuiString::GetData() const { return m_pData ? m_pData : ""; }
CDuiString::operator const char*() const { return GetData(); }

void CDuiString::Empty() {
    std::free(m_pData);
    m_pData = nullptr;
    m_length = 0;
}

void CDuiString::Assign(const char* text, int length) {
    const int newLength = TextLength(text, length);
    // The source may be this string's own buffer: copy before freeing.
    char* copy = CopyText(text, newLength);
    std::free(m_pData);
    m_pData = copy;
    m_length = copy ? newLength : 0;
}

void CDuiString::Append(const char* text) {
    const int extra = TextLength(text, -1);
    if (extra == 0) return;
    char* grown = static_cast<char*>(std::malloc(static_cast<size_t>(m_length) + extra + 1));
    if (grown == nullptr) return;
    if (m_length > 0) std::memcpy(grown, m_pData, static_cast<size_t>(m_length));
    std::memcpy(grown + m_length, text, static_cast<size_t>(extra));
    grown[m_length + extra] = '\0';
    std::free(m_pData);
    m_pData = grown;
    m_length += extra;
}

CDuiString& CDuiString::operator+=(const char* text) {
    Append(text);
    return *this;
}

CDuiString CDuiString::operator+(const char* text) const {
    CDuiString result(*this);
    result.Append(text);
    return result;
}

int CDuiString::Compare(const char* text) const {
    return std::strcmp(GetData(), text ? text : "");
}

int CDuiString::CompareNoCase(const char* text) const {
    // Only ASCII letters fold: the bytes of double-byte characters compare as they are.
    const unsigned char* a = reinterpret_cast<const unsigned char*>(GetData());
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text ? text : "");
    for (;; ++a, ++b) {
        unsigned char ca = *a;
        unsigned char cb = *b;
        if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
        if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

bool CDuiString::operator==(const char* text) const { return Compare(text) == 0; }
bool CDuiString::operator!=(const char* text) const { return Compare(text) != 0; }

int CDuiString::Find(const char* text, int start) const {
    if (start < 0 || start > m_length) return -1;
    const char* needle = text ? text : "";
    const char* found = std::strstr(GetData() + start, needle);
    return found ? static_cast<int>(found - GetData()) : -1;
}

int CDuiString::Find(char ch, int start) const {
    if (start < 0 || start >= m_length) return -1;
    const void* found = std::memchr(m_pData + start, ch, static_cast<size_t>(m_length - start));
    return found ? static_cast<int>(static_cast<const char*>(found) - m_pData) : -1;
}

CDuiString CDuiString::Right(int count) const {
    if (count <= 0) return CDuiString();
    if (count > m_length) count = m_length;
    return CDuiString(GetData() + m_length - count, count);
}

CDuiString CDuiString::Left(int count) const {
    if (count <= 0) return CDuiString();
    if (count > m_length) count = m_length;
    return CDuiString(GetData(), count);
}

CDuiString CDuiString::Mid(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= m_length) return CDuiString();
    if (count < 0 || count > m_length - start) count = m_length - start;
    return CDuiString(GetData() + start, count);
}
