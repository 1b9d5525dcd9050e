#pragma once
// Owners for what COM calls hand out besides interface pointers (those go into
// Microsoft::WRL::ComPtr): BSTR texts and the thread's COM initialisation.

#include <windows.h>

#include <oleauto.h>

#include <memory>
#include <string>

struct BstrDeleter {
    void operator()(BSTR text) const { ::SysFreeString(text); }
};
using UniqueBstr = std::unique_ptr<OLECHAR, BstrDeleter>;

inline UniqueBstr MakeBstr(const std::wstring& text) {
    return UniqueBstr(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// COM for the current thread for one scope; undone only when this scope set it up.
class ComScope {
public:
    ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_)) ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    // A thread already in another apartment serves as well.
    bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};
