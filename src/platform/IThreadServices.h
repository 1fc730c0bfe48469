// Sleeping, a monotonic clock, thread priority and the system timer resolution.
#pragma once

#include <cstdint>

#include "base/Result.h"

namespace sondrel {

// Threading: every operation may be called from any thread; RaiseCurrentThreadPriority acts on
// the calling thread. Nothing here allocates, so the capture thread may use all of it.
class IThreadServices {
public:
    virtual ~IThreadServices() = default;

    virtual void SleepMs(std::uint32_t milliseconds) = 0;
    // Milliseconds since an arbitrary fixed point; never goes backwards.
    virtual std::uint64_t MonotonicMs() = 0;
    // Gives the calling thread the highest priority the system grants. Returns true when
    // real-time scheduling was granted, false when only an ordinary priority could be had.
    virtual bool RaiseCurrentThreadPriority() = 0;
    // Holds / releases the system timer resolution (ms); a no-op where sleeps are precise.
    virtual HRESULT BeginTimerPeriod(std::uint32_t milliseconds) = 0;
    virtual HRESULT EndTimerPeriod(std::uint32_t milliseconds) = 0;
};

}  // namespace sondrel
