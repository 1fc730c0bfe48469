// Automatic track detection: measures the band-limited activity of every half second of the
// written audio, reports the end of a record side after a minute of quiet, and afterwards cuts
// the recording into tracks in the middle of the gaps between songs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audiofile/CWaveWriter.h"
#include "base/Result.h"

namespace sondrel {

// One track found by the cutting. The record input turns it into a mark at the track's end,
// byte offset EndFrame() × 4.
struct DetectedTrack {
    float lengthSeconds = 0.0f;
    std::int32_t startFrame = 0;
    std::int32_t lengthFrames = 0;

    std::int64_t EndFrame() const {
        return static_cast<std::int64_t>(startFrame) + static_cast<std::int64_t>(lengthFrames);
    }
};
// The writer stops a recording at the WAV format's limit, so its frame counts fit the fields.
static_assert(kWaveMaxDataBytes / 4 <= 0x7FFFFFFF);

// Threads: Prepare runs on the user-interface thread before detection is armed; Feed runs only
// on the capture thread while detection is armed, never allocates (the block and the activity
// list are reserved by Prepare) and never blocks; Segment runs on the user-interface thread once
// the capture thread has ended. None of them may overlap, so the detector has no lock.
class CTrackDetector {
public:
    // Band-pass coefficients in fixed point with 13 fraction bits.
    struct FilterCoefficients {
        std::int32_t b0 = 0, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    };

    static constexpr float kCentreFrequencyHz = 500.0f;
    static constexpr float kBandwidthParameter = 75.0f;
    // The side ends once the quiet time exceeds this.
    static constexpr float kEndOfSideQuietSeconds = 60.0f;
    // Enough blocks for the longest recording a WAV file holds (the writer stops there, about
    // 6 h 45 min of 16-bit stereo), so Feed never has to grow the activity list.
    static std::size_t ReservedBlocks(int blockFrames) {
        return static_cast<std::size_t>(kWaveMaxDataBytes / 4 /
                                        static_cast<unsigned>(blockFrames)) +
               2;
    }

    CTrackDetector() = default;
    CTrackDetector(const CTrackDetector&) = delete;
    CTrackDetector& operator=(const CTrackDetector&) = delete;

    // Resets everything for a new recording and designs the band-pass filter. trackList is
    // owned by the caller and receives the tracks found by Segment; it may be null. E_FAIL for a
    // sample rate without a whole frame per half second, or when memory is short; Feed then
    // ignores its input.
    HRESULT Prepare(float sampleRate, std::vector<DetectedTrack>* trackList);

    // interleavedSamples holds sampleCount 16-bit values, left then right; a trailing odd value
    // is ignored. Returns true when the end of the side was reached during this call.
    bool Feed(const std::int16_t* interleavedSamples, std::size_t sampleCount);

    // Cuts the recording measured so far into tracks, appends them to the track list and
    // empties the activity list. E_FAIL only when memory ran out while cutting.
    HRESULT Segment();

    const FilterCoefficients& Coefficients() const { return m_coefficients; }
    int BlockFrames() const { return m_blockFrames; }
    // One activity per completed half-second block, in time order, until Segment.
    const std::vector<float>& Activities() const { return m_activities; }
    float MaxActivity() const { return m_maxActivity; }
    float MinActivity() const { return m_minActivity; }
    float QuietSeconds() const { return m_quietSeconds; }

private:
    void CompleteBlock(bool& endOfSide);
    void CutIntoTracks();

    float m_sampleRate = 44100.0f;
    int m_blockFrames = 0;
    std::vector<std::int16_t> m_block;
    int m_countFrames = 0;
    // The filter's output stays below 2^17 in magnitude, so 22050 of them fit 32 bits; 64 bits
    // keep any block length safe.
    std::int64_t m_blockSum = 0;

    FilterCoefficients m_coefficients;
    std::int32_t m_x1 = 0, m_x2 = 0, m_y1 = 0, m_y2 = 0;

    float m_maxActivity = 0.0f;
    float m_minActivity = 9999999.0f;
    std::vector<float> m_activities;
    float m_quietSeconds = 0.0f;
    float m_loudSeconds = 0.0f;

    std::vector<DetectedTrack>* m_trackList = nullptr;
};

}  // namespace sondrel
