// The record input on its own: marks and status, the histogram of an unwritten recording,
// and a capture thread that is late to end.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "RecordingTestRig.h"
#include "recording/CRecordInputDSound.h"

namespace sondrel::test {
namespace {

class RecordInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::int16_t> side;
        AppendTone(side, 1000, 16000, 20);
        platform.sim->Deck().UseSamples(std::move(side));
        input = ComPtr<CRecordInputDSound>::Attach(new CRecordInputDSound(
            platform.audio, platform.threads, platform.sim->SimAudio().DeckDevice(), GUID{}));
        path = scratch.Path() / "temp0.wav";
        ASSERT_EQ(input->OpenFile(path), S_OK);
        ASSERT_EQ(input->OpenCapture(nullptr), S_OK);
        platform.sim->StartDeck();
    }

    void WaitForBytes(std::uint64_t bytes) {
        ASSERT_TRUE(WaitFor([&] { return input->BytesWritten() >= bytes; }));
    }

    test::TempFolder scratch;
    TestPlatform platform;
    ComPtr<CRecordInputDSound> input;
    std::filesystem::path path;
};

TEST_F(RecordInputTest, ManualMarksEndWithTheFinalByteCount) {
    EXPECT_EQ(input->OpenCapture(nullptr), E_FAIL);  // one thread per input
    input->StartWriting();
    WaitForBytes(200000);
    platform.threads.PauseAndPark();
    ASSERT_EQ(input->AddMark(), S_OK);
    const std::uint64_t first = input->BytesWritten();
    platform.threads.Resume();
    WaitForBytes(first + 400000);
    platform.threads.PauseAndPark();
    ASSERT_EQ(input->AddMark(), S_OK);
    const std::uint64_t second = input->BytesWritten();
    std::uint32_t seconds = 9, marks = 0, reserved = 9;
    bool writing = false;
    input->GetStatus(seconds, writing, marks, reserved);
    EXPECT_EQ(marks, 2u);
    EXPECT_TRUE(writing);
    platform.threads.Resume();
    WaitForBytes(second + 2 * 176400 + 1);
    input->GetStatus(seconds, writing, marks, reserved);
    EXPECT_GE(seconds, 2u);  // counted from the last mark, not from the start
    EXPECT_LT(seconds, (input->BytesWritten() - first) / 176400);

    ASSERT_EQ(input->CloseCapture(), S_OK);
    EXPECT_TRUE(input->HasThreadEnded());
    std::vector<std::uint64_t> taken;
    ASSERT_EQ(input->TakeMarks(taken), S_OK);
    const auto samples = ReadWaveSamples16(path);
    ASSERT_EQ(taken.size(), 3u);
    EXPECT_EQ(taken[0], first);
    EXPECT_EQ(taken[1], second);
    EXPECT_EQ(taken[2], samples.size() * 2);
}

TEST_F(RecordInputTest, DetectionRefusesMarksAndAnUnwrittenRecordingHasTheEmptyHistogram) {
    ASSERT_EQ(input->SetDetection(true), S_OK);
    EXPECT_EQ(input->AddMark(), S_FALSE);
    // Audio flows through meter and monitor, but nothing is written.
    ASSERT_TRUE(WaitFor([&] { return platform.sim->Deck().FramesPlayed() >= 3 * 44100; }));
    float recentL, recentR, holdL, holdR;
    ASSERT_EQ(input->ReadLevels(recentL, recentR, holdL, holdR, true), S_OK);
    EXPECT_NEAR(holdL, 20 * std::log10(16000.0 / 32768), 0.01);
    ASSERT_EQ(input->CloseCapture(), S_OK);
    float maxPeakDb = 0, levelDb = 0;
    input->ReadHistogram(maxPeakDb, levelDb);
    EXPECT_EQ(maxPeakDb, -120.0f);
    EXPECT_EQ(levelDb, -24.0f);
    std::vector<std::uint64_t> taken{7};
    input->TakeMarks(taken);
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(ReadWaveSamples16(path).empty());  // a valid, empty recording
    int error = 0;
    EXPECT_EQ(input->GetWriteError(error), S_FALSE);
}

TEST_F(RecordInputTest, AFullFileEndsTheRecordingLikeTheEndOfTheSide) {
    // Three seconds stand in for the format's limit of about 6 h 45 min.
    input->SetFileLimitBytes(3 * 176400 + 2);
    ASSERT_EQ(input->SetDetection(true), S_OK);
    input->StartWriting();
    ASSERT_TRUE(WaitFor([&] { return !input->IsWriting(); }));
    std::uint32_t seconds = 0, marks = 0, reserved = 0;
    bool writing = true;
    input->GetStatus(seconds, writing, marks, reserved);
    EXPECT_FALSE(writing);
    EXPECT_EQ(seconds, 3u);
    // What the device goes on delivering is counted as not recorded, until the capture closes.
    EXPECT_TRUE(input->FileLimitReached());
    ASSERT_TRUE(WaitFor([&] { return input->BytesPastFileLimit() >= 176400; }));
    ASSERT_EQ(input->CloseCapture(), S_OK);
    const std::uint64_t pastAtClose = input->BytesPastFileLimit();
    EXPECT_EQ(pastAtClose % 4, 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(input->BytesPastFileLimit(), pastAtClose);
    int error = 0;
    EXPECT_EQ(input->GetWriteError(error), S_FALSE);
    EXPECT_EQ(ReadWaveSamples16(path).size(), 3u * 44100 * 2);
    // Detection measured what was written and no more.
    std::vector<std::uint64_t> taken;
    EXPECT_EQ(input->TakeMarks(taken), S_OK);
    for (const std::uint64_t mark : taken)
        EXPECT_LE(mark, 3u * 176400);
}

TEST_F(RecordInputTest, ALateCaptureThreadNeverTouchesTheFinishedFile) {
    input->SetStopTimeout(std::chrono::milliseconds(100));
    input->StartWriting();
    WaitForBytes(300000);
    platform.audio.hang.store(1);
    ASSERT_TRUE(WaitFor([&] { return platform.audio.hang.load() == 2; }));
    // The thread hangs in the driver with audio waiting: closing gives up on it after the
    // timeout and finishes the file without it.
    EXPECT_EQ(input->CloseCapture(), S_OK);
    EXPECT_FALSE(input->HasThreadEnded());
    const auto sizeAtClose = std::filesystem::file_size(path);
    const auto samplesAtClose = ReadWaveSamples16(path);
    EXPECT_EQ(samplesAtClose.size() * 2 + 44, sizeAtClose);

    // Now it wakes, processes what it found and leaves; the finished file stays as it was.
    platform.audio.hang.store(0);
    ASSERT_TRUE(WaitFor([&] { return input->HasThreadEnded(); }));
    EXPECT_EQ(std::filesystem::file_size(path), sizeAtClose);
    EXPECT_EQ(ReadWaveSamples16(path), samplesAtClose);
    // The thread kept the input alive by its own reference and drops it as its last act.
    EXPECT_TRUE(WaitFor([&] {
        input->AddRef();
        return input->Release() == 1;
    }));
}

}  // namespace
}  // namespace sondrel::test
