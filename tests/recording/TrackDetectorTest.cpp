#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "recording/CTrackDetector.h"

namespace sondrel {
namespace {

constexpr int kRate = 44100;

enum class Piece { Silence, Song, Burst };

struct Part {
    Piece piece;
    double seconds;
};

// Generates a record side piece by piece: songs are a chord with a slow swell around the
// detector's 500 Hz band, bursts a loud steady tone, silence zero; hiss, when asked for, lies
// under everything.
class SideGenerator {
public:
    explicit SideGenerator(std::vector<Part> parts, int hissAmplitude = 0)
        : m_hissAmplitude(hissAmplitude) {
        std::int64_t start = 0;
        for (const Part& part : parts) {
            const auto frames = static_cast<std::int64_t>(std::llround(part.seconds * kRate));
            m_pieces.push_back({part.piece, start, start + frames});
            start += frames;
        }
        m_totalFrames = start;
        // Every tone has a whole number of cycles in two seconds, so one table serves.
        m_song.resize(2 * kRate);
        for (int i = 0; i < 2 * kRate; ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double swell = 0.7 + 0.3 * std::sin(2 * std::numbers::pi * 1.5 * t);
            const double v = 2500 * std::sin(2 * std::numbers::pi * 220 * t) +
                             6000 * std::sin(2 * std::numbers::pi * 500 * t) +
                             1500 * std::sin(2 * std::numbers::pi * 1200 * t + 0.3);
            m_song[i] = static_cast<std::int16_t>(swell * v);
        }
    }

    std::int64_t TotalFrames() const { return m_totalFrames; }
    std::int64_t Position() const { return m_position; }

    // Writes up to frames stereo frames; returns how many.
    std::size_t Fill(std::int16_t* out, std::size_t frames) {
        std::size_t done = 0;
        for (; done < frames && m_position < m_totalFrames; ++done, ++m_position) {
            while (m_position >= m_pieces[m_current].end) {
                ++m_current;
            }
            int value = 0;
            switch (m_pieces[m_current].piece) {
                case Piece::Song:
                    value = m_song[m_position % (2 * kRate)];
                    break;
                case Piece::Burst:
                    value = static_cast<int>(
                        8000 * std::sin(2 * std::numbers::pi * 500 * m_position / kRate));
                    break;
                case Piece::Silence:
                    break;
            }
            const int left = value + Hiss();
            const int right = value / 2 + Hiss();
            out[2 * done] = static_cast<std::int16_t>(std::clamp(left, -32768, 32767));
            out[2 * done + 1] = static_cast<std::int16_t>(std::clamp(right, -32768, 32767));
        }
        return done;
    }

private:
    struct Span {
        Piece piece;
        std::int64_t begin, end;
    };

    int Hiss() {
        if (m_hissAmplitude == 0) {
            return 0;
        }
        m_seed = m_seed * 1664525u + 1013904223u;
        return static_cast<int>((m_seed >> 8) % (2 * m_hissAmplitude + 1)) - m_hissAmplitude;
    }

    std::vector<Span> m_pieces;
    std::vector<std::int16_t> m_song;
    std::int64_t m_totalFrames = 0;
    std::int64_t m_position = 0;
    std::size_t m_current = 0;
    int m_hissAmplitude;
    std::uint32_t m_seed = 12345;
};

struct SideResult {
    std::vector<DetectedTrack> tracks;
    std::vector<float> activities;
    float minActivity = 0;
    float maxActivity = 0;
    // Frames fed when Feed first reported the end of the side, or -1.
    std::int64_t endOfSideFrame = -1;
};

// Feeds the side in chunks cycling through chunkFrames, as the capture thread hands over its
// regions, and stops feeding at the end of the side when asked (the input stops writing then).
SideResult RunSide(SideGenerator side, std::vector<std::size_t> chunkFrames,
                   bool stopAtEndOfSide = true) {
    SideResult result;
    CTrackDetector detector;
    EXPECT_EQ(detector.Prepare(44100.0f, &result.tracks), S_OK);
    std::vector<std::int16_t> buffer;
    for (std::size_t i = 0;; ++i) {
        const std::size_t want = chunkFrames[i % chunkFrames.size()];
        buffer.resize(2 * want);
        const std::size_t got = side.Fill(buffer.data(), want);
        if (got == 0) {
            break;
        }
        if (detector.Feed(buffer.data(), 2 * got) && result.endOfSideFrame < 0) {
            result.endOfSideFrame = side.Position();
            if (stopAtEndOfSide) {
                break;
            }
        }
    }
    result.activities = detector.Activities();
    result.minActivity = detector.MinActivity();
    result.maxActivity = detector.MaxActivity();
    EXPECT_EQ(detector.Segment(), S_OK);
    EXPECT_TRUE(detector.Activities().empty());
    return result;
}

// Irregular region sizes so that blocks end in the middle of regions.
const std::vector<std::size_t> kRegions{441, 1000, 7, 4096, 2205, 333};
// Half a second is exactly ten of these, so an end-of-side report falls on its block's end.
const std::vector<std::size_t> kTwentiethSeconds{2205};

std::int64_t Frames(double seconds) {
    return std::llround(seconds * kRate);
}

void ExpectTracks(const std::vector<DetectedTrack>& tracks,
                  const std::vector<std::pair<double, double>>& expectedSeconds) {
    ASSERT_EQ(tracks.size(), expectedSeconds.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const auto [begin, end] = expectedSeconds[i];
        SCOPED_TRACE(testing::Message() << "track " << i);
        EXPECT_EQ(tracks[i].startFrame, Frames(begin));
        EXPECT_EQ(tracks[i].EndFrame(), Frames(end));
        EXPECT_FLOAT_EQ(tracks[i].lengthSeconds, static_cast<float>(end - begin));
    }
}

TEST(TrackDetectorFilter, DesignsTheBandPassForTheSampleRate) {
    CTrackDetector detector;
    ASSERT_EQ(detector.Prepare(44100.0f, nullptr), S_OK);
    const auto& c = detector.Coefficients();
    EXPECT_EQ(c.b0, 173);
    EXPECT_EQ(c.b1, 0);
    EXPECT_EQ(c.b2, -173);
    EXPECT_EQ(c.a1, -16169);
    EXPECT_EQ(c.a2, 8018);
    EXPECT_EQ(detector.BlockFrames(), 22050);

    ASSERT_EQ(detector.Prepare(48000.0f, nullptr), S_OK);
    EXPECT_EQ(detector.BlockFrames(), 24000);
    EXPECT_LT(detector.Coefficients().b0, 173);  // same bandwidth is a smaller share of 48 kHz
}

TEST(TrackDetectorFilter, UnusableSampleRateDisarmsTheDetector) {
    std::vector<DetectedTrack> tracks;
    CTrackDetector detector;
    EXPECT_EQ(detector.Prepare(0.0f, &tracks), E_FAIL);
    EXPECT_EQ(detector.Prepare(std::nanf(""), &tracks), E_FAIL);
    std::vector<std::int16_t> loud(2 * 30000, 20000);
    EXPECT_FALSE(detector.Feed(loud.data(), loud.size()));
    EXPECT_TRUE(detector.Activities().empty());
    EXPECT_EQ(detector.Segment(), S_OK);
    EXPECT_TRUE(tracks.empty());
}

TEST(TrackDetectorFilter, PassesTheBandAndRejectsLowAndHighTones) {
    auto activityOf = [](double hz) {
        CTrackDetector detector;
        detector.Prepare(44100.0f, nullptr);
        std::vector<std::int16_t> tone(2 * 44100);
        for (int i = 0; i < 44100; ++i) {
            tone[2 * i] = tone[2 * i + 1] =
                static_cast<std::int16_t>(10000 * std::sin(2 * std::numbers::pi * hz * i / kRate));
        }
        detector.Feed(tone.data(), tone.size());
        return detector.Activities().back();
    };
    // A sine of amplitude A has a mean absolute deviation of 2A/π; the band's centre passes
    // it doubled (b0 carries a factor of 2).
    EXPECT_NEAR(activityOf(500), 2 * 2 * 10000 / std::numbers::pi, 200);
    EXPECT_LT(activityOf(50), 1000);
    EXPECT_LT(activityOf(8000), 300);
}

TEST(TrackDetectorFilter, FullScaleInputNeitherOverflowsNorGoesQuiet) {
    // A full-scale square wave drives the recursion furthest; the block values wrap at 16 bits
    // but the block must still read as very loud.
    CTrackDetector detector;
    detector.Prepare(44100.0f, nullptr);
    std::vector<std::int16_t> square(2 * 44100);
    for (int i = 0; i < 44100; ++i) {
        const std::int16_t v = (i / 44) % 2 ? 32767 : -32768;
        square[2 * i] = square[2 * i + 1] = v;
    }
    detector.Feed(square.data(), square.size());
    ASSERT_EQ(detector.Activities().size(), 2u);
    for (float activity : detector.Activities()) {
        EXPECT_TRUE(std::isfinite(activity));
        EXPECT_GT(activity, 10000.0f);
    }
}

TEST(TrackDetectorFeed, RegionSizesDoNotChangeTheMeasurement) {
    const std::vector<Part> parts{{Piece::Song, 12.3}, {Piece::Silence, 3}, {Piece::Song, 6}};
    const SideResult whole = RunSide(SideGenerator(parts, 40), {1u << 20});
    const SideResult regions = RunSide(SideGenerator(parts, 40), kRegions);
    const SideResult frameByFrame = RunSide(SideGenerator(parts, 40), {1});
    ASSERT_EQ(whole.activities.size(), 42u);  // 21.3 s: the last partial block is not counted
    EXPECT_EQ(regions.activities, whole.activities);
    EXPECT_EQ(frameByFrame.activities, whole.activities);
}

TEST(TrackDetectorFeed, PrepareStartsAFreshMeasurement) {
    const std::vector<Part> parts{{Piece::Song, 5}, {Piece::Silence, 5}};
    std::vector<DetectedTrack> tracks;
    CTrackDetector detector;
    std::vector<std::int16_t> buffer(2 * 44100);
    auto feedSide = [&] {
        SideGenerator side(parts);
        while (std::size_t got = side.Fill(buffer.data(), 12345)) {
            detector.Feed(buffer.data(), 2 * got);
        }
        return detector.Activities();
    };
    detector.Prepare(44100.0f, &tracks);
    const std::vector<float> first = feedSide();
    // Leave the filter and the block half-way through something loud.
    SideGenerator(parts).Fill(buffer.data(), 30000);
    detector.Feed(buffer.data(), 2 * 30000);
    detector.Prepare(44100.0f, &tracks);
    EXPECT_EQ(feedSide(), first);
    EXPECT_EQ(detector.QuietSeconds(), 5.0f);
}

TEST(TrackDetectorCutting, TwoSongsAreCutInTheMiddleOfTheGap) {
    const SideResult result = RunSide(
        SideGenerator(
            {{Piece::Song, 180}, {Piece::Silence, 4}, {Piece::Song, 180}, {Piece::Silence, 20}}),
        kRegions);
    EXPECT_EQ(result.endOfSideFrame, -1);
    // The cut lies 2 s into the gap; the last track ends 5 s into the final silence.
    ExpectTracks(result.tracks, {{0, 182}, {182, 369}});
}

TEST(TrackDetectorCutting, RecordingThatEndsInSoundClosesTheLastTrackAtTheEnd) {
    const SideResult result = RunSide(
        SideGenerator({{Piece::Song, 100}, {Piece::Silence, 4}, {Piece::Song, 60}}), kRegions);
    ExpectTracks(result.tracks, {{0, 102}, {102, 164}});
}

TEST(TrackDetectorCutting, ShortPauseInsideASongDoesNotCut) {
    const SideResult result = RunSide(SideGenerator({{Piece::Song, 100},
                                                     {Piece::Silence, 1},
                                                     {Piece::Song, 80},
                                                     {Piece::Silence, 3},
                                                     {Piece::Song, 120},
                                                     {Piece::Silence, 8}}),
                                      kRegions);
    ExpectTracks(result.tracks, {{0, 182.5}, {182.5, 309}});
}

TEST(TrackDetectorCutting, ShortNoiseBurstBetweenSongsIsNotATrack) {
    const SideResult result = RunSide(SideGenerator({{Piece::Song, 120},
                                                     {Piece::Silence, 5},
                                                     {Piece::Burst, 6},
                                                     {Piece::Silence, 5},
                                                     {Piece::Song, 120},
                                                     {Piece::Silence, 10}}),
                                      kRegions);
    // The burst joins the gap, which now runs from 120 s to 136 s.
    ExpectTracks(result.tracks, {{0, 128}, {128, 261}});
}

TEST(TrackDetectorCutting, NoiseBeforeTheFirstAndAfterTheLastSongIsQuiet) {
    // Lead-in and run-out noises long enough to pass as short songs of their own.
    const SideResult result = RunSide(SideGenerator({{Piece::Silence, 2},
                                                     {Piece::Burst, 12},
                                                     {Piece::Silence, 3},
                                                     {Piece::Song, 100},
                                                     {Piece::Silence, 4},
                                                     {Piece::Song, 100},
                                                     {Piece::Silence, 3},
                                                     {Piece::Burst, 12},
                                                     {Piece::Silence, 30}}),
                                      kRegions);
    ExpectTracks(result.tracks, {{0, 119}, {119, 226}});
}

TEST(TrackDetectorCutting, HissyFloorSetsItsOwnThreshold) {
    const SideResult result = RunSide(
        SideGenerator(
            {{Piece::Song, 100}, {Piece::Silence, 4}, {Piece::Song, 100}, {Piece::Silence, 10}},
            1300),
        kRegions);
    // The hiss alone is louder than the fixed threshold of 50, far below the songs.
    ASSERT_GT(result.minActivity, 50.0f);
    ASSERT_GT(result.maxActivity / result.minActivity, 40.0f);
    ExpectTracks(result.tracks, {{0, 102}, {102, 209}});
}

TEST(TrackDetectorCutting, QuietOrTooShortRecordingGivesNoTracks) {
    EXPECT_TRUE(RunSide(SideGenerator({{Piece::Silence, 40}}, 30), kRegions).tracks.empty());
    // Less than one half-second block.
    const SideResult tiny = RunSide(SideGenerator({{Piece::Song, 0.49}}), kRegions);
    EXPECT_TRUE(tiny.activities.empty());
    EXPECT_TRUE(tiny.tracks.empty());
    // Sound that never lasts 10 s is not music.
    EXPECT_TRUE(RunSide(SideGenerator({{Piece::Silence, 5},
                                       {Piece::Burst, 6},
                                       {Piece::Silence, 5},
                                       {Piece::Burst, 3},
                                       {Piece::Silence, 5}}),
                        kRegions)
                    .tracks.empty());
}

TEST(TrackDetectorEndOfSide, QuietMinuteAfterMusicEndsTheSide) {
    const SideResult result =
        RunSide(SideGenerator({{Piece::Song, 60}, {Piece::Silence, 70}}), kTwentiethSeconds);
    EXPECT_EQ(result.endOfSideFrame, Frames(60 + 60.5));
    // Writing stops there; the one track keeps 5 s of the silence.
    ExpectTracks(result.tracks, {{0, 65}});
}

TEST(TrackDetectorEndOfSide, RecordingThatNeverGetsLoudEndsAfterSixtyAndAHalfSeconds) {
    // Hiss only: every block counts as quiet while nothing has reached an activity of 500.
    const SideResult result =
        RunSide(SideGenerator({{Piece::Silence, 90}}, 300), kTwentiethSeconds);
    ASSERT_LT(result.maxActivity, 500.0f);
    EXPECT_EQ(result.endOfSideFrame, Frames(60.5));
}

TEST(TrackDetectorEndOfSide, ShortLoudStretchesDoNotRestartTheQuietCount) {
    std::vector<Part> parts{{Piece::Song, 30}};
    for (int i = 0; i < 15; ++i) {
        parts.push_back({Piece::Silence, 6});
        parts.push_back({Piece::Burst, 2});
    }
    const SideResult result = RunSide(SideGenerator(parts), kTwentiethSeconds);
    // 121 quiet blocks are needed: ten rounds of 6 s quiet and 2 s clicks, then one block.
    EXPECT_EQ(result.endOfSideFrame, Frames(30 + 10 * 8 + 0.5));
}

TEST(TrackDetectorEndOfSide, LoudStretchOverTenSecondsRestartsTheQuietCount) {
    const SideResult tenSeconds = RunSide(
        SideGenerator(
            {{Piece::Song, 30}, {Piece::Silence, 40}, {Piece::Burst, 10}, {Piece::Silence, 70}}),
        kTwentiethSeconds);
    EXPECT_EQ(tenSeconds.endOfSideFrame, Frames(30 + 40 + 10 + 20.5));

    const SideResult longer = RunSide(
        SideGenerator(
            {{Piece::Song, 30}, {Piece::Silence, 40}, {Piece::Burst, 10.5}, {Piece::Silence, 70}}),
        kTwentiethSeconds);
    EXPECT_EQ(longer.endOfSideFrame, Frames(30 + 40 + 10.5 + 60.5));
}

}  // namespace
}  // namespace sondrel
