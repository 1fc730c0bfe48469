#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "recording/CInputGain.h"

namespace sondrel {
namespace {

std::vector<std::int16_t> Ramp() {
    std::vector<std::int16_t> samples;
    for (int v = -32768; v <= 32767; v += 97) {
        samples.push_back(static_cast<std::int16_t>(v));
    }
    samples.push_back(32767);
    return samples;
}

TEST(InputGain, UnityLeavesSamplesUntouched) {
    CInputGain gain;
    EXPECT_EQ(gain.Factor(), 1.0f);
    EXPECT_EQ(gain.SetGainDb(0.0f), S_OK);
    EXPECT_EQ(gain.Factor(), 1.0f);
    const std::vector<std::int16_t> original = Ramp();
    std::vector<std::int16_t> samples = original;
    gain.Apply(samples.data(), samples.size());
    EXPECT_EQ(samples, original);
}

TEST(InputGain, BoostClipsAtTheSixteenBitLimits) {
    CInputGain gain;
    ASSERT_EQ(gain.SetGainDb(9.0f), S_OK);
    EXPECT_NEAR(gain.Factor(), 2.8183829f, 1e-6f);
    std::vector<std::int16_t> samples = Ramp();
    const std::vector<std::int16_t> original = samples;
    gain.Apply(samples.data(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double exact = original[i] * static_cast<double>(gain.Factor());
        if (exact >= 32767) {
            ASSERT_EQ(samples[i], 32767);
        } else if (exact <= -32768) {
            ASSERT_EQ(samples[i], -32768);
        } else {
            // Truncation towards zero: never louder than the exact product, less than 1 away.
            ASSERT_LE(std::abs(samples[i]), std::abs(exact));
            ASSERT_LT(std::abs(exact - samples[i]), 1.0);
        }
    }
    EXPECT_EQ(samples.front(), -32768);
    EXPECT_EQ(samples.back(), 32767);

    // A factor whose products leave the 32-bit range must still clip to the right sign.
    ASSERT_EQ(gain.SetGainDb(300.0f), S_OK);
    samples = original;
    gain.Apply(samples.data(), samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i], original[i] > 0 ? 32767 : original[i] < 0 ? -32768 : 0) << i;
    }
}

TEST(InputGain, CutTruncatesTowardsZero) {
    CInputGain gain;
    ASSERT_EQ(gain.SetGainDb(-3.0f), S_OK);
    std::vector<std::int16_t> samples{1000, -1000, 1, -1, 0};
    gain.Apply(samples.data(), samples.size());
    // 1000 × 0.70795 = 707.9 and -707.9 truncate to 707 and -707; ±0.7 to 0.
    EXPECT_EQ(samples, (std::vector<std::int16_t>{707, -707, 0, 0, 0}));
}

TEST(InputGain, RejectsFactorsThatAreNotNumbers) {
    CInputGain gain;
    ASSERT_EQ(gain.SetGainDb(6.0f), S_OK);
    const float before = gain.Factor();
    EXPECT_EQ(gain.SetGainDb(std::numeric_limits<float>::quiet_NaN()), E_FAIL);
    EXPECT_EQ(gain.SetGainDb(1000.0f), E_FAIL);
    EXPECT_EQ(gain.Factor(), before);
    std::vector<std::int16_t> samples{0, 100};
    gain.Apply(samples.data(), samples.size());
    EXPECT_EQ(samples[0], 0);
    EXPECT_EQ(samples[1], static_cast<std::int16_t>(100 * before));
}

}  // namespace
}  // namespace sondrel
