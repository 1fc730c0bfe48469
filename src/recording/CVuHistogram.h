// Histogram of the recording's short-term peaks in 1 dB steps, from which the writer's
// post-processing takes the loudest peak and a typical level.
#pragma once

#include <array>
#include <cstdint>

namespace sondrel {

// Not thread-safe: the level meter guards it with its lock.
class CVuHistogram {
public:
    static constexpr int kLowestDb = -120;
    static constexpr int kBinCount = 121;  // -120 dB .. 0 dB

    // Counts one pair of peaks (linear, 1.0 = full scale) by the louder channel. Ignored when
    // either is 0.
    void Add(float peakLeft, float peakRight);

    // The loudest peak counted, in dB; -120 before anything was counted.
    float MaxPeakDb() const { return m_maxPeakDb; }
    // Lowest used bin plus a fifth of the spread up to the highest one, at most 8 dB above it;
    // -24 for an empty histogram.
    float Level() const;

    std::uint64_t Count(int db) const;
    std::uint64_t Total() const { return m_total; }

private:
    std::array<std::uint64_t, kBinCount> m_counters{};
    std::uint64_t m_total = 0;
    float m_maxPeakDb = -120.0f;
};

}  // namespace sondrel
