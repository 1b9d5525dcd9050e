#pragma once
// One reference to a COM interface, released when the owner goes. Calls that hand out an
// interface fill put(); As<U>() asks the object for another of its interfaces.

#include <windows.h>

#include <unknwn.h>

#include <cstddef>
#include <utility>

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(const ComPtr& other) noexcept : m_pObject(other.m_pObject) {
        if (m_pObject != nullptr) m_pObject->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_pObject(std::exchange(other.m_pObject, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_pObject, other.m_pObject);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const noexcept { return m_pObject; }
    T* operator->() const noexcept { return m_pObject; }
    explicit operator bool() const noexcept { return m_pObject != nullptr; }
    friend bool operator==(const ComPtr& pointer, std::nullptr_t) noexcept { return !pointer; }
    friend bool operator!=(const ComPtr& pointer, std::nullptr_t) noexcept { return !!pointer; }

    // For out-parameters: drops what is held, then lets the callee fill it.
    T** put() noexcept {
        reset();
        return &m_pObject;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    void reset() noexcept {
        if (T* old = std::exchange(m_pObject, nullptr)) old->Release();
    }
    // Hands the reference to the caller.
    T* release() noexcept { return std::exchange(m_pObject, nullptr); }

    // The object's interface U; empty when it has none.
    template <typename U>
    ComPtr<U> As() const noexcept {
        ComPtr<U> other;
        if (m_pObject != nullptr) m_pObject->QueryInterface(__uuidof(U), other.put_void());
        return other;
    }

private:
    T* m_pObject = nullptr;
};
