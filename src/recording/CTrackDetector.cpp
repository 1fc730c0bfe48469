#include "recording/CTrackDetector.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace sondrel {

namespace {

constexpr int kFractionBits = 13;
constexpr double kFixedScale = 8192.0;

// Every block counts as quiet until one has reached this activity; afterwards the fixed quiet
// threshold applies.
constexpr float kLoudActivity = 500.0f;
constexpr float kQuietThresholdAfterLoud = 100.0f;
// A loud stretch longer than this restarts the quiet count.
constexpr float kLoudResetSeconds = 10.0f;
constexpr float kBlockSeconds = 0.5f;

// Cutting rules, in seconds.
constexpr float kSongSeconds = 45.0f;
constexpr float kShortestGapSeconds = 1.5f;
constexpr float kShortestSoundSeconds = 10.0f;
constexpr float kTrailingSilenceKeptSeconds = 5.0f;

struct TimeSegment {
    bool sound = false;
    float start = 0.0f;
    float length = 0.0f;
};

void RecomputeLengths(std::vector<TimeSegment>& segments, float totalSeconds) {
    for (std::size_t i = 0; i < segments.size(); ++i) {
        const float end = i + 1 < segments.size() ? segments[i + 1].start : totalSeconds;
        segments[i].length = end - segments[i].start;
    }
}

// Lengths from the starts, neighbours of the same kind merged into the first of them.
void Tidy(std::vector<TimeSegment>& segments, float totalSeconds) {
    RecomputeLengths(segments, totalSeconds);
    std::vector<TimeSegment> merged;
    merged.reserve(segments.size());
    for (const TimeSegment& segment : segments) {
        if (!merged.empty() && merged.back().sound == segment.sound) {
            continue;
        }
        merged.push_back(segment);
    }
    segments.swap(merged);
    RecomputeLengths(segments, totalSeconds);
}

// Drops every segment of the given kind shorter than minSeconds. The one before it takes over
// its time once the lengths are recomputed; a first segment simply goes.
void AbsorbShort(std::vector<TimeSegment>& segments, bool sound, float minSeconds) {
    std::erase_if(segments, [&](const TimeSegment& segment) {
        return segment.sound == sound && segment.length < minSeconds;
    });
}

std::int32_t SecondsToFrames(float seconds, float sampleRate) {
    return static_cast<std::int32_t>(
        std::trunc(static_cast<double>(seconds) * static_cast<double>(sampleRate)));
}

// Loud and quiet stretches of the activity blocks, starting with a quiet one.
std::vector<TimeSegment> SegmentByLoudness(const std::vector<float>& activities, float minActivity,
                                           float maxActivity, float totalSeconds) {
    // A quiet floor well below the loudest passages sets its own threshold.
    float threshold = 50.0f;
    if (minActivity > 15.0f && maxActivity / minActivity > 40.0f) {
        threshold = 4.0f * minActivity;
    }
    std::vector<TimeSegment> segments;
    segments.push_back(TimeSegment{false, 0.0f, 0.0f});
    for (std::size_t i = 0; i < activities.size(); ++i) {
        const float t = static_cast<float>(i) * kBlockSeconds;
        const bool loud = activities[i] > threshold;
        if (loud != segments.back().sound) {
            segments.back().length = t - segments.back().start;
            segments.push_back(TimeSegment{loud, t, 0.0f});
        }
    }
    segments.back().length = totalSeconds - segments.back().start;
    return segments;
}

// Quietens the noise around the songs and absorbs gaps and sounds too short to count.
void Smooth(std::vector<TimeSegment>& segments, float totalSeconds) {
    // Noise before the first song and after the last one (needle drop, run-out groove) is
    // quiet.
    auto isSong = [](const TimeSegment& s) { return s.sound && s.length > kSongSeconds; };
    auto firstSong = std::find_if(segments.begin(), segments.end(), isSong);
    if (firstSong != segments.end()) {
        for (auto it = segments.begin(); it != firstSong; ++it) {
            it->sound = false;
        }
    }
    Tidy(segments, totalSeconds);

    auto lastSong = std::find_if(segments.rbegin(), segments.rend(), isSong);
    if (lastSong != segments.rend()) {
        for (auto it = segments.rbegin(); it != lastSong; ++it) {
            it->sound = false;
        }
    }
    Tidy(segments, totalSeconds);

    AbsorbShort(segments, false, kShortestGapSeconds);
    Tidy(segments, totalSeconds);
    AbsorbShort(segments, true, kShortestSoundSeconds);
    Tidy(segments, totalSeconds);

    if (!segments.empty() && !segments.front().sound) {
        segments.front().start = 0.0f;
    }
    Tidy(segments, totalSeconds);
}

// One track per sound that a quiet stretch ends, cut in the middle of the quiet (the last
// keeps a few seconds of it); a sound still going at the end makes the last track.
void AppendTracks(const std::vector<TimeSegment>& segments, float totalSeconds, float sampleRate,
                  std::vector<DetectedTrack>& tracks) {
    bool trackOpen = true;
    DetectedTrack open;
    float previousCut = 0.0f;
    for (std::size_t i = 1; i < segments.size(); ++i) {
        const TimeSegment& segment = segments[i];
        if (segment.sound || !segments[i - 1].sound) {
            continue;
        }
        const bool last = i + 1 == segments.size();
        const float end =
            last ? segment.start + std::min(segment.length, kTrailingSilenceKeptSeconds)
                 : segment.start + segment.length / 2.0f;
        open.lengthSeconds = end - previousCut;
        open.lengthFrames = SecondsToFrames(open.lengthSeconds, sampleRate);
        tracks.push_back(open);
        trackOpen = !last;
        open = DetectedTrack{};
        open.startFrame = SecondsToFrames(end, sampleRate);
        previousCut = end;
    }
    if (trackOpen) {
        open.lengthSeconds = totalSeconds - previousCut;
        open.lengthFrames = SecondsToFrames(open.lengthSeconds, sampleRate);
        tracks.push_back(open);
    }
}

}  // namespace

HRESULT CTrackDetector::Prepare(float sampleRate, std::vector<DetectedTrack>* trackList) {
    m_trackList = trackList;
    m_countFrames = 0;
    m_blockSum = 0;
    m_x1 = m_x2 = m_y1 = m_y2 = 0;
    m_quietSeconds = 0.0f;
    m_loudSeconds = 0.0f;
    m_maxActivity = 0.0f;
    m_minActivity = 9999999.0f;
    m_activities.clear();
    m_blockFrames = 0;
    m_coefficients = {};

    // A rate that gives no whole frame per half second would leave Feed without blocks.
    const double blockFrames = std::round(static_cast<double>(sampleRate) * kBlockSeconds);
    if (!(blockFrames >= 1.0 && blockFrames <= 1e8)) {
        return E_FAIL;
    }
    m_sampleRate = sampleRate;
    try {
        m_block.assign(static_cast<std::size_t>(blockFrames), 0);
        m_activities.reserve(ReservedBlocks(static_cast<int>(blockFrames)));
    } catch (const std::bad_alloc&) {
        m_block.clear();
        return E_FAIL;
    }
    m_blockFrames = static_cast<int>(blockFrames);

    const double fs = sampleRate;
    const double bandwidthHz = 2.0 * kBandwidthParameter;
    const double c = 1.0 / std::tan(std::numbers::pi * bandwidthHz / fs);
    const double d = 2.0 * std::cos(2.0 * std::numbers::pi * kCentreFrequencyHz / fs);
    const double r = 1.0 / (1.0 + c);
    m_coefficients.b0 = static_cast<std::int32_t>(std::trunc(r * kFixedScale * 2.0));
    m_coefficients.b1 = 0;
    m_coefficients.b2 = -m_coefficients.b0;
    m_coefficients.a1 = static_cast<std::int32_t>(std::trunc(-c * d * r * kFixedScale));
    m_coefficients.a2 = static_cast<std::int32_t>(std::trunc((c - 1.0) * r * kFixedScale));
    return S_OK;
}

bool CTrackDetector::Feed(const std::int16_t* interleavedSamples, std::size_t sampleCount) {
    bool endOfSide = false;
    if (m_blockFrames <= 0 || interleavedSamples == nullptr) {
        return false;
    }
    const std::int64_t b0 = m_coefficients.b0, b1 = m_coefficients.b1, b2 = m_coefficients.b2;
    const std::int64_t a1 = m_coefficients.a1, a2 = m_coefficients.a2;
    std::size_t framesLeft = sampleCount / 2;
    const std::int16_t* in = interleavedSamples;

    while (framesLeft > 0) {
        const std::size_t run =
            std::min(framesLeft, static_cast<std::size_t>(m_blockFrames - m_countFrames));
        std::int32_t x1 = m_x1, x2 = m_x2, y1 = m_y1, y2 = m_y2;
        std::int64_t sum = m_blockSum;
        std::int16_t* out = m_block.data() + m_countFrames;
        for (std::size_t i = 0; i < run; ++i) {
            const std::int32_t mono = (std::int32_t{in[0]} + std::int32_t{in[1]}) >> 1;
            in += 2;
            // The products can exceed 32 bits for extreme inputs; in 64 bits they are exact,
            // and wherever 32-bit arithmetic would not overflow the result is the same. The
            // last output comes in last, so the next frame waits on one product and one sum.
            const std::int64_t acc = b0 * mono + b1 * x1 + b2 * x2 - a2 * y2 - a1 * y1;
            const std::int32_t y = static_cast<std::int32_t>(acc >> kFractionBits);
            x2 = x1;
            x1 = mono;
            y2 = y1;
            y1 = y;
            out[i] = static_cast<std::int16_t>(y);
            sum += y;
        }
        m_x1 = x1;
        m_x2 = x2;
        m_y1 = y1;
        m_y2 = y2;
        m_blockSum = sum;
        m_countFrames += static_cast<int>(run);
        framesLeft -= run;
        if (m_countFrames == m_blockFrames) {
            CompleteBlock(endOfSide);
        }
    }
    return endOfSide;
}

void CTrackDetector::CompleteBlock(bool& endOfSide) {
    const double mean = static_cast<double>(m_blockSum) / m_blockFrames;
    double deviation = 0.0;
    for (int i = 0; i < m_blockFrames; ++i) {
        deviation += std::fabs(m_block[i] - mean);
    }
    const float activity = static_cast<float>(deviation / m_blockFrames);

    m_maxActivity = std::max(m_maxActivity, activity);
    m_minActivity = std::min(m_minActivity, activity);
    // Reserved for the longest possible recording; should more come, it is not measured
    // rather than allocated on the capture thread.
    if (m_activities.size() < m_activities.capacity())
        m_activities.push_back(activity);

    const float threshold =
        m_maxActivity < kLoudActivity ? m_maxActivity + 1.0f : kQuietThresholdAfterLoud;
    if (activity < threshold) {
        m_quietSeconds += kBlockSeconds;
        m_loudSeconds = 0.0f;
        if (m_quietSeconds > kEndOfSideQuietSeconds) {
            endOfSide = true;
        }
    } else {
        m_loudSeconds += kBlockSeconds;
        if (m_loudSeconds > kLoudResetSeconds) {
            m_quietSeconds = 0.0f;
        }
    }
    m_countFrames = 0;
    m_blockSum = 0;
}

HRESULT CTrackDetector::Segment() {
    try {
        CutIntoTracks();
    } catch (const std::bad_alloc&) {
        m_activities.clear();
        return E_FAIL;
    }
    return S_OK;
}

void CTrackDetector::CutIntoTracks() {
    if (m_trackList == nullptr || m_activities.empty()) {
        return;
    }
    const float totalSeconds = static_cast<float>(m_activities.size()) * kBlockSeconds;
    std::vector<TimeSegment> segments =
        SegmentByLoudness(m_activities, m_minActivity, m_maxActivity, totalSeconds);
    m_activities.clear();
    Smooth(segments, totalSeconds);
    // Nothing was ever loud enough to be music: no tracks, the recording stays one file.
    if (std::none_of(segments.begin(), segments.end(),
                     [](const TimeSegment& s) { return s.sound; })) {
        return;
    }
    AppendTracks(segments, totalSeconds, m_sampleRate, *m_trackList);
}

}  // namespace sondrel
