#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "audiofile/CPcmFmtConvertLite.h"
#include "audiofile/CPcmFmtConverter.h"
#include "audiofile/PcmPrimitives.h"
#include "audiofile/WaveTestUtil.h"

namespace sondrel {
namespace {

using test::Bytes;

WAVEFORMATEX Pcm(std::uint16_t channels, std::uint16_t bits, std::uint32_t rate = 44100) {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    return WAVEFORMATEX{WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

WAVEFORMATEX Float(std::uint16_t channels, std::uint32_t rate = 44100) {
    const std::uint16_t align = static_cast<std::uint16_t>(channels * 4);
    return WAVEFORMATEX{WAVE_FORMAT_IEEE_FLOAT, channels, rate, rate * align, align, 32, 0};
}

struct ToFloat {
    ToFloat(const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
        EXPECT_TRUE(c.SetSourceFormat(in));
        EXPECT_TRUE(c.SetDestFormat(out));
        c.ResetState();
    }
    CPcmFmtConverter c;
};

struct FromFloat {
    FromFloat(const WAVEFORMATEX& in, const WAVEFORMATEX& out) {
        c.SetSourceFormat(in);
        c.SetDestFormat(out);
        c.ResetState();
    }
    CPcmFmtConvertLite c;
};

TEST(PcmConversion, Sixteen_BitRoundTripIsExactAndClipsSymmetrically) {
    const std::vector<std::int16_t> samples{-32768, -32767, -1, 0, 1, 12345, 32767, -20000};
    const Bytes in = test::SamplesToBytes(samples);
    ToFloat to(Pcm(2, 16), Float(2));
    std::vector<float> floats(samples.size());
    ASSERT_EQ(to.c.Convert(in.data(), in.size(), floats.data(), floats.size() * 4), 4u);
    EXPECT_EQ(floats[0], -1.0f);
    EXPECT_EQ(floats[6], 32767.0f / 32768.0f);
    EXPECT_EQ(floats[3], 0.0f);

    FromFloat back(Float(2), Pcm(2, 16));
    Bytes out(in.size());
    ASSERT_EQ(back.c.ConvertSimple(floats.data(), floats.size() * 4, out.data(), out.size()), 4u);
    std::vector<std::int16_t> expected = samples;
    expected[0] = -32767;  // the most negative value is never produced
    EXPECT_EQ(test::BytesToSamples(out), expected);
    EXPECT_EQ(back.c.ClippedSamples(), 1u);
    EXPECT_EQ(floats[6], 32767.0f);  // the caller's floats were scaled in place
}

TEST(PcmConversion, FloatToIntegerClipsAndRounds) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    // In float 1.0 = 16-bit full scale.
    const std::vector<float> values{1.5f,
                                    -1.5f,
                                    nan,
                                    -nan,
                                    inf,
                                    -inf,
                                    0.5f / 32768,
                                    1.5f / 32768,
                                    2.5f / 32768,
                                    -2.5f / 32768,
                                    32767.4f / 32768,
                                    32767.0f / 32768};
    {
        std::vector<float> f = values;
        FromFloat c(Float(1), Pcm(1, 16));
        Bytes out(f.size() * 2);
        ASSERT_EQ(c.c.ConvertSimple(f.data(), f.size() * 4, out.data(), out.size()), f.size());
        EXPECT_EQ(test::BytesToSamples(out),
                  (std::vector<std::int16_t>{32767, -32767, 32767, -32767, 32767, -32767, 0, 2, 2,
                                             -2, 32767, 32767}));
        EXPECT_EQ(c.c.ClippedSamples(), 7u);  // 32767.4 is past 32767.0 and counts
    }
    {
        std::vector<float> f = values;
        FromFloat c(Float(1), Pcm(1, 24));
        Bytes out(f.size() * 3);
        ASSERT_EQ(c.c.ConvertSimple(f.data(), f.size() * 4, out.data(), out.size()), f.size());
        EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x80}));
        auto at = [&](std::size_t i) {
            std::int32_t v = out[3 * i] | out[3 * i + 1] << 8 | out[3 * i + 2] << 16;
            return v >= 0x800000 ? v - 0x1000000 : v;
        };
        EXPECT_EQ(at(6), 128);
        EXPECT_EQ(at(9), -640);
        EXPECT_EQ(at(11), 32767 * 256);
        EXPECT_EQ(c.c.ClippedSamples(), 7u);
    }
    {
        std::vector<float> f = values;
        FromFloat c(Float(1), Pcm(1, 32));
        std::vector<std::int32_t> out(f.size());
        ASSERT_EQ(c.c.ConvertSimple(f.data(), f.size() * 4, out.data(), out.size() * 4), f.size());
        EXPECT_EQ(out[0], 2147483647);
        EXPECT_EQ(out[1], -2147483647);
        EXPECT_EQ(out[6], 32768);
        EXPECT_EQ(out[11], 32767 * 65536);
    }
}

TEST(PcmConversion, EveryIntegerWidthScalesToTheSixteenBitRange) {
    {
        ToFloat c(Pcm(1, 8), Float(1));
        const Bytes in{0x80, 0x00, 0xFF};
        float out[3];
        ASSERT_EQ(c.c.Convert(in.data(), in.size(), out, sizeof out), 3u);
        EXPECT_EQ(out[0], 0.0f);
        EXPECT_EQ(out[1], -1.0f);
        EXPECT_EQ(out[2], 127.0f / 128.0f);
    }
    {
        ToFloat c(Pcm(1, 24), Float(1));
        const Bytes in{0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF};
        float out[4];
        ASSERT_EQ(c.c.Convert(in.data(), in.size(), out, sizeof out), 4u);
        EXPECT_EQ(out[0], -1.0f);
        EXPECT_EQ(out[1], 8388607.0f / 8388608.0f);
        EXPECT_EQ(out[2], 128.0f / 8388608.0f);
        EXPECT_EQ(out[3], -1.0f / 8388608.0f);
    }
    {
        ToFloat c(Pcm(1, 32), Float(1));
        const std::vector<std::int32_t> in{INT32_MIN, 65536, -65536 * 3};
        float out[3];
        ASSERT_EQ(c.c.Convert(in.data(), in.size() * 4, out, sizeof out), 3u);
        EXPECT_EQ(out[0], -1.0f);
        EXPECT_EQ(out[1], 1.0f / 32768.0f);
        EXPECT_EQ(out[2], -3.0f / 32768.0f);
    }
}

TEST(PcmConversion, ChannelStep) {
    const std::vector<std::int16_t> mono{100, -200, 300};
    const Bytes monoBytes = test::SamplesToBytes(mono);
    {
        ToFloat c(Pcm(1, 16), Float(2));
        std::vector<float> out(6, 9.0f);
        ASSERT_EQ(c.c.Convert(monoBytes.data(), monoBytes.size(), out.data(), out.size() * 4), 3u);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(out[2 * k], mono[k] / 32768.0f);
            EXPECT_EQ(out[2 * k + 1], mono[k] / 32768.0f);
        }
        // Room for one frame only.
        ASSERT_EQ(c.c.Convert(monoBytes.data(), monoBytes.size(), out.data(), 12), 1u);
    }
    {
        const Bytes stereo = test::SamplesToBytes({100, 300, -1000, 0, 7, 8});
        ToFloat c(Pcm(2, 16), Float(1));
        std::vector<float> out(3);
        ASSERT_EQ(c.c.Convert(stereo.data(), stereo.size(), out.data(), out.size() * 4), 3u);
        EXPECT_FLOAT_EQ(out[0], 200 / 32768.0f);
        EXPECT_FLOAT_EQ(out[1], -500 / 32768.0f);
        EXPECT_FLOAT_EQ(out[2], 7.5f / 32768.0f);
    }
    {
        // Float to float with a channel change takes the input as it is.
        const std::vector<float> in{0.25f, 0.75f, -1.0f, 1.0f};
        ToFloat c(Float(2), Float(1));
        std::vector<float> out(2);
        ASSERT_EQ(c.c.Convert(in.data(), in.size() * 4, out.data(), out.size() * 4), 2u);
        EXPECT_EQ(out[0], 0.5f);
        EXPECT_EQ(out[1], 0.0f);
    }
    {
        ToFloat c(Pcm(3, 16), Float(2));  // neither side mono
        std::vector<float> out(8);
        const Bytes in(12, 1);
        EXPECT_EQ(c.c.Convert(in.data(), in.size(), out.data(), out.size() * 4), 0u);
    }
}

TEST(PcmConversion, UnsupportedPairsConvertNothing) {
    const Bytes in(64, 0x40);
    std::vector<float> out(64);
    EXPECT_EQ(ToFloat(Pcm(2, 16, 44100), Float(2, 48000))
                  .c.Convert(in.data(), in.size(), out.data(), 256),
              0u);
    EXPECT_EQ(ToFloat(Pcm(2, 16), Pcm(2, 24)).c.Convert(in.data(), in.size(), out.data(), 256), 0u);
    EXPECT_EQ(ToFloat(Pcm(2, 16), Pcm(1, 16)).c.Convert(in.data(), in.size(), out.data(), 256), 0u);
    EXPECT_EQ(ToFloat(Float(2), Pcm(2, 16)).c.Convert(in.data(), in.size(), out.data(), 256), 0u);
    EXPECT_EQ(ToFloat(Pcm(2, 12), Float(2)).c.Convert(in.data(), in.size(), out.data(), 256), 0u);

    std::vector<float> f(16, 0.5f);
    Bytes bytes(256);
    EXPECT_EQ(FromFloat(Float(2), Pcm(2, 8)).c.ConvertSimple(f.data(), 64, bytes.data(), 256), 0u);
    EXPECT_EQ(FromFloat(Float(2), Pcm(1, 16)).c.ConvertSimple(f.data(), 64, bytes.data(), 256), 0u);
    EXPECT_EQ(FromFloat(Pcm(2, 16), Float(2)).c.ConvertSimple(f.data(), 64, bytes.data(), 256), 0u);
    // Same tag, other width or channel count: nothing is converted, not the raw bytes copied.
    Bytes pcm(64, 0x40);
    EXPECT_EQ(FromFloat(Pcm(2, 16), Pcm(2, 24))
                  .c.ConvertSimple(reinterpret_cast<float*>(pcm.data()), 16, bytes.data(), 256),
              0u);
    EXPECT_EQ(FromFloat(Pcm(2, 16), Pcm(1, 16))
                  .c.ConvertSimple(reinterpret_cast<float*>(pcm.data()), 16, bytes.data(), 256),
              0u);

    CPcmFmtConverter c;
    EXPECT_FALSE(c.SetSourceFormat(WAVEFORMATEX{WAVE_FORMAT_EXTENSIBLE, 2, 44100, 0, 4, 16, 22}));
}

TEST(PcmConversion, IdenticalFormatsCopyAtMostTheCapacity) {
    const Bytes in = test::NoiseBytes(100, 1);
    Bytes out(40, 0xEE);
    ToFloat c(Pcm(2, 16), Pcm(2, 16));
    EXPECT_EQ(c.c.Convert(in.data(), in.size(), out.data(), 30), 7u);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + 30, in.begin()));
    EXPECT_EQ(out[30], 0xEE);

    std::vector<float> f(10, 0.25f);
    FromFloat lite(Float(2), Float(2));
    Bytes floatOut(40, 0xEE);
    EXPECT_EQ(lite.c.ConvertSimple(f.data(), 40, floatOut.data(), 20), 2u);
    EXPECT_EQ(floatOut[19], 0x3E);  // last byte of 0.25f
    EXPECT_EQ(floatOut[20], 0xEE);
}

TEST(PcmConversion, HostileBlockAlignNeverReadsOrWritesPastTheBuffers) {
    // Block align 1 for 16-bit stereo would claim four samples per input byte.
    WAVEFORMATEX odd = Pcm(2, 16);
    odd.nBlockAlign = 1;
    const Bytes in(8, 0x10);
    std::vector<float> out(64, 9.0f);
    ToFloat c(odd, Float(2));
    EXPECT_EQ(c.c.Convert(in.data(), in.size(), out.data(), out.size() * 4), 2u);
    EXPECT_EQ(out[4], 9.0f);

    // The light converter honours the output capacity.
    std::vector<float> f(8, 0.1f);
    Bytes small(6, 0xEE);
    FromFloat lite(Float(2), Pcm(2, 16));
    EXPECT_EQ(lite.c.ConvertSimple(f.data(), f.size() * 4, small.data(), 5), 1u);
    EXPECT_EQ(small[4], 0xEE);
}

TEST(PcmConversion, LongBlocksMatchTheScalarDefinition) {
    // Long enough for the vector loops and their remainders.
    const Bytes in = test::NoiseBytes(2 * 1001, 9);
    std::vector<float> out(1001);
    ToFloat c(Pcm(1, 16), Float(1));
    ASSERT_EQ(c.c.Convert(in.data(), in.size(), out.data(), out.size() * 4), 1001u);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto v = static_cast<std::int16_t>(in[2 * i] | in[2 * i + 1] << 8);
        ASSERT_EQ(out[i], v / 32768.0f) << i;
    }
    std::vector<float> scaled(out);
    for (float& v : scaled)
        v *= 1.37f;
    Bytes back(in.size());
    FromFloat lite(Float(1), Pcm(1, 16));
    ASSERT_EQ(lite.c.ConvertSimple(scaled.data(), scaled.size() * 4, back.data(), back.size()),
              1001u);
    std::size_t clipped = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double ideal = out[i] * 1.37 * 32768;
        const auto got = static_cast<std::int16_t>(back[2 * i] | back[2 * i + 1] << 8);
        if (std::fabs(ideal) > 32767) {
            ++clipped;
            EXPECT_EQ(got, ideal > 0 ? 32767 : -32767);
        } else {
            EXPECT_LE(std::fabs(got - ideal), 0.5001) << i;
        }
    }
    EXPECT_EQ(lite.c.ClippedSamples(), clipped);
    EXPECT_GT(clipped, 0u);
}

}  // namespace
}  // namespace sondrel
