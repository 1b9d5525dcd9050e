#pragma once
// Move-only owners for the raw handles the Win32 API and the C runtime hand out.
// Each traits type names the handle's type, its "no handle" value and how it is closed.

#include <windows.h>
#include <cstdio>
#include <cstdint>
#include <io.h>
#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept : value_(Traits::Invalid()) {}
    explicit UniqueHandle(Value value) noexcept : value_(value) {}
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    Value release() noexcept { return std::exchange(value_, Traits::Invalid()); }
    void reset(Value value = Traits::Invalid()) noexcept {
        Value old = std::exchange(value_, value);
        if (old != Traits::Invalid()) Traits::Close(old);
    }
    // For out-parameters: closes what is held, then lets the callee fill it.
    Value* put() noexcept {
        reset();
        return &value_;
    }

private:
    Value value_;
};

struct KernelHandleTraits {  // processes, threads, events, mutexes: null means none
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::CloseHandle(v); }
};

struct FileHandleTraits {  // CreateFile and toolhelp snapshots: INVALID_HANDLE_VALUE means none
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value v) { ::CloseHandle(v); }
};

struct FindHandleTraits {  // FindFirstFile
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Value v) { ::FindClose(v); }
};

struct CrtFindTraits {  // _findfirst
    using Value = intptr_t;
    static Value Invalid() { return -1; }
    static void Close(Value v) { ::_findclose(v); }
};

struct StdioFileTraits {  // fopen
    using Value = FILE*;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { std::fclose(v); }
};

struct RegistryKeyTraits {  // RegOpenKeyEx, RegCreateKeyEx
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static void Close(Value v) { ::RegCloseKey(v); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFileHandle = UniqueHandle<FileHandleTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueCrtFind = UniqueHandle<CrtFindTraits>;
using UniqueStdioFile = UniqueHandle<StdioFileTraits>;
using UniqueRegistryKey = UniqueHandle<RegistryKeyTraits>;
