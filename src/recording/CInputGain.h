// The software record level: a gain factor applied to the captured 16-bit samples before
// anything else sees them, clipping at the 16-bit limits.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "base/Result.h"

namespace sondrel {

// Threads: SetGainDb is called on the user-interface thread at any time; Apply runs on the
// capture thread. The factor is one atomic float, so a change reaches the next region whole;
// neither call blocks or allocates.
class CInputGain {
public:
    // factor = 10^(dB / 20). E_FAIL, keeping the previous factor, when that is not a finite
    // number.
    HRESULT SetGainDb(float db);
    float Factor() const { return m_factor.load(std::memory_order_relaxed); }

    // Every sample s becomes trunc(clamp(s × factor, -32768, 32767)); a factor of exactly 1
    // leaves the samples untouched.
    void Apply(std::int16_t* samples, std::size_t sampleCount) const;

private:
    std::atomic<float> m_factor{1.0f};
};

}  // namespace sondrel
