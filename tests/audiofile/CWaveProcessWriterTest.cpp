#include "audiofile/CWaveProcessWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audiofile/WaveTestUtil.h"

namespace sondrel {
namespace {

using test::Bytes;

class ProcessWriterTest : public ::testing::Test {
protected:
    // Writes data through a processing writer with the given settings and returns the file.
    Bytes Run(const Bytes& data, bool normalise, bool second, float peakDb,
              const WAVEFORMATEX& format = CaptureFormat(), std::size_t writeBytes = 65536) {
        CWaveProcessWriter writer;
        EXPECT_EQ(writer.Create(m_path, format), S_OK);
        for (std::size_t at = 0; at < data.size(); at += writeBytes) {
            writer.Write(data.data() + at, std::min(writeBytes, data.size() - at));
        }
        writer.SetProcessing(normalise, second, peakDb, -30.0f);
        EXPECT_EQ(writer.Close(), S_OK);
        return test::ReadFile(m_path);
    }

    test::TempFolder m_dir;
    std::filesystem::path m_path = m_dir / "temp0.wav";
};

// A sweep over the whole 16-bit range, deterministic and not aligned to anything.
std::vector<std::int16_t> Ramp(std::size_t count) {
    std::vector<std::int16_t> s(count);
    for (std::size_t i = 0; i < count; ++i) {
        s[i] = static_cast<std::int16_t>(static_cast<std::int64_t>(i * 7919 % 65535) - 32767);
    }
    return s;
}

void ExpectScaled(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& out,
                  double gain) {
    ASSERT_EQ(in.size(), out.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double ideal = in[i] * gain;
        if (std::fabs(ideal) > 32767.0) {
            ASSERT_EQ(out[i], ideal > 0 ? 32767 : -32767) << i;
        } else {
            ASSERT_LE(std::fabs(out[i] - ideal), 0.51) << i << " " << in[i];
        }
    }
}

TEST_F(ProcessWriterTest, FullScalePeakIsBroughtToNinetySevenPercent) {
    // Longer than one chunk and not a multiple of it: the remainder is processed too.
    const auto samples = Ramp(kChunkBytes / 2 * 2 + 6);
    const Bytes file = Run(test::SamplesToBytes(samples), true, false, 0.0f);
    ASSERT_EQ(file.size(), 44 + samples.size() * 2);
    EXPECT_EQ(test::GetU32(file, 40), samples.size() * 2);
    ExpectScaled(samples, test::BytesToSamples(file, 44), 0.97);
}

TEST_F(ProcessWriterTest, QuietRecordingIsRaisedAndClipped) {
    std::vector<std::int16_t> samples{0, 1, -1, 30, -30, 100, -100, 0};
    // A measured peak of -60 dB asks for a gain near 970.
    const Bytes file = Run(test::SamplesToBytes(samples), true, false, -60.0f);
    const auto out = test::BytesToSamples(file, 44);
    const double gain = 0.97 * std::pow(10.0, 3.0);
    ExpectScaled(samples, out, gain);
    EXPECT_EQ(out[5], 32767);
    EXPECT_EQ(out[6], -32767);
    EXPECT_EQ(out[0], 0);
}

TEST_F(ProcessWriterTest, HalfScalePeakIsAlmostDoubled) {
    const auto samples = Ramp(4000);
    std::vector<std::int16_t> half(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        half[i] = static_cast<std::int16_t>(samples[i] / 2);
    const Bytes file = Run(test::SamplesToBytes(half), true, false, -6.0206f);
    ExpectScaled(half, test::BytesToSamples(file, 44), 0.97 * std::pow(10.0, 6.0206 / 20));
}

TEST_F(ProcessWriterTest, SecondFlagAloneLeavesTheSamplesAsTheyWere) {
    const auto samples = Ramp(300000);  // the ramp never reaches -32768
    const Bytes data = test::SamplesToBytes(samples);
    const Bytes file = Run(data, false, true, -12.0f);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), data);

    // -32768 is the one value that cannot come back: clipping is symmetric.
    const Bytes edge = test::SamplesToBytes({-32768, 32767});
    const Bytes file2 = Run(edge, false, true, 0.0f);
    EXPECT_EQ(test::BytesToSamples(file2, 44), (std::vector<std::int16_t>{-32767, 32767}));
}

TEST_F(ProcessWriterTest, NothingHappensWithoutFlagsOrData) {
    const auto samples = Ramp(1000);
    const Bytes data = test::SamplesToBytes(samples);
    const Bytes file = Run(data, false, false, -40.0f);
    EXPECT_EQ(Bytes(file.begin() + 44, file.end()), data);

    const Bytes empty = Run({}, true, true, -40.0f);
    EXPECT_EQ(empty.size(), 44u);
    EXPECT_EQ(test::GetU32(empty, 4), 36u);
    EXPECT_EQ(test::GetU32(empty, 40), 0u);
}

TEST_F(ProcessWriterTest, TwentyFourBitChunksStayOnFrameBoundaries) {
    // 6-byte frames do not divide 1 MiB; a chunk cut mid-frame would shift every later sample.
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 44100 * 6, 6, 24, 0};
    const std::size_t frames = kChunkBytes / 6 * 2 + 5;
    Bytes data(frames * 6);
    std::vector<std::int32_t> values(frames * 2);
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = static_cast<std::int32_t>(i * 104729 % 16777215) - 8388607;
        for (int b = 0; b < 3; ++b)
            data[3 * i + b] = static_cast<std::uint8_t>(values[i] >> (8 * b));
    }
    const Bytes file = Run(data, true, false, 0.0f, format, 1 << 20);
    ASSERT_EQ(file.size(), 44 + data.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::int32_t v = file[44 + 3 * i] | file[45 + 3 * i] << 8 | file[46 + 3 * i] << 16;
        if (v >= 0x800000)
            v -= 0x1000000;
        // Float carries 24 bits of mantissa: the result is within a step of the ideal.
        ASSERT_LE(std::fabs(v - values[i] * 0.97), 1.0) << i;
    }
}

TEST_F(ProcessWriterTest, UnsupportedFormatsAndPartialFramesEndThePass) {
    // 8-bit would come back from float as nothing: the pass is skipped, not looped on.
    const WAVEFORMATEX eight{WAVE_FORMAT_PCM, 2, 44100, 88200, 2, 8, 0};
    const Bytes data8 = test::NoiseBytes(5000, 3);
    const Bytes file8 = Run(data8, true, true, -20.0f, eight);
    EXPECT_EQ(Bytes(file8.begin() + 44, file8.end()), data8);

    // A trailing partial frame is left as it is; everything before it is processed.
    Bytes data = test::SamplesToBytes({1000, -1000, 2000, -2000});
    data.push_back(0x7B);
    const Bytes file = Run(data, true, false, 0.0f);
    ASSERT_EQ(file.size(), 44 + data.size());
    EXPECT_EQ(test::BytesToSamples(Bytes(file.begin(), file.end() - 1), 44),
              (std::vector<std::int16_t>{970, -970, 1940, -1940}));
    EXPECT_EQ(file.back(), 0x7B);

    // A peak that is not a number of decibels leaves the data alone rather than filling it.
    const Bytes silent(400, 0);
    const Bytes file2 = Run(silent, true, false, -INFINITY);
    EXPECT_EQ(Bytes(file2.begin() + 44, file2.end()), silent);
}

}  // namespace
}  // namespace sondrel
