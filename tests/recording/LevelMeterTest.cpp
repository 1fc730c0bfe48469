#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <random>
#include <thread>
#include <vector>

#include "recording/CLevelMeter.h"
#include "recording/CVuHistogram.h"
#include "recording/PeakSearch.h"

namespace sondrel {
namespace {

constexpr int kBlock = CLevelMeter::kBlockFrames;

// frames of a 1 kHz stereo sine with the given peak (1.0 = full scale).
std::vector<float> Sine(std::size_t frames, float peak) {
    std::vector<float> samples(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const float v =
            peak * static_cast<float>(std::sin(2 * std::numbers::pi * 1000 * i / 44100));
        samples[2 * i] = v;
        samples[2 * i + 1] = -v;
    }
    return samples;
}

std::vector<float> Constant(std::size_t frames, float left, float right) {
    std::vector<float> samples(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[2 * i] = left;
        samples[2 * i + 1] = right;
    }
    return samples;
}

struct Levels {
    float recentLeft, recentRight, holdLeft, holdRight;
    HRESULT hr;
};

Levels Read(CLevelMeter& meter, bool active = true) {
    Levels l{};
    l.hr = meter.ReadLevels(l.recentLeft, l.recentRight, l.holdLeft, l.holdRight, active);
    return l;
}

void Feed(CLevelMeter& meter, const std::vector<float>& samples, bool writing,
          std::size_t regionFrames = 441) {
    const std::size_t frames = samples.size() / 2;
    for (std::size_t at = 0; at < frames; at += regionFrames) {
        ASSERT_EQ(meter.Feed(samples.data() + 2 * at, std::min(regionFrames, frames - at), writing),
                  S_OK);
    }
}

TEST(LevelMeter, FullScaleSineReadsZeroDb) {
    CLevelMeter meter;
    Feed(meter, Sine(22050, 1.0f), false);
    const Levels full = Read(meter);
    EXPECT_EQ(full.hr, S_OK);
    EXPECT_NEAR(full.recentLeft, 0.0f, 0.01f);
    EXPECT_NEAR(full.recentRight, 0.0f, 0.01f);
    EXPECT_NEAR(full.holdLeft, 0.0f, 0.01f);
    EXPECT_NEAR(full.holdRight, 0.0f, 0.01f);

    CLevelMeter half;
    Feed(half, Sine(22050, 0.5f), false);
    EXPECT_NEAR(Read(half).recentLeft, -6.02f, 0.01f);
}

TEST(LevelMeter, NoLevelReadsMinus144) {
    CLevelMeter meter;
    const Levels silent = Read(meter);
    EXPECT_EQ(silent.hr, S_OK);
    EXPECT_EQ(silent.recentLeft, CLevelMeter::kNoLevelDb);
    EXPECT_EQ(silent.holdRight, CLevelMeter::kNoLevelDb);

    // An inactive read reports no level even while audio comes in.
    Feed(meter, Sine(5000, 1.0f), true);
    const Levels inactive = Read(meter, false);
    EXPECT_EQ(inactive.hr, S_OK);
    EXPECT_EQ(inactive.recentLeft, -144.0f);
    EXPECT_EQ(inactive.recentRight, -144.0f);
    EXPECT_EQ(inactive.holdLeft, -144.0f);
    EXPECT_EQ(inactive.holdRight, -144.0f);
}

TEST(LevelMeter, ChannelsAreMeasuredSeparately) {
    CLevelMeter meter;
    Feed(meter, Constant(20 * kBlock, -0.1f, 0.0f), false);
    const Levels l = Read(meter);
    EXPECT_NEAR(l.recentLeft, -20.0f, 0.001f);
    EXPECT_EQ(l.recentRight, -144.0f);
}

TEST(LevelMeter, RecentLevelCoversTheBlocksSinceTheLastReadAndHoldTheLast255) {
    CLevelMeter meter;
    Feed(meter, Constant(20 * kBlock, 1.0f, 1.0f), false);
    EXPECT_NEAR(Read(meter).recentLeft, 0.0f, 1e-4f);

    // Reading again without new audio still looks at the last ten blocks.
    EXPECT_NEAR(Read(meter).recentLeft, 0.0f, 1e-4f);

    Feed(meter, Constant(20 * kBlock, 0.01f, 0.01f), false);
    Levels l = Read(meter);
    EXPECT_NEAR(l.recentLeft, -40.0f, 1e-3f);
    EXPECT_NEAR(l.holdLeft, 0.0f, 1e-4f);

    // Once the loud blocks are more than 255 blocks old the hold lets go.
    Feed(meter, Constant(240 * kBlock, 0.01f, 0.01f), false);
    l = Read(meter);
    EXPECT_NEAR(l.holdLeft, -40.0f, 1e-3f);
    EXPECT_NEAR(l.holdRight, -40.0f, 1e-3f);
}

TEST(LevelMeter, PartialBlocksAddUpAcrossRegions) {
    // A single loud frame inside a region that straddles a block boundary must be seen.
    CLevelMeter meter;
    std::vector<float> samples = Constant(3 * kBlock, 0.001f, 0.001f);
    samples[2 * (kBlock + 5)] = 0.5f;
    Feed(meter, samples, false, 97);
    EXPECT_NEAR(Read(meter).recentLeft, -6.02f, 0.01f);
    EXPECT_NEAR(Read(meter).recentRight, -60.0f, 0.01f);
}

TEST(LevelMeterHistogram, NeverWrittenRecordingHasAnEmptyHistogram) {
    CLevelMeter meter;
    Feed(meter, Sine(44100, 0.8f), false);
    float maxPeakDb = 0, levelDb = 0;
    meter.ReadHistogram(maxPeakDb, levelDb);
    EXPECT_EQ(maxPeakDb, -120.0f);
    EXPECT_EQ(levelDb, -24.0f);
}

TEST(LevelMeterHistogram, WrittenBlocksCountTheirTenBlockPeaks) {
    CLevelMeter meter;
    Feed(meter, Constant(30 * kBlock, 0.1f, 0.05f), true);
    Feed(meter, Constant(30 * kBlock, 0.5f, 1.0f), true);
    float maxPeakDb = 0, levelDb = 0;
    meter.ReadHistogram(maxPeakDb, levelDb);
    EXPECT_NEAR(maxPeakDb, 0.0f, 1e-4f);
    // Two bins used: 0 dB, and for the first part's louder channel (-20 dB) the bin
    // trunc(-20 + 0.5) = -19. The level is -19 + 19 × 0.2.
    EXPECT_NEAR(levelDb, -15.2f, 1e-4f);

    CVuHistogram expected;
    for (int i = 0; i < 30; ++i) {
        expected.Add(0.1f, 0.05f);
    }
    for (int i = 0; i < 30; ++i) {
        expected.Add(1.0f, 1.0f);
    }
    EXPECT_EQ(expected.Level(), levelDb);
}

TEST(VuHistogram, BinsLevelsAndLimits) {
    CVuHistogram histogram;
    EXPECT_EQ(histogram.Level(), -24.0f);

    histogram.Add(0.0f, 0.5f);  // a silent channel: not counted
    EXPECT_EQ(histogram.Total(), 0u);

    // -3.7 dB falls in the -3 dB bin: bins run from half a dB below to half above, truncated.
    histogram.Add(std::pow(10.0f, -3.7f / 20), 0.001f);
    EXPECT_EQ(histogram.Count(-3), 1u);
    EXPECT_NEAR(histogram.MaxPeakDb(), -3.7f, 1e-4f);

    // Far below the range: the lowest bin.
    CVuHistogram quiet;
    quiet.Add(1e-8f, 1e-8f);
    EXPECT_EQ(quiet.Count(-120), 1u);
    EXPECT_EQ(quiet.Level(), -120.0f);

    // Over full scale counts as 0 dB.
    CVuHistogram loud;
    loud.Add(2.0f, 1.0f);
    EXPECT_EQ(loud.Count(0), 1u);
    EXPECT_EQ(loud.MaxPeakDb(), 0.0f);

    // The level sits at most 8 dB above the lowest used bin.
    CVuHistogram spread;
    spread.Add(0.001f, 0.001f);    // -60 dB: bin -59
    spread.Add(0.3162278f, 0.1f);  // -10 dB: bin -9
    EXPECT_EQ(spread.Total(), 2u);
    EXPECT_EQ(spread.Count(-59), 1u);
    EXPECT_EQ(spread.Count(-9), 1u);
    EXPECT_NEAR(spread.Level(), -51.0f, 1e-4f);
}

TEST(PeakSearch, VectorAndPortableSearchAgree) {
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    alignas(16) static float buffer[2 * 300 + 8];
    for (float& v : buffer) {
        v = value(random);
    }
    // Every start alignment a float pointer can have, lengths across the vector widths, and the
    // loudest value planted at the first and at the last frame.
    for (std::size_t offset = 0; offset < 4; ++offset) {
        for (std::size_t frames = 0; frames < 300; frames += frames < 40 ? 1 : 37) {
            for (int plant = 0; plant < 3; ++plant) {
                float* start = buffer + offset;
                std::vector<float> saved(start, start + 2 * frames);
                if (plant == 1 && frames > 0) {
                    start[0] = -3.0f;
                    start[1] = 2.5f;
                } else if (plant == 2 && frames > 0) {
                    start[2 * frames - 2] = 4.0f;
                    start[2 * frames - 1] = -5.0f;
                }
                const StereoPeak simd = FindStereoPeak(start, frames);
                const StereoPeak plain = FindStereoPeakPortable(start, frames);
                ASSERT_EQ(simd.left, plain.left) << offset << " " << frames << " " << plant;
                ASSERT_EQ(simd.right, plain.right) << offset << " " << frames << " " << plant;
                std::copy(saved.begin(), saved.end(), start);
            }
        }
    }
    // Plain loop as the reference for one case, so that agreement is not agreement in error.
    float left = 0, right = 0;
    for (int i = 0; i < 299; ++i) {
        left = std::max(left, std::fabs(buffer[1 + 2 * i]));
        right = std::max(right, std::fabs(buffer[2 + 2 * i]));
    }
    const StereoPeak odd = FindStereoPeak(buffer + 1, 299);
    EXPECT_EQ(odd.left, left);
    EXPECT_EQ(odd.right, right);
}

TEST(LevelMeter, ReadsWhileTheCaptureThreadFeeds) {
    CLevelMeter meter;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        const std::vector<float> region = Sine(441, 0.5f);
        for (int i = 0; i < 3000; ++i) {
            meter.Feed(region.data(), 441, (i & 1) != 0);
        }
        done = true;
    });
    int reads = 0;
    while (!done || reads == 0) {
        const Levels l = Read(meter);
        ASSERT_EQ(l.hr, S_OK);
        ASSERT_LE(l.recentLeft, -6.0f);
        ASSERT_LE(l.holdRight, -6.0f);
        ++reads;
    }
    capture.join();
    float maxPeakDb = 0, levelDb = 0;
    meter.ReadHistogram(maxPeakDb, levelDb);
    EXPECT_NEAR(maxPeakDb, -6.02f, 0.01f);
}

}  // namespace
}  // namespace sondrel
