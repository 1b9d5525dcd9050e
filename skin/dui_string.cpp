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

CDuiString::CDuiString() : data_(nullptr), length_(0) {}

CDuiString::CDuiString(const char* text, int length) : data_(nullptr), length_(0) { Assign(text, length); }

CDuiString::CDuiString(const CDuiString& other) : data_(nullptr), length_(0) {
    Assign(other.data_, other.length_);
}

CDuiString::CDuiString(CDuiString&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), length_(std::exchange(other.length_, 0)) {}

CDuiString& CDuiString::operator=(const CDuiString& other) {
    if (this != &other) Assign(other.data_, other.length_);
    return *this;
}

CDuiString& CDuiString::operator=(CDuiString&& other) noexcept {
    if (this != &other) {
        std::free(data_);
        data_ = std::exchange(other.data_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

CDuiString& CDuiString::operator=(const char* text) {
    Assign(text);
    return *this;
}

CDuiString::~CDuiString() { std::free(data_); }

int CDuiString::GetLength() const { return length_; }
bool CDuiString::IsEmpty() const { return length_ == 0; }
const char* CDuiString::GetData() const { return data_ ? data_ : ""; }
CDuiString::operator const char*() const { return GetData(); }

void CDuiString::Empty() {
    std::free(data_);
    data_ = nullptr;
    length_ = 0;
}

void CDuiString::Assign(const char* text, int length) {
    const int newLength = TextLength(text, length);
    // The source may be this string's own buffer: copy before freeing.
    char* copy = CopyText(text, newLength);
    std::free(data_);
    data_ = copy;
    length_ = copy ? newLength : 0;
}

void CDuiString::Append(const char* text) {
    const int extra = TextLength(text, -1);
    if (extra == 0) return;
    char* grown = static_cast<char*>(std::malloc(static_cast<size_t>(length_) + extra + 1));
    if (grown == nullptr) return;
    if (length_ > 0) std::memcpy(grown, data_, static_cast<size_t>(length_));
    std::memcpy(grown + length_, text, static_cast<size_t>(extra));
    grown[length_ + extra] = '\0';
    std::free(data_);
    data_ = grown;
    length_ += extra;
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
    if (start < 0 || start > length_) return -1;
    const char* needle = text ? text : "";
    const char* found = std::strstr(GetData() + start, needle);
    return found ? static_cast<int>(found - GetData()) : -1;
}

int CDuiString::Find(char ch, int start) const {
    if (start < 0 || start >= length_) return -1;
    const void* found = std::memchr(data_ + start, ch, static_cast<size_t>(length_ - start));
    return found ? static_cast<int>(static_cast<const char*>(found) - data_) : -1;
}

CDuiString CDuiString::Right(int count) const {
    if (count <= 0) return CDuiString();
    if (count > length_) count = length_;
    return CDuiString(GetData() + length_ - count, count);
}

CDuiString CDuiString::Left(int count) const {
    if (count <= 0) return CDuiString();
    if (count > length_) count = length_;
    return CDuiString(GetData(), count);
}

CDuiString CDuiString::Mid(int start, int count) const {
    if (start < 0) start = 0;
    if (start >= length_) return CDuiString();
    if (count < 0 || count > length_ - start) count = length_ - start;
    return CDuiString(GetData() + start, count);
}
