// The cuts the track page edits: every change keeps tracks a second long and inside the
// recording, undo brings back exactly what was, and snapping finds the quiet gap.
#include <gtest/gtest.h>

#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "recording/CTrackCuts.h"
#include "recording/QuietestFrame.h"

namespace sondrel::test {
namespace {

constexpr std::uint64_t kSecond = 44100;

TEST(TrackCuts, EditsKeepTheLimitsAndUndoRestoresEachStep) {
    // Marks as the recorder gives them: two cuts, and the end of the last track before the
    // recording's quiet end.
    CTrackCuts cuts =
        CTrackCuts::FromMarks({10 * kSecond * 4, 20 * kSecond * 4, 30 * kSecond * 4}, 35 * kSecond);
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{10 * kSecond, 20 * kSecond}));
    EXPECT_EQ(cuts.EndFrame(), 30 * kSecond);
    EXPECT_EQ(cuts.ToMarks(),
              (std::vector<std::uint64_t>{10 * kSecond * 4, 20 * kSecond * 4, 30 * kSecond * 4}));

    // Nothing moves without a selection; selection wraps both ways.
    EXPECT_FALSE(cuts.MoveSelected(kSecond));
    cuts.SelectNext(-1);
    EXPECT_EQ(cuts.Selected(), 1);
    cuts.SelectNext(1);
    EXPECT_EQ(cuts.Selected(), 0);

    // Moves stop a second short of the neighbours, and of the start.
    EXPECT_TRUE(cuts.MoveSelected(-100 * kSecond));
    EXPECT_EQ(cuts.Cuts()[0], kSecond);
    EXPECT_TRUE(cuts.MoveSelected(100 * kSecond));
    EXPECT_EQ(cuts.Cuts()[0], 19 * kSecond);
    EXPECT_FALSE(cuts.MoveSelected(kSecond));  // at its limit: no change, nothing to undo
    cuts.Select(1);
    EXPECT_TRUE(cuts.MoveSelectedTo(100 * kSecond));
    EXPECT_EQ(cuts.Cuts()[1], 29 * kSecond);  // a second before the end of the last track

    // Adding keeps a second to every cut and end; the new cut is selected.
    EXPECT_FALSE(cuts.Add(kSecond / 2));
    EXPECT_FALSE(cuts.Add(19 * kSecond + kSecond / 2));
    EXPECT_FALSE(cuts.Add(29 * kSecond + kSecond / 2));
    EXPECT_TRUE(cuts.Add(5 * kSecond));
    EXPECT_EQ(cuts.Selected(), 0);
    EXPECT_EQ(cuts.TrackCount(), 4u);
    EXPECT_EQ(cuts.TrackFrames(1), 14 * kSecond);
    EXPECT_TRUE(cuts.RemoveSelected());
    EXPECT_EQ(cuts.Selected(), 0);

    // Undo walks back through every change, selection included.
    ASSERT_TRUE(cuts.Undo());  // the removal
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{5 * kSecond, 19 * kSecond, 29 * kSecond}));
    EXPECT_EQ(cuts.Selected(), 0);
    ASSERT_TRUE(cuts.Undo());  // the addition
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{19 * kSecond, 29 * kSecond}));
    ASSERT_TRUE(cuts.Undo());
    ASSERT_TRUE(cuts.Undo());
    ASSERT_TRUE(cuts.Undo());
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{10 * kSecond, 20 * kSecond}));
    EXPECT_FALSE(cuts.Undo());

    // Replacing every cut is one step, keeps the limits and selects the first.
    EXPECT_FALSE(cuts.ReplaceAll({10 * kSecond, 20 * kSecond}));
    EXPECT_TRUE(cuts.ReplaceAll({4 * kSecond, 4 * kSecond + 10, 16 * kSecond, 29 * kSecond + 1}));
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{4 * kSecond, 16 * kSecond}));
    EXPECT_EQ(cuts.Selected(), 0);
    ASSERT_TRUE(cuts.Undo());
    EXPECT_EQ(cuts.Cuts(), (std::vector<std::uint64_t>{10 * kSecond, 20 * kSecond}));
    EXPECT_FALSE(cuts.Undo());

    // Cuts that break the limits never enter, and more than 40 tracks are kept as they are.
    const CTrackCuts bad(10 * kSecond,
                         {0, kSecond / 2, 3 * kSecond, 3 * kSecond + 10, 9 * kSecond + 1});
    EXPECT_EQ(bad.Cuts(), std::vector<std::uint64_t>{3 * kSecond});
    std::vector<std::uint64_t> many;
    for (std::uint64_t i = 1; i <= 45; ++i)
        many.push_back(i * 2 * kSecond);
    EXPECT_EQ(CTrackCuts(100 * kSecond, many).TrackCount(), 46u);
}

TEST(TrackCuts, SnapFindsTheQuietestMomentWithinASecond) {
    TempFolder folder;
    // Loud noise, with a 20 ms gap of silence 0.6 s after the cut and a quieter stretch
    // 3 s away (too far to count).
    std::vector<std::int16_t> side = test::Noise(10 * kSecond * 2, 99);
    for (std::int16_t& sample : side)
        sample = static_cast<std::int16_t>(sample / 4);  // loud, a quarter of full scale
    const std::uint64_t gap = 5 * kSecond + 6 * kSecond / 10;
    for (std::uint64_t f = gap - 441; f < gap + 441; ++f)
        side[2 * f] = side[2 * f + 1] = 0;
    for (std::uint64_t f = 8 * kSecond; f < 9 * kSecond; ++f)
        side[2 * f] = side[2 * f + 1] = 0;
    WriteFile(folder / "side.wav", RiffWave({Chunk("fmt ", FormatPayload(CaptureFormat(), 16)),
                                             Chunk("data", SamplesToBytes(side))}));
    auto reader = ComPtr<CWaveReader>::Attach(new CWaveReader());
    ASSERT_EQ(reader->Open(folder / "side.wav", 0), S_OK);

    CTrackCuts cuts(10 * kSecond, {5 * kSecond});
    cuts.Select(0);
    ASSERT_TRUE(cuts.SnapSelected([&](std::uint64_t from, std::uint64_t to) {
        std::uint64_t frame = from;
        EXPECT_EQ(FindQuietestFrame(*reader, from, to, frame), S_OK);
        return frame;
    }));
    EXPECT_NEAR(static_cast<double>(cuts.Cuts()[0]), static_cast<double>(gap), 441.0);
    EXPECT_TRUE(cuts.Undo());
    EXPECT_EQ(cuts.Cuts()[0], 5 * kSecond);
}

}  // namespace
}  // namespace sondrel::test
