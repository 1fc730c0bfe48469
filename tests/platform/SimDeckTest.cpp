#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "common/SignalKit.h"
#include "platform/RingDrainer.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/CTrackDetector.h"

namespace sondrel {
namespace {

using test::RingDrainer;

constexpr std::uint32_t kRingBytes = 176400;

std::unique_ptr<ICaptureRing> OpenDeckRing(CSimPlatform& platform) {
    std::unique_ptr<ICaptureRing> ring;
    EXPECT_EQ(platform.Audio().CreateCaptureRing(platform.SimAudio().DeckDevice(), CaptureFormat(),
                                                 kRingBytes, ring),
              S_OK);
    return ring;
}

using test::NumberedSide;

TEST(SimDeckTest, SilenceUntilTheDeckStartsThenTheSideFromItsFirstSample) {
    auto platform = CSimPlatform::CreateDefault();
    auto ring = OpenDeckRing(*platform);
    ASSERT_TRUE(ring);
    std::vector<std::int16_t> got;
    RingDrainer drainer(*ring);
    EXPECT_EQ(drainer.Poll(got), 0u);  // not started: nothing captured
    ASSERT_EQ(ring->StartLooping(), S_OK);
    for (int i = 0; i < 3; ++i)
        drainer.Poll(got);
    ASSERT_GT(got.size(), 3u * 44100u);
    EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](std::int16_t s) { return s == 0; }));
    EXPECT_FALSE(platform->Deck().IsStarted());

    platform->StartDeck();
    got.clear();
    drainer.Poll(got);
    const std::size_t frames = got.size() / 2;
    ASSERT_GT(frames, 1000u);
    std::vector<std::int16_t> expected(frames * 2);
    platform->Deck().DemoSide().Render(0, static_cast<std::uint32_t>(frames), expected.data());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(platform->Deck().FramesPlayed(), frames);

    // Starting again puts the needle back at the beginning.
    platform->StartDeck();
    EXPECT_EQ(platform->Deck().FramesPlayed(), 0u);
    got.clear();
    drainer.Poll(got);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 2000, expected.begin()));
}

TEST(SimDeckTest, LosslessRingDeliversEverySampleExactlyOnceEndsWithTheSideThenKeepsTime) {
    auto platform = CSimPlatform::CreateDefault();
    platform->UseSimulatedClock();
    const std::uint32_t sideFrames = 3 * 44100 + 12345;  // several wraps, ending mid-ring
    platform->Deck().UseSamples(NumberedSide(sideFrames));
    auto ring = OpenDeckRing(*platform);
    ASSERT_EQ(ring->StartLooping(), S_OK);
    platform->StartDeck();

    // A consumer that takes uneven bites, sometimes less than is there, and asks on well
    // after the side has played.
    std::vector<std::int16_t> got;
    RingDrainer drainer(*ring);
    const std::uint32_t bites[] = {~0u, 4000, 123456, 4, ~0u, 176396, 70000};
    for (int i = 0; platform->Deck().FramesPlayed() < sideFrames || i < 40; ++i) {
        if (got.size() < sideFrames * 2u) {
            EXPECT_FALSE(ring->SourceEnded()) << i;
        }
        drainer.Poll(got, bites[i % std::size(bites)]);
        ASSERT_LT(i, 1000);
    }
    drainer.Poll(got);
    const std::vector<std::int16_t> side = NumberedSide(sideFrames);
    EXPECT_EQ(got, side);  // nothing after it
    EXPECT_TRUE(ring->SourceEnded());
    EXPECT_TRUE(platform->Deck().IsSideFinished());

    // After the side, silence at the clock's pace.
    platform->Threads().SleepMs(100);
    drainer.Poll(got);
    ASSERT_EQ(got.size(), side.size() + 4410u * 2);
    EXPECT_TRUE(
        std::all_of(got.begin() + side.size(), got.end(), [](std::int16_t s) { return s == 0; }));

    // Started again, the deck plays the side anew, as fast as it is taken.
    platform->StartDeck();
    got.clear();
    drainer.Poll(got);
    EXPECT_FALSE(ring->SourceEnded());
    ASSERT_GT(got.size(), 40000u);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), side.begin()));
}

TEST(SimDeckTest, LosslessRingHandsTheWholeSideToAPollingThread) {
    auto platform = CSimPlatform::CreateDefault();
    const std::uint32_t sideFrames = 20 * 44100;
    platform->Deck().UseSamples(NumberedSide(sideFrames));
    auto ring = OpenDeckRing(*platform);
    IThreadServices& threads = platform->Threads();

    // The ring starts before the deck does: the silence in between is no part of the side, so
    // the thread polls until the deck has played the side to its end.
    std::vector<std::int16_t> got;
    got.reserve(sideFrames * 2 + 2 * kRingBytes);
    std::thread capture([&] {
        RingDrainer drainer(*ring);
        ring->StartLooping();
        while (!platform->Deck().IsSideFinished()) {
            threads.SleepMs(10);
            drainer.Poll(got);
        }
        drainer.Poll(got);
        ring->Stop();
    });
    platform->StartDeck();
    capture.join();
    const std::vector<std::int16_t> side = NumberedSide(sideFrames);
    // Skip the leading silence.
    const auto first = std::find_if(got.begin(), got.end(), [](std::int16_t s) { return s != 0; });
    ASSERT_NE(first, got.end());
    const auto start = first - got.begin() - 1;  // frame 0's left sample is 0 itself
    ASSERT_GE(start, 0);
    ASSERT_EQ(start % 2, 0);
    ASSERT_LE(static_cast<std::size_t>(start) + side.size(), got.size());
    EXPECT_TRUE(std::equal(side.begin(), side.end(), got.begin() + start));
}

TEST(SimDeckTest, PacedRingFollowsTheClockAndOverwritesWhatWasNotTaken) {
    auto platform = CSimPlatform::CreateDefault();
    platform->SetCaptureMode(SimCaptureMode::Paced);
    platform->UseSimulatedClock();
    platform->Deck().UseSamples(NumberedSide(10 * 44100));
    auto ring = OpenDeckRing(*platform);
    IThreadServices& threads = platform->Threads();
    platform->StartDeck();
    ASSERT_EQ(ring->StartLooping(), S_OK);
    threads.SleepMs(200);
    std::vector<std::int16_t> got;
    RingDrainer drainer(*ring);
    drainer.Poll(got);
    EXPECT_EQ(got.size(), 2u * 200 * 441 / 10);
    // The first frames are the side's first.
    EXPECT_EQ(got[0], 0);
    EXPECT_EQ(got[2], 1);

    // Away for longer than the ring holds: the oldest audio is gone, positions keep going.
    threads.SleepMs(1300);
    std::uint32_t capture = 0, read = 0;
    ASSERT_EQ(ring->GetCurrentPosition(capture, read), S_OK);
    EXPECT_EQ(platform->Deck().FramesPlayed(), 1500u * 441 / 10);
    EXPECT_EQ(read, 1500u * 441 / 10 * 4 % kRingBytes);
    // The reader's next bytes were overwritten on the ring's last pass: they hold frames a
    // whole ring later than the ones it missed, up to the newest.
    got.clear();
    drainer.Poll(got);
    const std::uint32_t ringFrames = kRingBytes / 4;
    ASSERT_EQ(got.size(), 2u * (1500u * 441 / 10 - 200u * 441 / 10 - ringFrames));
    EXPECT_EQ(got.front(), static_cast<std::int16_t>(200u * 441 / 10 + ringFrames));
    EXPECT_EQ(got[got.size() - 2], static_cast<std::int16_t>(1500u * 441 / 10 - 1));
}

TEST(SimDeckTest, DemoSideHasSongsGapsAndRunOut) {
    const CSimDemoSide side;
    const std::uint32_t rate = CSimDemoSide::kFramesPerSecond;
    ASSERT_GE(side.Songs().size(), 3u);
    // Peak per half second over the whole side.
    const std::uint32_t blockFrames = rate / 2;
    std::vector<std::int16_t> block(blockFrames * 2);
    std::vector<int> peaks;
    std::vector<double> correlation;  // left/right likeness per block
    for (std::uint64_t at = 0; at < side.TotalFrames(); at += blockFrames) {
        side.Render(at, blockFrames, block.data());
        int peak = 0;
        double lr = 0, ll = 0, rr = 0;
        for (std::uint32_t i = 0; i < blockFrames; ++i) {
            peak = std::max({peak, std::abs(block[2 * i]), std::abs(block[2 * i + 1])});
            lr += double(block[2 * i]) * block[2 * i + 1];
            ll += double(block[2 * i]) * block[2 * i];
            rr += double(block[2 * i + 1]) * block[2 * i + 1];
        }
        peaks.push_back(peak);
        correlation.push_back(lr / std::sqrt(ll * rr + 1));
    }
    auto blockOf = [&](std::uint64_t frame) {
        return static_cast<std::size_t>(frame / blockFrames);
    };

    std::uint64_t previousEnd = 0;
    for (std::size_t s = 0; s < side.Songs().size(); ++s) {
        const SimSideSection& song = side.Songs()[s];
        EXPECT_GE(song.frames, 50u * rate) << s;
        if (s > 0) {
            const std::uint64_t gap = song.startFrame - previousEnd;
            EXPECT_GE(gap, 3u * rate) << s;
            EXPECT_LE(gap, 5u * rate) << s;
            for (std::size_t b = blockOf(previousEnd) + 1; b < blockOf(song.startFrame); ++b) {
                EXPECT_LE(peaks[b], CSimDemoSide::kNoisePeak) << "gap block " << b;
            }
        }
        // Loud throughout, apart from the fades at its edges; and stereo, not one signal
        // copied to both channels.
        for (std::size_t b = blockOf(song.startFrame) + 1;
             b + 4 < blockOf(song.startFrame + song.frames); ++b) {
            EXPECT_GT(peaks[b], 3000) << "song " << s << " block " << b;
            EXPECT_LT(correlation[b], 0.999) << "song " << s << " block " << b;
        }
        previousEnd = song.startFrame + song.frames;
    }
    const SimSideSection runOut = side.RunOut();
    EXPECT_EQ(runOut.frames, 70u * rate);
    EXPECT_EQ(runOut.startFrame + runOut.frames, side.TotalFrames());
    for (std::size_t b = blockOf(runOut.startFrame) + 1; b < peaks.size(); ++b) {
        EXPECT_LE(peaks[b], CSimDemoSide::kNoisePeak);
        EXPECT_GT(peaks[b], 0);  // surface noise, not digital silence
    }

    // Songs differ from one another, and rendering is repeatable.
    std::vector<std::int16_t> a(2000), b(2000), again(2000);
    side.Render(side.Songs()[0].startFrame + 10 * rate, 1000, a.data());
    side.Render(side.Songs()[1].startFrame + 10 * rate, 1000, b.data());
    side.Render(side.Songs()[0].startFrame + 10 * rate, 1000, again.data());
    EXPECT_NE(a, b);
    EXPECT_EQ(a, again);
    // Past the end: digital silence.
    side.Render(side.TotalFrames() - 10, 1000, a.data());
    EXPECT_TRUE(std::all_of(a.begin() + 20, a.end(), [](std::int16_t s) { return s == 0; }));
}

// The demo exists to show automatic splitting: the track detector must find the songs, cut in
// the gaps and end the side during the run-out.
TEST(SimDeckTest, DemoSideSplitsIntoItsSongs) {
    const CSimDemoSide side;
    const std::uint32_t rate = CSimDemoSide::kFramesPerSecond;
    std::vector<DetectedTrack> tracks;
    CTrackDetector detector;
    ASSERT_EQ(detector.Prepare(static_cast<float>(rate), &tracks), S_OK);
    std::vector<std::int16_t> block(rate / 100 * 2);
    std::uint64_t endOfSideFrame = 0;
    for (std::uint64_t at = 0; at < side.TotalFrames() && endOfSideFrame == 0; at += rate / 100) {
        side.Render(at, rate / 100, block.data());
        if (detector.Feed(block.data(), block.size()))
            endOfSideFrame = at;
    }
    const SimSideSection runOut = side.RunOut();
    EXPECT_GT(endOfSideFrame, runOut.startFrame + 60u * rate);
    ASSERT_EQ(detector.Segment(), S_OK);
    ASSERT_EQ(tracks.size(), side.Songs().size());
    for (std::size_t i = 0; i + 1 < tracks.size(); ++i) {
        const auto cut = static_cast<std::uint64_t>(tracks[i].EndFrame());
        const SimSideSection& song = side.Songs()[i];
        EXPECT_GT(cut, song.startFrame + song.frames) << i;
        EXPECT_LT(cut, side.Songs()[i + 1].startFrame) << i;
    }
}

}  // namespace
}  // namespace sondrel
