// Sleeping, the monotonic clock and thread priority on Linux: real-time scheduling
// (SCHED_FIFO) where the system grants it, otherwise the lowest nice value allowed.
#pragma once

#include "platform/IThreadServices.h"

namespace sondrel {

class CLinuxThreadServices final : public IThreadServices {
public:
    void SleepMs(std::uint32_t milliseconds) override;
    std::uint64_t MonotonicMs() override;
    // Writes one line to standard error when real-time scheduling is refused.
    bool RaiseCurrentThreadPriority() override;
    // Sleeps are timed by high-resolution timers already: nothing to hold.
    HRESULT BeginTimerPeriod(std::uint32_t) override { return S_OK; }
    HRESULT EndTimerPeriod(std::uint32_t) override { return S_OK; }
};

}  // namespace sondrel
