// The recorder end to end over the simulated turntable: splitting by marks and by detection,
// the equaliser, meter and monitor through the real chain, a full disk, temporary names and
// the stored settings.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <fstream>

#include "RecordingTestRig.h"
#include "app/CMemorySettingsStore.h"
#include "common/FileSizeLimit.h"
#include "common/SignalKit.h"
#include "devices/KnownDevices.h"
#include "recording/CRecorder.h"
#include "recording/TempFileName.h"

namespace sondrel::test {
namespace {

constexpr std::uint64_t kFrameBytes = 4;

using test::NoiseSide;

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform.sim->SetTempFolder(scratch.Path());
        recorder = ComPtr<CRecorder>::Attach(new CRecorder(platform, profile));
        const IdentifiedDevice device{FindKnownDevice(SimSystemDescription::kDemoVendorId,
                                                      SimSystemDescription::kDemoProductId),
                                      platform.sim->SimAudio().DeckDevice()};
        ASSERT_EQ(recorder->UseDevice(device), 0);
    }

    CSimDeck& Deck() { return platform.sim->Deck(); }

    // Opens an input and starts writing exactly at the side's first frame.
    void StartSide(std::vector<std::int16_t> side, bool split, int filter, float gainDb) {
        Deck().UseSamples(std::move(side));
        ASSERT_EQ(recorder->OpenInput(nullptr, split), S_OK);
        recorder->SetSourceFilter(filter);
        recorder->SetInputGain(gainDb);
        platform.threads.PauseAndPark();
        ASSERT_EQ(recorder->StartRecording(), S_OK);
        platform.sim->StartDeck();
        platform.threads.Resume();
    }

    // Waits for frames of the side to be played, then holds the capture thread still.
    void PlayUntilAndPark(std::uint64_t frames) {
        ASSERT_TRUE(WaitFor([&] { return Deck().FramesPlayed() >= frames; }));
        platform.threads.PauseAndPark();
    }

    void PlayWholeSideAndStop() {
        PlayUntilAndPark(Deck().SideFrames());
        ASSERT_EQ(recorder->StopRecording(), S_OK);
        platform.threads.Resume();
    }

    test::TempFolder scratch;
    TestPlatform platform;
    CMemorySettingsStore profile;
    ComPtr<CRecorder> recorder;
};

TEST_F(RecorderTest, TwoMarksGiveThreeFilesHoldingExactlyTheAudioBetweenThem) {
    const auto side = NoiseSide(12);
    StartSide(side, false, kSourceFilterNone, 0.0f);
    PlayUntilAndPark(3 * 44100);
    EXPECT_EQ(recorder->MarkTrack(), S_OK);
    platform.threads.Resume();
    PlayUntilAndPark(7 * 44100);
    EXPECT_EQ(recorder->MarkTrack(), S_OK);
    std::uint32_t seconds = 99, markCount = 0, reserved = 1;
    bool writing = false;
    ASSERT_EQ(recorder->GetStatus(seconds, writing, markCount, reserved), S_OK);
    EXPECT_EQ(seconds, 0u);  // just marked
    EXPECT_TRUE(writing);
    EXPECT_EQ(markCount, 2u);
    EXPECT_EQ(reserved, 0u);
    platform.threads.Resume();
    PlayWholeSideAndStop();

    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 3u);
    const auto whole = ReadWaveSamples16(recorder->TempFileName());
    ASSERT_GE(whole.size(), side.size());
    // The gain is 0 dB and the filter off, and writing began at the side's first frame.
    EXPECT_TRUE(std::equal(side.begin(), side.end(), whole.begin()));

    std::vector<std::int16_t> joined;
    for (const auto& file : files) {
        EXPECT_NE(file, recorder->TempFileName().string());
        const auto part = ReadWaveSamples16(file);
        EXPECT_FALSE(part.empty());
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, whole);  // the end mark closes the last track at the recording's end
    EXPECT_GE(ReadWaveSamples16(files[0]).size(), 3u * 44100 * 2);

    recorder->CloseInput();
    for (const auto& file : files)
        EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

// The track page's edits: each is in the journal at once, so a run killed after the edit
// recovers the edited tracks; recutting in the same run gives the same tracks and removes the
// files of the old cut that are no longer tracks.
TEST_F(RecorderTest, EditedCutsSurviveAKillAndRecutTheTrackFiles) {
    const auto side = NoiseSide(8);
    StartSide(side, false, kSourceFilterNone, 0.0f);
    PlayUntilAndPark(2 * 44100);
    EXPECT_EQ(recorder->MarkTrack(), S_OK);
    platform.threads.Resume();
    PlayUntilAndPark(5 * 44100);
    EXPECT_EQ(recorder->MarkTrack(), S_OK);
    platform.threads.Resume();
    PlayWholeSideAndStop();
    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 3u);

    std::vector<std::uint64_t> marks;
    std::uint64_t frames = 0;
    ASSERT_TRUE(recorder->EditableMarks(marks, frames));
    ASSERT_EQ(marks.size(), 3u);
    const auto whole = ReadWaveSamples16(recorder->TempFileName());
    EXPECT_EQ(frames, whole.size() / 2);
    // One cut, at a frame no mark was at: two tracks.
    const std::uint64_t cut = 3 * 44100 + 17;
    const std::vector<std::uint64_t> edited{cut * kFrameBytes, marks.back()};
    ASSERT_EQ(recorder->NoteMarks(edited), S_OK);

    // Killed here: a later run finds the recording and cuts it where the edit put the cut.
    test::TempFolder later;
    const auto copy = later.Path() / "temp0.wav";
    std::filesystem::copy_file(recorder->TempFileName(), copy);
    std::filesystem::copy_file(CRecordingJournal::JournalPathOf(recorder->TempFileName()),
                               CRecordingJournal::JournalPathOf(copy));
    auto second = ComPtr<CRecorder>::Attach(new CRecorder(platform, profile));
    std::vector<std::string> recovered;
    ASSERT_EQ(second->RecoverRecording(copy.string(), recovered), S_OK);
    ASSERT_EQ(recovered.size(), 2u);
    EXPECT_EQ(ReadWaveSamples16(recovered[0]).size(), cut * 2);

    // Or the same run goes on: the tracks are made again and the third file goes away.
    std::vector<std::string> recut;
    ASSERT_EQ(recorder->RecutTracks(recut), S_OK);
    ASSERT_EQ(recut.size(), 2u);
    const auto first = ReadWaveSamples16(recut[0]);
    const auto rest = ReadWaveSamples16(recut[1]);
    ASSERT_EQ(first.size(), cut * 2);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), whole.begin()));
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), whole.begin() + cut * 2));
    EXPECT_EQ(first.size() + rest.size(), whole.size());
    EXPECT_FALSE(std::filesystem::exists(files[2]));
}

TEST_F(RecorderTest, WithoutMarksTheRecordingItselfIsTheOnlyTrack) {
    StartSide(NoiseSide(2), false, kSourceFilterNone, 0.0f);
    PlayWholeSideAndStop();
    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], recorder->TempFileName().string());
    EXPECT_GE(ReadWaveSamples16(files[0]).size(), 2u * 44100 * 2);
    std::uint32_t s, m, r;
    bool w;
    EXPECT_EQ(recorder->GetStatus(s, w, m, r), E_FAIL);  // no input any more
    std::vector<std::string> again;
    EXPECT_EQ(recorder->CloseInput(), S_OK);
    EXPECT_EQ(recorder->FinishRecording(false, false, again), E_FAIL);
    EXPECT_TRUE(again.empty());
}

TEST_F(RecorderTest, AutomaticSplittingCutsInTheGapsAndStopsAfterTheQuietEnd) {
    // Lead-in, three songs with 4 s gaps, then the deck's silence until writing stops.
    std::vector<std::int16_t> side;
    AppendSilence(side, 2);
    AppendTone(side, 500, 8000, 60);
    AppendSilence(side, 4);
    AppendTone(side, 700, 6000, 60);
    AppendSilence(side, 4);
    AppendTone(side, 400, 9000, 50);
    StartSide(side, true, kSourceFilterNone, 0.0f);
    EXPECT_EQ(recorder->MarkTrack(), S_OK);  // ignored while detecting

    std::uint32_t seconds = 0, markCount = 0, reserved = 0;
    bool writing = true;
    ASSERT_TRUE(WaitFor([&] {
        recorder->GetStatus(seconds, writing, markCount, reserved);
        return !writing;
    }));
    EXPECT_EQ(markCount, 0u);
    // The side's 180 s plus a little over a minute of quiet, give or take one poll.
    EXPECT_GE(seconds, 240u);
    EXPECT_LE(seconds, 242u);
    EXPECT_EQ(recorder->LostSeconds(), 0.0);  // the lossless ring waits for a slow disk

    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 3u);
    const double expectedEnds[] = {64.0, 128.0, 185.0};  // gap middles, 5 s into the quiet
    double start = 0;
    const auto whole = ReadWaveSamples16(recorder->TempFileName());
    std::size_t offset = 0;
    for (int i = 0; i < 3; ++i) {
        const auto part = ReadWaveSamples16(files[i]);
        const double partSeconds = static_cast<double>(part.size()) / 2 / 44100;
        EXPECT_NEAR(partSeconds, expectedEnds[i] - start, 0.5) << "track " << i;
        ASSERT_LE(offset + part.size(), whole.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + offset));
        offset += part.size();
        start = expectedEnds[i];
    }

    // The same recording found unfinished by a later run is cut into the same tracks.
    test::TempFolder later;
    const auto copy = later.Path() / "temp0.wav";
    std::filesystem::copy_file(recorder->TempFileName(), copy);
    auto second = ComPtr<CRecorder>::Attach(new CRecorder(platform, profile));
    std::vector<std::string> recovered;
    ASSERT_EQ(second->RecoverRecording(copy.string(), recovered), S_OK);
    ASSERT_EQ(recovered.size(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        EXPECT_EQ(ReadWaveSamples16(recovered[i]), ReadWaveSamples16(files[i])) << "track " << i;
}

// RMS over the middle of a stretch of the recorded left channel.
double RmsOfLeft(const std::vector<std::int16_t>& samples, double fromSeconds, double seconds) {
    const auto first = static_cast<std::size_t>(fromSeconds * 44100);
    const auto count = static_cast<std::size_t>(seconds * 44100);
    double sum = 0;
    for (std::size_t i = first; i < first + count; ++i)
        sum += double(samples[2 * i]) * samples[2 * i];
    return std::sqrt(sum / count);
}

TEST_F(RecorderTest, EqualiserResponseThroughTheChainMatchesTheCurves) {
    struct Point {
        double hz;
        double db;
    };
    const struct {
        int type;
        std::vector<Point> points;
    } cases[] = {
        {kSourceFilterRiaa, {{0, 19.6}, {100, 12.8}, {1000, -0.2}, {5000, -8.4}, {20000, -19.9}}},
        {kSourceFilterChrome, {{1000, -0.8}, {5000, -4.5}, {10000, -5.0}, {16000, -5.0}}},
        {kSourceFilterBassShelf, {{0, 20.0}, {100, 13.2}, {500, 3.0}, {1000, 1.0}, {10000, 0.0}}},
    };
    const double amplitude = 3000;
    for (const auto& c : cases) {
        std::vector<std::int16_t> side;
        for (const Point& p : c.points)
            AppendTone(side, p.hz, amplitude, 2.0);
        StartSide(side, false, c.type, 0.0f);
        PlayWholeSideAndStop();
        std::vector<std::string> files;
        ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
        const auto recorded = ReadWaveSamples16(files.at(0));
        for (std::size_t i = 0; i < c.points.size(); ++i) {
            const double reference = c.points[i].hz == 0 ? amplitude : amplitude / std::sqrt(2.0);
            const double db = 20 * std::log10(RmsOfLeft(recorded, 2.0 * i + 1.0, 1.0) / reference);
            EXPECT_NEAR(db, c.points[i].db, 0.2)
                << "type " << c.type << " at " << c.points[i].hz << " Hz";
        }
        recorder->CloseInput();
    }
}

TEST_F(RecorderTest, MeterReadsFullScaleAndTheMonitorPlaysExactlyWhatIsWritten) {
    std::vector<std::int16_t> side;
    AppendTone(side, 1000, 32767, 30.0);
    Deck().UseSamples(side);
    side.clear();
    AppendTone(side, 440, 20000, 2.0);  // +9 dB drives this far past full scale
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    platform.threads.PauseAndPark();
    platform.sim->StartDeck();
    platform.threads.Resume();
    PlayUntilAndPark(44100);
    float recentL, recentR, holdL, holdR;
    bool active = true;
    ASSERT_EQ(recorder->GetLevels(recentL, recentR, holdL, holdR, active), S_OK);
    EXPECT_NEAR(holdL, 0.0f, 0.01f);
    EXPECT_NEAR(holdR, 0.0f, 0.01f);
    EXPECT_NEAR(recentL, 0.0f, 0.01f);
    active = false;
    ASSERT_EQ(recorder->GetLevels(recentL, recentR, holdL, holdR, active), S_OK);
    for (float v : {recentL, recentR, holdL, holdR})
        EXPECT_EQ(v, -144.0f);
    platform.threads.Resume();
    recorder->CloseInput();

    // Now with gain and the RIAA curve: what the file holds is what the monitor was given.
    Deck().UseSamples(side);
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    recorder->SetSourceFilter(kSourceFilterRiaa);
    recorder->SetInputGain(9.0f);
    const SimOutputRecord* record = platform.sim->SimAudio().OutputRecord(recorder->MonitorGuid());
    ASSERT_NE(record, nullptr);
    platform.threads.PauseAndPark();
    const std::size_t before = record->bytes.size();  // nothing was written yet
    ASSERT_EQ(recorder->StartRecording(), S_OK);
    platform.sim->StartDeck();
    platform.threads.Resume();
    PlayWholeSideAndStop();
    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    const auto written = ReadWaveSamples16(files.at(0));
    ASSERT_EQ(record->droppedBytes.load(), 0u);
    ASSERT_GE(record->bytes.size(), before + written.size() * 2);
    EXPECT_EQ(std::memcmp(record->bytes.data() + before, written.data(), written.size() * 2), 0);
    // 440 Hz through the curve and +9 dB clips at the 16-bit limits, never wraps.
    const auto [low, high] = std::minmax_element(written.begin(), written.end());
    EXPECT_EQ(*high, 32767);
    EXPECT_EQ(*low, -32768);
}

TEST_F(RecorderTest, AFullDiskStopsWritingKeepsAValidFileAndReportsTheError) {
    const auto side = NoiseSide(8);               // longer than the file may grow
    constexpr rlim_t kLimitBytes = 44 + 1000001;  // not a whole frame
    test::FileSizeLimit limit(kLimitBytes);
    ASSERT_TRUE(limit.Set());

    StartSide(side, false, kSourceFilterNone, 0.0f);
    std::uint32_t seconds, markCount, reserved;
    bool writing = true;
    const bool stopped = WaitFor([&] {
        recorder->GetStatus(seconds, writing, markCount, reserved);
        return !writing;
    });
    int error = 0;
    EXPECT_EQ(recorder->GetWriteError(error), S_OK);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(recorder->FileLimitWasReached());  // a full disk, not a full file
    std::vector<std::string> files;
    const HRESULT finished = recorder->FinishRecording(false, false, files);
    limit.Restore();

    ASSERT_TRUE(stopped);
    EXPECT_EQ(finished, S_OK);
    EXPECT_EQ(recorder->GetWriteError(error), S_OK);  // still readable after finishing
    ASSERT_EQ(files.size(), 1u);
    const auto kept = ReadWaveSamples16(files[0]);
    EXPECT_EQ(kept.size() * 2, (kLimitBytes - 44) / kFrameBytes * kFrameBytes);
    const auto mismatch = std::mismatch(kept.begin(), kept.end(), side.begin());
    EXPECT_EQ(mismatch.first - kept.begin(), kept.end() - kept.begin());
    EXPECT_EQ(std::filesystem::file_size(files[0]), 44 + kept.size() * 2);

    // The next input starts without the old error.
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    EXPECT_EQ(recorder->GetWriteError(error), S_FALSE);
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(RecorderTest, TheRecordingsFolderIsMadePrivateAndOneThatCannotBeWrittenStopsTheStart) {
    const auto folder = scratch.Path() / "state" / "sondrel" / "recordings";
    recorder->SetRecordingsFolder(folder);
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    EXPECT_EQ(std::filesystem::status(folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(recorder->TempFileName().parent_path(), folder);

    // Links where the write probe might go lead to a file outside: it is never touched.
    WriteText(scratch.Path() / "outside", "keep me");
    for (const std::string& name :
         {std::string(".write-probe"), ".write-probe-" + std::to_string(::getpid()) + "-0"}) {
        std::filesystem::create_symlink(scratch.Path() / "outside", folder / name);
    }
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    EXPECT_EQ(ReadText(scratch.Path() / "outside"), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(folder / ".write-probe"));

    // A file where a folder should be (root may write anywhere, so rights would not do).
    WriteText(scratch.Path() / "plain", "x");
    recorder->SetRecordingsFolder(scratch.Path() / "plain" / "recordings");
    EXPECT_EQ(recorder->OpenInput(nullptr, false), E_RECORDINGS_FOLDER);
    EXPECT_NE(recorder->RecordingsFolderProblem().find("plain"), std::string::npos)
        << recorder->RecordingsFolderProblem();
    EXPECT_EQ(recorder->StartRecording(), E_FAIL);
}

TEST_F(RecorderTest, TemporaryNamesSkipExistingFilesAndNeverTruncateThem) {
    for (int n = 0; n < 3; ++n)
        WriteText(scratch.Path() / ("temp" + std::to_string(n) + ".wav"),
                  "keep " + std::to_string(n));
    std::filesystem::create_directory(scratch.Path() / "temp4.wav");  // a folder takes a name too
    StartSide(NoiseSide(3), false, kSourceFilterNone, 0.0f);
    EXPECT_EQ(recorder->TempFileName(), scratch.Path() / "temp3.wav");
    PlayUntilAndPark(44100);
    recorder->MarkTrack();
    platform.threads.Resume();
    PlayWholeSideAndStop();
    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 2u);
    // Track files are named after their recording, never as recordings of their own.
    EXPECT_EQ(files[0], (scratch.Path() / "temp3.track1.wav").string());
    EXPECT_EQ(files[1], (scratch.Path() / "temp3.track2.wav").string());
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(ReadText(scratch.Path() / ("temp" + std::to_string(n) + ".wav")),
                  "keep " + std::to_string(n));
    recorder->CloseInput();
    EXPECT_TRUE(std::filesystem::exists(scratch.Path() / "temp0.wav"));
    EXPECT_FALSE(std::filesystem::exists(scratch.Path() / "temp3.wav"));
    EXPECT_FALSE(std::filesystem::exists(scratch.Path() / "temp5.wav"));
}

TEST_F(RecorderTest, ARecordingThatCannotBeReadBackFailsTheFinishWithNoFiles) {
    for (const bool marked : {true, false}) {
        StartSide(NoiseSide(2), false, kSourceFilterNone, 0.0f);
        PlayUntilAndPark(44100);
        if (marked)
            recorder->MarkTrack();
        // Something else takes the recording's name while it is being written.
        const auto name = recorder->TempFileName();
        std::filesystem::remove(name);
        WriteText(name, "not a recording");
        platform.threads.Resume();
        PlayWholeSideAndStop();
        std::vector<std::string> files{"stale"};
        EXPECT_EQ(recorder->FinishRecording(false, false, files), E_FAIL) << marked;
        EXPECT_TRUE(files.empty()) << marked;
        recorder->CloseInput();
    }
}

TEST_F(RecorderTest, WhenEveryTemporaryNameIsTakenOpeningFailsAndNothingIsTouched) {
    for (int n = 0; n < kTempFileNameCount; ++n)
        WriteText(scratch.Path() / ("temp" + std::to_string(n) + ".wav"), "x");
    EXPECT_EQ(recorder->OpenInput(nullptr, false), E_FAIL);
    EXPECT_TRUE(recorder->TempFileName().empty());
    std::vector<std::string> files;
    EXPECT_EQ(recorder->FinishRecording(false, false, files), E_FAIL);
    recorder->CloseInput();
    for (int n : {0, 1234, kTempFileNameCount - 1})
        EXPECT_EQ(ReadText(scratch.Path() / ("temp" + std::to_string(n) + ".wav")), "x");
}

TEST_F(RecorderTest, LevelChannelAndDeviceGoThroughTheProfile) {
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    float level = 0;
    ASSERT_EQ(recorder->GetRecordLevel(level), S_OK);
    EXPECT_EQ(level, 1.0f);  // "Record Level" absent

    ASSERT_EQ(recorder->SetRecordLevel(0.5f), S_OK);
    std::uint32_t stored = 0;
    ASSERT_EQ(profile.ReadInteger(kRecordLevelValue, stored), S_OK);
    EXPECT_EQ(stored, 134217728u);
    profile.WriteInteger(kRecordLevelValue, 0x03000000);  // 0.1875
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK);
    ASSERT_EQ(recorder->GetRecordLevel(level), S_OK);
    EXPECT_EQ(level, 0.1875f);

    recorder->SelectChannel(-126976, nullptr);
    ASSERT_EQ(profile.ReadInteger(kRecordDeviceChannelValue, stored), S_OK);
    EXPECT_EQ(stored, 0xFFFE1000u);

    std::uint32_t id = 0;
    std::string name;
    ASSERT_EQ(recorder->GetDeviceInfo(0, id, name), S_OK);
    EXPECT_EQ(recorder->SelectDevice(id), S_OK);
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(profile.ReadBinary(kRecordDeviceValue, bytes), S_OK);
    ASSERT_EQ(bytes.size(), 16u);
    GUID guid = recorder->CaptureGuid();
    EXPECT_EQ(bytes[0], static_cast<std::uint8_t>(guid.data1));
    EXPECT_EQ(bytes[15], guid.data4[7]);
    std::uint32_t selected = 0;
    EXPECT_EQ(recorder->GetSelectedDevice(selected), S_OK);
    EXPECT_EQ(selected, id);
    EXPECT_FALSE(recorder->TempFileName().empty());  // a new input was opened
    EXPECT_EQ(recorder->GetDeviceInfo(99, id, name), S_FALSE);
}

}  // namespace
}  // namespace sondrel::test
