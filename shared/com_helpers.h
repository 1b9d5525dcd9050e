#pragma once
// Owners for what COM calls hand out besides interface pointers (those go into ComPtr):
// BSTR texts and the thread's COM initialisation.

#include "shared/unique_handle.h"

#include <windows.h>

#include <oleauto.h>

#include <string>

inline void FreeBstr(BSTR text) noexcept { ::SysFreeString(text); }
using UniqueBstr = UniqueHandle<NullableHandleTraits<BSTR, FreeBstr>>;

inline UniqueBstr MakeBstr(const std::wstring& text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// COM for the current thread for one scope; undone only when this scope set it up.
class ComScope {
public:
    ComScope() : m_result(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // A thread already in another apartment serves as well.
    bool usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }

private:
    HRESULT m_result;
};
