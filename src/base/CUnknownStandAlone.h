// Reference counting for interface-style engine objects (recorder, record input, progress
// object): an IUnknown-shaped interface, a stand-alone base that implements it with an atomic
// count; ComPtr (base/ComPtr.h) holds such objects.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/ComPtr.h"
#include "base/Guid.h"
#include "base/Result.h"

namespace sondrel {

// {00000000-0000-0000-C000-000000000046}
inline constexpr GUID IID_IUnknown{
    0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

// Implements AddRef/Release for every interface in Interfaces (they all derive from
// IUnknown). The creator holds the first reference; the object deletes itself at zero.
// Derived classes override QueryInterface to answer for their interface ids.
template <class... Interfaces>
class CUnknownStandAlone : public Interfaces... {
public:
    CUnknownStandAlone() = default;
    CUnknownStandAlone(const CUnknownStandAlone&) = delete;
    CUnknownStandAlone& operator=(const CUnknownStandAlone&) = delete;

    HRESULT QueryInterface(const GUID&, void** object) override {
        if (object)
            *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override {
        return m_refCount.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    std::uint32_t Release() override {
        // acq_rel: the last releaser must see every write made by other holders before deleting.
        const std::uint32_t count = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (count == 0)
            delete this;
        return count;
    }

protected:
    virtual ~CUnknownStandAlone() = default;

private:
    std::atomic<std::uint32_t> m_refCount{1};
};

}  // namespace sondrel
