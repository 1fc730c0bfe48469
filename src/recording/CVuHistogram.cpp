#include "recording/CVuHistogram.h"

#include <algorithm>
#include <cmath>

namespace sondrel {

void CVuHistogram::Add(float peakLeft, float peakRight) {
    if (!(peakLeft > 0.0f) || !(peakRight > 0.0f)) {
        return;
    }
    const float db =
        std::min(std::max(20.0f * std::log10(peakLeft), 20.0f * std::log10(peakRight)), 0.0f);
    m_maxPeakDb = std::max(m_maxPeakDb, db);
    const int bin = std::max(static_cast<int>(db + 0.5f), kLowestDb);
    ++m_counters[bin - kLowestDb];
    ++m_total;
}

float CVuHistogram::Level() const {
    float lowest = 0.0f;
    float highest = static_cast<float>(kLowestDb);
    for (int i = 0; i < kBinCount; ++i) {
        if (m_counters[i] != 0) {
            lowest = static_cast<float>(i + kLowestDb);
            break;
        }
    }
    for (int i = kBinCount - 1; i >= 0; --i) {
        if (m_counters[i] != 0) {
            highest = static_cast<float>(i + kLowestDb);
            break;
        }
    }
    return lowest + std::min((highest - lowest) * 0.2f, 8.0f);
}

std::uint64_t CVuHistogram::Count(int db) const {
    if (db < kLowestDb || db > 0) {
        return 0;
    }
    return m_counters[db - kLowestDb];
}

}  // namespace sondrel
