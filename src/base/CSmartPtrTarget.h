// Reference counting for shared list entries (device lists, mixer entries): the count starts
// at 1, changes atomically, and the object is destroyed through its virtual destructor at 0.
// Held by ComPtr.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/ComPtr.h"

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

}  // namespace sondrel
