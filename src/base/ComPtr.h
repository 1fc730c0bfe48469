// The one owning pointer for reference-counted objects: COM-shaped interfaces
// (CUnknownStandAlone) and shared list entries (CSmartPtrTarget) alike. T needs only AddRef
// and Release.
#pragma once

#include <cstddef>
#include <utility>

namespace sondrel {

// Attach() takes over a reference the caller already holds (a new object's first one); the
// constructor from a raw pointer adds one.
template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    explicit ComPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : m_p(other.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    static ComPtr Attach(T* p) {
        ComPtr c;
        c.m_p = p;
        return c;
    }
    // A new T, held by the returned pointer alone.
    template <class... Args>
    static ComPtr Make(Args&&... args) {
        return Attach(new T(std::forward<Args>(args)...));
    }
    T* Detach() { return std::exchange(m_p, nullptr); }
    void Reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }

private:
    T* m_p = nullptr;
};

}  // namespace sondrel
