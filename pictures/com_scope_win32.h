#pragma once

#include <objbase.h>

#include <utility>

// COM for the calling thread for as long as the scope lives, and a pointer that releases
// what it holds. A thread that already runs COM in another model keeps it; what it has
// works for the imaging component as well.
namespace pictures::win32 {

class ComScope {
public:
    ComScope()
        : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) {
            CoUninitialize();
        }
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT m_result;
};

template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}

    Interface* operator->() const { return m_pointer; }
    Interface* Get() const { return m_pointer; }
    explicit operator bool() const { return m_pointer != nullptr; }
    // For the functions that hand out an interface through an out-parameter.
    Interface** Out() {
        Reset();
        return &m_pointer;
    }
    void Reset() {
        if (m_pointer != nullptr) {
            std::exchange(m_pointer, nullptr)->Release();
        }
    }

private:
    Interface* m_pointer = nullptr;
};

}  // namespace pictures::win32
