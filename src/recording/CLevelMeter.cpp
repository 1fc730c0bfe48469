#include "recording/CLevelMeter.h"

#include <algorithm>
#include <cmath>

#include "recording/PeakSearch.h"

namespace sondrel {

namespace {

float PeakToDb(float peak) {
    if (!(peak > 0.0f)) {
        return CLevelMeter::kNoLevelDb;
    }
    return std::max(20.0f * std::log10(peak), CLevelMeter::kNoLevelDb);
}

}  // namespace

CLevelMeter::CLevelMeter() {
    for (int i = 0; i < kRingBlocks; ++i) {
        m_peakLeft[i].store(0.0f, std::memory_order_relaxed);
        m_peakRight[i].store(0.0f, std::memory_order_relaxed);
    }
}

float CLevelMeter::RingMax(const std::atomic<float>* ring, int newestBlock, int blockCount) {
    float peak = 0.0f;
    for (int i = 0; i < blockCount; ++i) {
        peak = std::max(peak, ring[(newestBlock - i + kRingBlocks) % kRingBlocks].load(
                                  std::memory_order_acquire));
    }
    return peak;
}

HRESULT CLevelMeter::Feed(const float* interleaved, std::size_t frames, bool writing) {
    if (interleaved == nullptr && frames > 0) {
        return E_FAIL;
    }
    int block = m_blockIndex.load(std::memory_order_relaxed);
    while (frames > 0) {
        const std::size_t n = std::min(frames, static_cast<std::size_t>(m_framesLeft));
        const StereoPeak peak = FindStereoPeak(interleaved, n);
        m_framesLeft -= static_cast<int>(n);
        frames -= n;
        interleaved += 2 * n;
        // Only this thread writes the rings, so read-then-store is no race.
        const auto raise = [](std::atomic<float>& slot, float value) {
            if (value > slot.load(std::memory_order_relaxed))
                slot.store(value, std::memory_order_release);
        };
        raise(m_peakLeft[block], peak.left);
        raise(m_peakRight[block], peak.right);
        if (m_framesLeft > 0) {
            continue;
        }
        if (writing) {
            std::unique_lock<std::mutex> guard(m_histogramLock, std::try_to_lock);
            if (guard.owns_lock()) {
                m_histogram.Add(RingMax(m_peakLeft, block, kHistogramBlocks),
                                RingMax(m_peakRight, block, kHistogramBlocks));
            }
        }
        m_framesLeft = kBlockFrames;
        block = (block + 1) % kRingBlocks;
        m_peakLeft[block].store(0.0f, std::memory_order_release);
        m_peakRight[block].store(0.0f, std::memory_order_release);
        m_blockIndex.store(block, std::memory_order_release);
    }
    return S_OK;
}

HRESULT CLevelMeter::ReadLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                                float& holdRightDb, bool active) {
    if (!active) {
        recentLeftDb = recentRightDb = holdLeftDb = holdRightDb = kNoLevelDb;
        return S_OK;
    }
    const int current = m_blockIndex.load(std::memory_order_acquire);
    int blocks = current - m_lastRead;
    if (blocks < 0) {
        blocks += kRingBlocks;
    }
    blocks = std::clamp(blocks, kFewestRecentBlocks, kRingBlocks);
    const float recentLeft = RingMax(m_peakLeft, current, blocks);
    const float recentRight = RingMax(m_peakRight, current, blocks);
    m_lastRead = current;
    const float holdLeft = RingMax(m_peakLeft, current, kHoldBlocks);
    const float holdRight = RingMax(m_peakRight, current, kHoldBlocks);
    recentLeftDb = PeakToDb(recentLeft);
    recentRightDb = PeakToDb(recentRight);
    holdLeftDb = PeakToDb(holdLeft);
    holdRightDb = PeakToDb(holdRight);
    return S_OK;
}

void CLevelMeter::ReadHistogram(float& maxPeakDb, float& levelDb) const {
    std::lock_guard<std::mutex> guard(m_histogramLock);
    maxPeakDb = m_histogram.MaxPeakDb();
    levelDb = m_histogram.Level();
}

}  // namespace sondrel
