// The stereo level meter of a record input: per-block peaks in two rings of 256 blocks of 256
// frames, read as recent and held levels for the VU meter, and the recording's peak histogram.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>

#include "base/Result.h"
#include "recording/CVuHistogram.h"

namespace sondrel {

// Threads: Feed runs on the capture thread; ReadLevels (the pages' 50 ms polls) and
// ReadHistogram (when the input closes) run on the user-interface thread. The capture thread
// publishes the rings lock-free: every peak and the current block index are atomics written
// with release and read with acquire, so a reader sees a snapshot that may be one block
// behind, never a torn value. The histogram is shared under a lock that the capture thread
// only ever tries: when the reader holds it, that block's histogram entry is skipped rather
// than waited for. Nothing here allocates after construction: the rings are part of the
// object. ReadLevels has exactly one reader: it keeps where the last read ended (m_lastRead,
// unsynchronised), so only the user-interface thread calls it, one page's poll at a time.
class CLevelMeter {
public:
    static constexpr int kRingBlocks = 256;
    static constexpr int kBlockFrames = 256;     // 5.8 ms at 44100 Hz
    static constexpr int kHistogramBlocks = 10;  // the histogram counts 58 ms peaks
    static constexpr int kHoldBlocks = 255;      // about 1.48 s
    static constexpr int kFewestRecentBlocks = 10;
    static constexpr float kNoLevelDb = -144.0f;

    CLevelMeter();
    CLevelMeter(const CLevelMeter&) = delete;
    CLevelMeter& operator=(const CLevelMeter&) = delete;

    // interleaved holds frames stereo float frames (1.0 = full scale). While writing, every
    // completed block adds the peak of the last ten blocks to the histogram.
    HRESULT Feed(const float* interleaved, std::size_t frames, bool writing);

    // Recent levels: the peaks since the previous read (at least the last ten blocks); hold
    // levels: the peaks of the last 255 blocks. In dB relative to full scale, -144 for no level.
    // With active false all four are -144.
    HRESULT ReadLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                       float& holdRightDb, bool active);

    // The histogram's loudest peak and level, for the writer's post-processing.
    void ReadHistogram(float& maxPeakDb, float& levelDb) const;

private:
    static float RingMax(const std::atomic<float>* ring, int newestBlock, int blockCount);

    std::atomic<float> m_peakLeft[kRingBlocks];
    std::atomic<float> m_peakRight[kRingBlocks];
    std::atomic<int> m_blockIndex{0};
    int m_framesLeft = kBlockFrames;  // capture thread
    int m_lastRead = 0;               // reader
    mutable std::mutex m_histogramLock;
    CVuHistogram m_histogram;
};

}  // namespace sondrel
