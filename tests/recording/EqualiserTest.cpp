#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "common/SignalKit.h"
#include "recording/CSourceEqualiser.h"

namespace sondrel {
namespace {

constexpr int kRate = 44100;

struct Measured {
    double leftDb;
    double rightDb;
};

// Gain in dB of the equaliser at hz, per channel: two seconds of a tone (the right channel in
// opposite phase) through the filter in 10 ms regions; the second second, which holds a whole
// number of cycles of every frequency used here, is compared by RMS with the input. At 0 Hz a
// constant level stands in for the tone and the mean is compared instead.
Measured MeasureResponse(int type, double hz) {
    CSourceEqualiser equaliser;
    equaliser.SetSourceFilter(type);
    const double amplitude = 2500;
    std::vector<std::int16_t> samples(2 * 2 * kRate);
    for (int i = 0; i < 2 * kRate; ++i) {
        const double v =
            hz == 0 ? amplitude : amplitude * std::sin(2 * std::numbers::pi * hz * i / kRate);
        samples[2 * i] = static_cast<std::int16_t>(v);
        samples[2 * i + 1] = static_cast<std::int16_t>(-v);
    }
    const std::vector<std::int16_t> input = samples;
    for (std::size_t frame = 0; frame < samples.size() / 2; frame += 441) {
        equaliser.Process(samples.data() + 2 * frame, 441);
    }
    auto level = [&](const std::vector<std::int16_t>& s, int channel) {
        double sum = 0, squares = 0;
        for (int i = kRate; i < 2 * kRate; ++i) {
            sum += s[2 * i + channel];
        }
        const double mean = sum / kRate;
        if (hz == 0) {
            return std::fabs(mean);
        }
        for (int i = kRate; i < 2 * kRate; ++i) {
            squares += (s[2 * i + channel] - mean) * (s[2 * i + channel] - mean);
        }
        return std::sqrt(squares / kRate);
    };
    return {20 * std::log10(level(samples, 0) / level(input, 0)),
            20 * std::log10(level(samples, 1) / level(input, 1))};
}

struct ResponsePoint {
    double hz;
    double db;
};

void ExpectResponse(int type, const std::vector<ResponsePoint>& points) {
    for (const ResponsePoint& point : points) {
        SCOPED_TRACE(testing::Message() << "type " << type << " at " << point.hz << " Hz");
        const Measured measured = MeasureResponse(type, point.hz);
        EXPECT_NEAR(measured.leftDb, point.db, 0.2);
        EXPECT_NEAR(measured.rightDb, point.db, 0.2);
    }
}

TEST(SourceEqualiserResponse, RiaaPlaybackCurve) {
    ExpectResponse(kSourceFilterRiaa,
                   {{0, 19.6}, {100, 12.8}, {1000, -0.2}, {5000, -8.4}, {20000, -19.9}});
}

TEST(SourceEqualiserResponse, ChromeTapeTrebleCut) {
    ExpectResponse(kSourceFilterChrome, {{0, 0.0},
                                         {100, 0.0},
                                         {1000, -0.8},
                                         {5000, -4.5},
                                         {10000, -5.0},
                                         {15000, -5.0},
                                         {20000, -5.0}});
}

TEST(SourceEqualiserResponse, BassShelf) {
    ExpectResponse(
        kSourceFilterBassShelf,
        {{0, 20.0}, {100, 13.2}, {500, 3.0}, {1000, 1.0}, {5000, 0.0}, {10000, 0.0}, {20000, 0.0}});
}

TEST(SourceEqualiser, NoFilterForNormalTapeOrUnknownTypes) {
    const std::vector<std::int16_t> original = test::Noise(2 * 1000, 7);
    for (int type : {0, 4, -1}) {
        CSourceEqualiser equaliser;
        equaliser.SetSourceFilter(kSourceFilterRiaa);
        equaliser.SetSourceFilter(type);
        std::vector<std::int16_t> samples = original;
        equaliser.Process(samples.data(), 1000);
        EXPECT_EQ(samples, original) << "type " << type;
    }
    CSourceEqualiser fresh;
    std::vector<std::int16_t> samples = original;
    fresh.Process(samples.data(), 1000);
    EXPECT_EQ(samples, original);
}

TEST(SourceEqualiser, ChannelsAreFilteredSeparately) {
    // Only the left channel carries sound; the right must stay silent and the left must come
    // out as it would on its own.
    std::vector<std::int16_t> stereo = test::Noise(2 * 4000, 3);
    std::vector<std::int16_t> leftOnly(stereo.size());
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        stereo[i] /= 8;
        stereo[i + 1] = 0;
        leftOnly[i] = leftOnly[i + 1] = stereo[i];
    }
    CSourceEqualiser a, b;
    a.SetSourceFilter(kSourceFilterRiaa);
    b.SetSourceFilter(kSourceFilterRiaa);
    a.Process(stereo.data(), 4000);
    b.Process(leftOnly.data(), 4000);
    for (std::size_t i = 0; i < stereo.size(); i += 2) {
        ASSERT_EQ(stereo[i + 1], 0) << i;
        ASSERT_EQ(stereo[i], leftOnly[i]) << i;
        ASSERT_EQ(leftOnly[i + 1], leftOnly[i]) << i;
    }
}

TEST(SourceEqualiser, ChoosingTheFilterAgainRestartsFromSilence) {
    const std::vector<std::int16_t> signal = test::Noise(2 * 3000, 11);
    std::vector<std::int16_t> impulse(2 * 500, 0);
    impulse[0] = impulse[1] = 4000;

    CSourceEqualiser used;
    used.SetSourceFilter(kSourceFilterChrome);
    std::vector<std::int16_t> scratch = signal;
    used.Process(scratch.data(), 3000);
    used.SetSourceFilter(kSourceFilterChrome);
    std::vector<std::int16_t> afterReset = impulse;
    used.Process(afterReset.data(), 500);

    CSourceEqualiser fresh;
    fresh.SetSourceFilter(kSourceFilterChrome);
    std::vector<std::int16_t> expected = impulse;
    fresh.Process(expected.data(), 500);
    EXPECT_EQ(afterReset, expected);
    EXPECT_NE(expected, impulse);
}

TEST(SourceEqualiser, RegionBoundariesDoNotDisturbTheFilter) {
    const std::vector<std::int16_t> signal = test::Noise(2 * 5000, 5);
    std::vector<std::int16_t> whole = signal, pieces = signal;
    CSourceEqualiser a, b;
    a.SetSourceFilter(kSourceFilterRiaa);
    b.SetSourceFilter(kSourceFilterRiaa);
    a.Process(whole.data(), 5000);
    for (std::size_t frame = 0, step = 1; frame < 5000; frame += step, step = step * 3 % 977) {
        b.Process(pieces.data() + 2 * frame, std::min<std::size_t>(step, 5000 - frame));
    }
    EXPECT_EQ(pieces, whole);
}

TEST(SourceEqualiser, OvershootSaturatesInsteadOfWrapping) {
    // A bass-heavy level that the shelf lifts by 20 dB to far beyond full scale: the output must
    // sit at the limit, not wrap to the other sign or ring.
    for (int type : {1, 3}) {
        CSourceEqualiser equaliser;
        equaliser.SetSourceFilter(type);
        std::vector<std::int16_t> samples(2 * kRate);
        for (std::size_t i = 0; i < samples.size(); i += 2) {
            samples[i] = 12000;
            samples[i + 1] = -12000;
        }
        equaliser.Process(samples.data(), kRate);
        for (std::size_t i = 2 * (kRate / 2); i < samples.size(); i += 2) {
            ASSERT_EQ(samples[i], 32767) << "type " << type << " frame " << i / 2;
            ASSERT_EQ(samples[i + 1], -32768) << "type " << type << " frame " << i / 2;
        }
    }
}

}  // namespace
}  // namespace sondrel

namespace sondrel {
namespace {

// The stereo cascade (SIMD where available) must give exactly what running each section over
// each channel on its own gives, including where the output saturates.
TEST(SourceEqualiser, StereoCascadeMatchesSectionBySection) {
    std::vector<std::int16_t> input(2 * 20000);
    std::uint32_t noise = 99;
    for (std::size_t i = 0; i < input.size() / 2; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / 44100.0;
        // Loud low tones that the bass lift drives past full scale, plus noise.
        input[2 * i] = static_cast<std::int16_t>(30000 * std::sin(2 * M_PI * 40 * t) +
                                                 static_cast<int>(noise >> 22) - 512);
        input[2 * i + 1] = static_cast<std::int16_t>(static_cast<int>(noise >> 16) - 32768);
    }
    for (int type : {kSourceFilterRiaa, kSourceFilterChrome, kSourceFilterBassShelf}) {
        CFilterSection sections[2];
        const int count = CSourceEqualiser::SectionsOf(type, sections);
        ASSERT_GT(count, 0);
        std::vector<std::int16_t> expected = input;
        for (int i = 0; i < count; ++i) {
            CFilterSection left = sections[i];
            CFilterSection right = sections[i];
            left.Run(expected.data(), expected.size() / 2, 2);
            right.Run(expected.data() + 1, expected.size() / 2, 2);
        }
        CSourceEqualiser equaliser;
        equaliser.SetSourceFilter(type);
        std::vector<std::int16_t> actual = input;
        // Uneven regions, so state carried between calls is covered too.
        std::size_t frame = 0;
        for (std::size_t step = 1; frame < actual.size() / 2; step = step * 3 + 1) {
            const std::size_t n = std::min(step, actual.size() / 2 - frame);
            equaliser.Process(actual.data() + 2 * frame, n);
            frame += n;
        }
        EXPECT_EQ(actual, expected) << "type " << type;
        EXPECT_TRUE(std::count(expected.begin(), expected.end(), 32767) > 0 ||
                    type == kSourceFilterChrome)
            << "the signal should reach the limits for type " << type;
    }
}

}  // namespace
}  // namespace sondrel
