#pragma once
// Move-only owners for the raw handles the Win32 API, COM and the C runtime hand out.
// Each traits type names the handle's type, its "no handle" value and how it is closed.
// A traits type may also count what it holds (Adopt when an owner takes a handle, Disown
// when it lets go), as the skin's GDI owners do to prove that nothing leaks.

#include <windows.h>
#include <cstdio>
#include <cstdint>
#include <io.h>
#include <type_traits>
#include <utility>

namespace unique_handle_detail {

template <typename Traits, typename = void>
struct IsCounted : std::false_type {};
template <typename Traits>
struct IsCounted<Traits, std::void_t<decltype(Traits::Adopt(std::declval<typename Traits::Value>())),
                                     decltype(Traits::Disown(std::declval<typename Traits::Value>()))>>
    : std::true_type {};

}  // namespace unique_handle_detail

template <typename Traits>
class UniqueHandle {
public:
    using Value = typename Traits::Value;

    UniqueHandle() noexcept : m_value(Traits::Invalid()) {}
    explicit UniqueHandle(Value value) noexcept : m_value(Traits::Invalid()) { reset(value); }
    UniqueHandle(UniqueHandle&& other) noexcept : UniqueHandle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Value get() const noexcept { return m_value; }
    bool valid() const noexcept { return m_value != Traits::Invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    Value release() noexcept {
        const Value old = std::exchange(m_value, Traits::Invalid());
        if (old != Traits::Invalid()) Disown(old);
        return old;
    }
    void reset(Value value = Traits::Invalid()) noexcept {
        const Value old = std::exchange(m_value, value);
        if (value != Traits::Invalid()) Adopt(value);
        if (old != Traits::Invalid()) {
            Disown(old);
            Traits::Close(old);
        }
    }
    // For out-parameters: closes what is held, then lets the callee fill it. A counted
    // handle would escape its count this way, so those owners take theirs through reset.
    Value* put() noexcept {
        static_assert(!kCounted, "counted handles are taken through reset");
        reset();
        return &m_value;
    }

private:
    static constexpr bool kCounted = unique_handle_detail::IsCounted<Traits>::value;
    static void Adopt([[maybe_unused]] Value value) noexcept {
        if constexpr (kCounted) Traits::Adopt(value);
    }
    static void Disown([[maybe_unused]] Value value) noexcept {
        if constexpr (kCounted) Traits::Disown(value);
    }

    Value m_value;
};

// Handles for which null means none, closed by one function of the handle.
template <typename Handle, auto CloseFunction>
struct NullableHandleTraits {
    using Value = Handle;
    static Value Invalid() noexcept { return nullptr; }
    static void Close(Value value) noexcept { CloseFunction(value); }
};

// CreateFile, toolhelp snapshots and FindFirstFile: INVALID_HANDLE_VALUE means none.
template <auto CloseFunction>
struct InvalidValueHandleTraits {
    using Value = HANDLE;
    static Value Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Value value) noexcept { CloseFunction(value); }
};

struct CrtFindTraits {  // _findfirst
    using Value = intptr_t;
    static Value Invalid() noexcept { return -1; }
    static void Close(Value value) noexcept { ::_findclose(value); }
};

inline void CloseStdioFile(FILE* file) noexcept { std::fclose(file); }

// Processes, threads, events and mutexes.
using UniqueKernelHandle = UniqueHandle<NullableHandleTraits<HANDLE, ::CloseHandle>>;
using UniqueFileHandle = UniqueHandle<InvalidValueHandleTraits<::CloseHandle>>;
using UniqueFindHandle = UniqueHandle<InvalidValueHandleTraits<::FindClose>>;
using UniqueCrtFind = UniqueHandle<CrtFindTraits>;
using UniqueStdioFile = UniqueHandle<NullableHandleTraits<FILE*, CloseStdioFile>>;
using UniqueRegistryKey = UniqueHandle<NullableHandleTraits<HKEY, ::RegCloseKey>>;
using UniqueModule = UniqueHandle<NullableHandleTraits<HMODULE, ::FreeLibrary>>;  // LoadLibrary
// GDI objects and memory DCs (the skin library's own owners count theirs besides).
template <typename GdiObject>
using UniqueGdiHandle = UniqueHandle<NullableHandleTraits<GdiObject, ::DeleteObject>>;
using UniqueMemoryDC = UniqueHandle<NullableHandleTraits<HDC, ::DeleteDC>>;
