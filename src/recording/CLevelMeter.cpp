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
    std::fill(std::begin(m_peakLeft), std::end(m_peakLeft), 0.0f);
    std::fill(std::begin(m_peakRight), std::end(m_peakRight), 0.0f);
}

float CLevelMeter::RingMax(const float* ring, int newestBlock, int blockCount) const {
    float peak = 0.0f;
    for (int i = 0; i < blockCount; ++i) {
        peak = std::max(peak, ring[(newestBlock - i + kRingBlocks) % kRingBlocks]);
    }
    return peak;
}

HRESULT CLevelMeter::Feed(const float* interleaved, std::size_t frames, bool writing) {
    if (interleaved == nullptr && frames > 0) {
        return E_FAIL;
    }
    while (frames > 0) {
        // The peak search, the bulk of the work, runs outside the lock; only the ring update is
        // shared with the readers. m_framesLeft belongs to this thread alone.
        const std::size_t n = std::min(frames, static_cast<std::size_t>(m_framesLeft));
        const StereoPeak peak = FindStereoPeak(interleaved, n);
        m_framesLeft -= static_cast<int>(n);
        frames -= n;
        interleaved += 2 * n;
        std::lock_guard<std::mutex> guard(m_lock);
        m_peakLeft[m_blockIndex] = std::max(m_peakLeft[m_blockIndex], peak.left);
        m_peakRight[m_blockIndex] = std::max(m_peakRight[m_blockIndex], peak.right);
        if (m_framesLeft > 0) {
            continue;
        }
        if (writing) {
            m_histogram.Add(RingMax(m_peakLeft, m_blockIndex, kHistogramBlocks),
                            RingMax(m_peakRight, m_blockIndex, kHistogramBlocks));
        }
        m_framesLeft = kBlockFrames;
        m_blockIndex = (m_blockIndex + 1) % kRingBlocks;
        m_peakLeft[m_blockIndex] = 0.0f;
        m_peakRight[m_blockIndex] = 0.0f;
    }
    return S_OK;
}

HRESULT CLevelMeter::ReadLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                                float& holdRightDb, bool active) {
    if (!active) {
        recentLeftDb = recentRightDb = holdLeftDb = holdRightDb = kNoLevelDb;
        return S_OK;
    }
    float recentLeft, recentRight, holdLeft, holdRight;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        const int current = m_blockIndex;
        int blocks = current - m_lastRead;
        if (blocks < 0) {
            blocks += kRingBlocks;
        }
        blocks = std::clamp(blocks, kFewestRecentBlocks, kRingBlocks);
        recentLeft = RingMax(m_peakLeft, current, blocks);
        recentRight = RingMax(m_peakRight, current, blocks);
        m_lastRead = current;
        holdLeft = RingMax(m_peakLeft, current, kHoldBlocks);
        holdRight = RingMax(m_peakRight, current, kHoldBlocks);
    }
    recentLeftDb = PeakToDb(recentLeft);
    recentRightDb = PeakToDb(recentRight);
    holdLeftDb = PeakToDb(holdLeft);
    holdRightDb = PeakToDb(holdRight);
    return S_OK;
}

void CLevelMeter::ReadHistogram(float& maxPeakDb, float& levelDb) const {
    std::lock_guard<std::mutex> guard(m_lock);
    maxPeakDb = m_histogram.MaxPeakDb();
    levelDb = m_histogram.Level();
}

}  // namespace sondrel
