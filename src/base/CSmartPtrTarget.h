// Reference counting for shared list entries (device lists, mixer entries): the count starts
// at 1, changes atomically, and the object is destroyed through its virtual destructor at 0.
#pragma once

#include <atomic>
#include <cstdint>
#include <utility>

namespace sondrel {

class CSmartPtrTarget {
public:
    CSmartPtrTarget() = default;
    CSmartPtrTarget(const CSmartPtrTarget&) = delete;
    CSmartPtrTarget& operator=(const CSmartPtrTarget&) = delete;

    std::int32_t AddRef() { return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::int32_t Release() {
        const std::int32_t count = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            delete this;
        return count;
    }
    std::int32_t RefCount() const { return m_refCount.load(std::memory_order_relaxed); }

protected:
    virtual ~CSmartPtrTarget() = default;

private:
    std::atomic<std::int32_t> m_refCount{1};
};

// Holder for CSmartPtrTarget objects. Adopt() takes over the creator's first reference.
template <class T>
class CSmartPtr {
public:
    CSmartPtr() = default;
    CSmartPtr(std::nullptr_t) {}
    explicit CSmartPtr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    CSmartPtr(const CSmartPtr& o) : m_p(o.m_p) {
        if (m_p)
            m_p->AddRef();
    }
    CSmartPtr(CSmartPtr&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~CSmartPtr() { Reset(); }
    CSmartPtr& operator=(CSmartPtr o) noexcept {
        std::swap(m_p, o.m_p);
        return *this;
    }

    static CSmartPtr Adopt(T* p) {
        CSmartPtr s;
        s.m_p = p;
        return s;
    }
    template <class... Args>
    static CSmartPtr Make(Args&&... args) {
        return Adopt(new T(std::forward<Args>(args)...));
    }
    void Reset() {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    friend bool operator==(const CSmartPtr& a, const CSmartPtr& b) { return a.m_p == b.m_p; }

private:
    T* m_p = nullptr;
};

}  // namespace sondrel
