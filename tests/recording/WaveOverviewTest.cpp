// The track page's pictures and listening: each overview column holds exactly the extremes of
// its frames (checked against a plain scan at awkward column counts), and the player sends
// exactly the chosen stretch of the recording to the output, or stops when told.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "audiofile/WaveTestUtil.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CSectionPlayer.h"
#include "recording/CWaveOverview.h"

namespace sondrel::test {
namespace {

// Noise whose loudness changes along the file, so that misplaced column edges show.
std::vector<std::int16_t> ShapedNoise(std::size_t frames) {
    std::vector<std::int16_t> samples = test::Noise(frames * 2, 99);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int scale = 1 + static_cast<int>(i / 2 % 7000);
        samples[i] = static_cast<std::int16_t>(samples[i] % scale);
    }
    return samples;
}

std::filesystem::path WriteSide(const std::filesystem::path& folder,
                                const std::vector<std::int16_t>& samples) {
    const auto path = folder / "side.wav";
    WriteFile(path, RiffWave({Chunk("fmt ", FormatPayload(CaptureFormat(), 16)),
                              Chunk("data", SamplesToBytes(samples))}));
    return path;
}

TEST(WaveOverview, EachColumnHoldsTheExtremesOfItsFramesAsTheyAreRead) {
    TempFolder folder;
    const std::size_t frames = 700001;  // several read blocks, not a multiple of anything
    const auto samples = ShapedNoise(frames);
    const auto path = WriteSide(folder.Path(), samples);
    struct Case {
        std::uint64_t first, end;
        std::size_t columns;
    };
    // Whole file; a stretch inside it; one running past its end, by more than a read block
    // (silence there); more columns than frames.
    for (const Case c : {Case{0, frames, 997}, Case{123457, 555555, 1408},
                         Case{650000, 1300000, 300}, Case{10, 40, 64}}) {
        CWaveOverview overview;
        overview.Start(path, c.first, c.end, c.columns);
        ASSERT_TRUE(test::WaitFor([&] { return overview.Done(); }, std::chrono::seconds(60)));
        ASSERT_FALSE(overview.ReadFailed());
        for (std::size_t col = 0; col < c.columns; ++col) {
            OverviewColumn want{};
            const std::uint64_t from = overview.ColumnStart(col);
            const std::uint64_t to = overview.ColumnStart(col + 1);
            if (from < to) {
                want = {32767, -32768, 32767, -32768};
                for (std::uint64_t f = from; f < to; ++f) {
                    const std::int16_t l = f < frames ? samples[2 * f] : 0;
                    const std::int16_t r = f < frames ? samples[2 * f + 1] : 0;
                    want = {std::min(want.minLeft, l), std::max(want.maxLeft, l),
                            std::min(want.minRight, r), std::max(want.maxRight, r)};
                }
            }
            const OverviewColumn got = overview.Columns()[col];
            ASSERT_TRUE(got.minLeft == want.minLeft && got.maxLeft == want.maxLeft &&
                        got.minRight == want.minRight && got.maxRight == want.maxRight)
                << "column " << col << " of " << c.columns << " from frame " << c.first;
        }
    }
    CWaveOverview missing;
    missing.Start(folder.Path() / "none.wav", 0, 100, 10);
    EXPECT_TRUE(test::WaitFor([&] { return missing.ReadFailed(); }, std::chrono::seconds(60)));
    EXPECT_FALSE(missing.Done());
}

TEST(SectionPlayer, PlaysExactlyTheStretchAskedForAndStopsWhenTold) {
    TempFolder folder;
    const auto samples = ShapedNoise(44100);
    const auto path = WriteSide(folder.Path(), samples);
    auto platform = CSimPlatform::CreateDefault();
    CSimAudioSystem& audio = platform->SimAudio();
    const GUID output = audio.DefaultOutputDevice();
    {
        CSectionPlayer player(audio, output);
        ASSERT_EQ(player.Play(path, 1000, 12025), S_OK);
        EXPECT_TRUE(test::WaitFor([&] { return !player.IsPlaying(); }, std::chrono::seconds(60)));
        EXPECT_EQ(player.PositionFrame(), 12025u);
    }
    const auto played = BytesToSamples(audio.OutputRecord(output)->bytes);
    ASSERT_EQ(played.size(), (12025u - 1000u) * 2);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), samples.begin() + 2000));

    audio.ClearOutputRecords();
    CSectionPlayer player(audio, output);
    ASSERT_EQ(player.Play(path, 0, 44100), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    player.Stop();
    EXPECT_FALSE(player.IsPlaying());
    const std::uint64_t heard = player.PositionFrame();
    EXPECT_GT(heard, 0u);
    EXPECT_LT(heard, 44100u / 2);  // a second of sound stopped after a tenth
    EXPECT_LT(audio.OutputRecord(output)->bytes.size(), 44100u * 4 / 2);
    EXPECT_EQ(player.Play(folder.Path() / "none.wav", 0, 10), E_FAIL);
}

}  // namespace
}  // namespace sondrel::test
