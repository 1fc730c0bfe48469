// Cuts from a release's track lengths land in the gaps between the songs that are near the
// listed ends, and nowhere a gap is not.
#include <gtest/gtest.h>

#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "recording/CTrackCuts.h"
#include "recording/CutsAtDurations.h"

namespace sondrel::test {
namespace {

constexpr std::uint64_t kSecond = 44100;

// Loud noise with 200 ms of silence centred on each of `gaps` (frames).
ComPtr<CWaveReader> SideWithGaps(const TempFolder& folder, std::uint64_t frames,
                                 const std::vector<std::uint64_t>& gaps) {
    std::vector<std::int16_t> side = test::Noise(frames * 2, 7);
    for (std::int16_t& sample : side)
        sample = static_cast<std::int16_t>(sample / 4);  // loud, a quarter of full scale
    for (const std::uint64_t gap : gaps) {
        for (std::uint64_t f = gap - kSecond / 10; f < gap + kSecond / 10; ++f)
            side[2 * f] = side[2 * f + 1] = 0;
    }
    WriteFile(folder / "side.wav", RiffWave({Chunk("fmt ", FormatPayload(CaptureFormat(), 16)),
                                             Chunk("data", SamplesToBytes(side))}));
    auto reader = ComPtr<CWaveReader>::Attach(new CWaveReader());
    EXPECT_EQ(reader->Open(folder / "side.wav", 0), S_OK);
    return reader;
}

TEST(CutsAtDurations, EachCutFindsTheGapWithinThreeSecondsOfItsListedEnd) {
    TempFolder folder;
    // Listed: 10 s, 12 s, 8 s, 9 s. The record starts 2 s late, so the songs end at 12, 24.5
    // (half a second longer than listed) and 32.5 s; the last one runs to the end.
    auto reader =
        SideWithGaps(folder, 45 * kSecond,
                     {12 * kSecond, 24 * kSecond + kSecond / 2, 32 * kSecond + kSecond / 2});
    std::vector<std::uint64_t> cuts;
    ASSERT_EQ(PlaceCutsAtDurations(*reader, {10000, 12000, 8000, 9000}, 45 * kSecond, cuts), S_OK);
    ASSERT_EQ(cuts.size(), 3u);
    const std::uint64_t expected[] = {12 * kSecond, 24 * kSecond + kSecond / 2,
                                      32 * kSecond + kSecond / 2};
    // Within the gap's silence, wherever in it.
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_NEAR(static_cast<double>(cuts[i]), static_cast<double>(expected[i]),
                    static_cast<double>(kSecond / 10))
            << i;
    // What CTrackCuts is given it keeps.
    EXPECT_EQ(CTrackCuts(45 * kSecond, cuts).Cuts(), cuts);
}

TEST(CutsAtDurations, FarGapsUnknownLengthsAndTheEndStopOrBoundTheCuts) {
    TempFolder folder;
    // The gap lies 5 s after the listed end: out of reach, the cut stays within 3 s of it.
    auto reader = SideWithGaps(folder, 30 * kSecond, {15 * kSecond});
    std::vector<std::uint64_t> cuts;
    ASSERT_EQ(PlaceCutsAtDurations(*reader, {10000, 5000}, 30 * kSecond, cuts), S_OK);
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_LE(cuts[0], 13 * kSecond);
    EXPECT_GE(cuts[0], 7 * kSecond);
    // A length the database does not know ends the cuts there.
    ASSERT_EQ(PlaceCutsAtDurations(*reader, {10000, 0, 5000, 5000}, 30 * kSecond, cuts), S_OK);
    EXPECT_EQ(cuts.size(), 1u);
    // Tracks listed past the recording's end give no cuts there; none comes within a second
    // of the end.
    ASSERT_EQ(PlaceCutsAtDurations(*reader, {20000, 20000, 20000}, 30 * kSecond, cuts), S_OK);
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_LE(cuts[0], 29 * kSecond);
}

}  // namespace
}  // namespace sondrel::test
