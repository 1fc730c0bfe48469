// Recordings that outlive their run: a run killed while recording leaves a valid WAV file of
// what it captured, the start-up scan lists what is left with its problems, and a recording
// held by one run is neither listed nor recovered by another. Also the writer thread: a disk
// that stalls loses no audio and never holds up the capture thread.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "RecordingTestRig.h"
#include "app/CMemorySettingsStore.h"
#include "audiofile/CWaveWriter.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "devices/KnownDevices.h"
#include "recording/CRecordInputDSound.h"
#include "recording/CRecorder.h"
#include "recording/CRecordingLock.h"
#include "recording/CSourceEqualiser.h"
#include "recording/UnfinishedRecordings.h"

namespace sondrel::test {
namespace {

constexpr std::size_t kFrames = 44100;

// Noise without a zero sample, so the silence before the side starts is easy to tell.
std::vector<std::int16_t> NoZeroNoise(double seconds) {
    return test::NoZeroNoiseSide(seconds, 777);
}

using test::HoldsSidePrefix;

// Records the side in real time in a child process, which is killed once the deck has played
// killAtFrames; returns the frames the deck had played by the kill (as last reported).
std::uint64_t RecordAndKill(const std::filesystem::path& folder,
                            const std::vector<std::int16_t>& side, std::uint64_t killAtFrames) {
    auto* played = static_cast<std::atomic<std::uint64_t>*>(
        ::mmap(nullptr, sizeof(std::atomic<std::uint64_t>), PROT_READ | PROT_WRITE,
               MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    EXPECT_NE(played, MAP_FAILED);
    new (played) std::atomic<std::uint64_t>(0);
    const pid_t child = ::fork();
    if (child == 0) {
        auto sim = CSimPlatform::CreateDefault();
        sim->SetCaptureMode(SimCaptureMode::Paced);
        sim->SetTempFolder(folder);
        sim->Deck().UseSamples(side);
        CMemorySettingsStore profile;
        auto recorder = ComPtr<CRecorder>::Attach(new CRecorder(*sim, profile));
        recorder->UseDevice({FindKnownDevice(SimSystemDescription::kDemoVendorId,
                                             SimSystemDescription::kDemoProductId),
                             sim->SimAudio().DeckDevice()});
        if (Failed(recorder->OpenInput(nullptr, false)))
            ::_exit(3);
        recorder->SetSourceFilter(kSourceFilterNone);
        recorder->StartRecording();
        sim->StartDeck();
        for (;;) {
            played->store(sim->Deck().FramesPlayed());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    EXPECT_GT(child, 0);
    EXPECT_TRUE(WaitFor([&] { return played->load() >= killAtFrames; }, std::chrono::seconds(60)));
    // While it runs, the recording is held and no scan offers it.
    EXPECT_TRUE(FindUnfinishedRecordings(folder).empty());
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    const std::uint64_t frames = played->load();
    ::munmap(played, sizeof(std::atomic<std::uint64_t>));
    return frames;
}

TEST(UnfinishedRecording, AKilledRunLeavesAValidWavOfTheSideUpToTheKill) {
    const auto side = NoZeroNoise(10);
    for (const double killAt : {0.7, 2.6, 6.5}) {
        SCOPED_TRACE(killAt);
        TempFolder folder;
        const std::uint64_t killed =
            RecordAndKill(folder.Path(), side, static_cast<std::uint64_t>(killAt * kFrames));

        const auto found = FindUnfinishedRecordings(folder.Path());
        ASSERT_EQ(found.size(), 1u);
        EXPECT_TRUE(found[0].CanBeRecovered()) << found[0].problem;
        // As left: a valid WAV file whose header may lag the data by its update interval.
        std::size_t frames = 0;
        EXPECT_TRUE(HoldsSidePrefix(ReadWaveSamples16(found[0].path), side, frames));
        EXPECT_GE(frames + 5 * kFrames, killed);

        ASSERT_EQ(RepairRecordingHeader(found[0].path), S_OK);
        const auto repaired = ReadWaveSamples16(found[0].path);
        EXPECT_TRUE(HoldsSidePrefix(repaired, side, frames));
        EXPECT_GE(frames + 5 * kFrames, killed);
        EXPECT_LE(frames, killed + kFrames / 2);
        EXPECT_NEAR(found[0].seconds, static_cast<double>(repaired.size()) / 2 / kFrames, 0.01);
    }
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(UnfinishedRecording, TheScanListsBadFilesWithTheirProblemAndSkipsHeldOnesAndLinks) {
    TempFolder folder;
    TempFolder outside;
    const auto at = [&](const char* name) { return folder.Path() / name; };
    {
        CWaveWriter good;
        ASSERT_EQ(good.Create(at("temp0.wav"), CaptureFormat()), S_OK);
        const std::vector<std::int16_t> second(2 * kFrames, 100);
        good.Write(second.data(), second.size() * 2);
        ASSERT_EQ(good.Close(), S_OK);
        WAVEFORMATEX mono = CaptureFormat();
        mono.nChannels = 1;
        mono.nBlockAlign = 2;
        mono.nAvgBytesPerSec = 88200;
        CWaveWriter foreign;
        ASSERT_EQ(foreign.Create(at("temp1.wav"), mono), S_OK);
        foreign.Write(second.data(), 1000);
        ASSERT_EQ(foreign.Close(), S_OK);
    }
    WriteBytes(at("temp2.wav"), "");
    WriteBytes(at("temp3.wav"), std::string("RIFF\x10\0\0\0WAVEfmt ", 16));
    WriteBytes(at("temp4.wav"), "not audio at all, but long enough to have a header's length.");
    WriteBytes(at("notes.txt"), "ignored");
    std::filesystem::copy_file(at("temp0.wav"), at("temp5.wav"));
    // A user's own file, a track of a recording and a link are never recordings to offer.
    std::filesystem::copy_file(at("temp0.wav"), at("side.wav"));
    std::filesystem::copy_file(at("temp0.wav"), at("temp0.track1.wav"));
    std::filesystem::copy_file(at("temp0.wav"), outside.Path() / "mine.wav");
    std::filesystem::create_symlink(outside.Path() / "mine.wav", at("temp8.wav"));
    {
        std::ifstream in(at("temp0.wav"), std::ios::binary);
        std::vector<char> header(44);
        in.read(header.data(), 44);
        std::ofstream(at("temp6.wav"), std::ios::binary).write(header.data(), 44);
    }
    // The good one is the newest.
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const char* name : {"temp1.wav", "temp2.wav", "temp3.wav", "temp4.wav", "temp6.wav"})
        std::filesystem::last_write_time(at(name), now - std::chrono::hours(1));
    CRecordingLock held;
    ASSERT_TRUE(held.Take(at("temp5.wav")));

    const auto found = FindUnfinishedRecordings(folder.Path());
    ASSERT_EQ(found.size(), 7u);
    EXPECT_EQ(found[0].path, at("temp0.wav"));
    EXPECT_TRUE(found[0].CanBeRecovered());
    EXPECT_NEAR(found[0].seconds, 1.0, 1e-9);
    for (std::size_t i = 1; i < found.size(); ++i)
        EXPECT_FALSE(found[i].CanBeRecovered()) << found[i].path;
    EXPECT_EQ(InspectRecording(at("temp6.wav")).problem, "holds no audio");
    EXPECT_EQ(InspectRecording(at("temp4.wav")).problem, "not a WAV file");
    EXPECT_EQ(InspectRecording(at("temp3.wav")).problem, "its header is cut short");
    EXPECT_EQ(InspectRecording(at("temp8.wav")).problem, "a link, skipped");
    EXPECT_EQ(RepairRecordingHeader(at("temp1.wav")), E_FAIL);
    EXPECT_EQ(RepairRecordingHeader(at("temp8.wav")), E_FAIL);
    EXPECT_TRUE(IsRecordingIn(at("temp0.wav"), folder.Path()));
    EXPECT_FALSE(IsRecordingIn(at("side.wav"), folder.Path()));
    EXPECT_FALSE(IsRecordingIn(at("temp8.wav"), folder.Path()));
    EXPECT_FALSE(IsRecordingIn(outside.Path() / "mine.wav", outside.Path()));

    // Two runs never recover the same recording: the first holds it until it is done.
    TestPlatform platform;
    CMemorySettingsStore profile;
    auto first = ComPtr<CRecorder>::Attach(new CRecorder(platform, profile));
    auto second = ComPtr<CRecorder>::Attach(new CRecorder(platform, profile));
    std::vector<std::string> tracks;
    ASSERT_EQ(first->RecoverRecording(at("temp0.wav").string(), tracks), S_OK);
    EXPECT_EQ(tracks, std::vector<std::string>{at("temp0.wav").string()});  // quiet: one track
    EXPECT_EQ(second->RecoverRecording(at("temp0.wav").string(), tracks), E_FAIL);
    EXPECT_EQ(second->RecoverRecording(at("temp5.wav").string(), tracks), E_FAIL);
    EXPECT_EQ(FindUnfinishedRecordings(folder.Path()).size(), 6u);
    EXPECT_EQ(DeleteUnfinishedRecording(at("temp5.wav")), E_FAIL);
    EXPECT_TRUE(std::filesystem::exists(at("temp5.wav")));
    EXPECT_EQ(DeleteUnfinishedRecording(at("temp4.wav")), S_OK);
    EXPECT_EQ(FindUnfinishedRecordings(folder.Path()).size(), 5u);

    // What holds no audio goes at start-up; the rest, held ones and links stay.
    EXPECT_EQ(first->KeepForLater(true), std::vector<std::string>{at("temp0.wav").string()});
    RemoveLeftovers(folder.Path());
    for (const char* name : {"temp2.wav", "temp3.wav", "temp6.wav"})
        EXPECT_FALSE(std::filesystem::exists(at(name))) << name;
    for (const char* name : {"temp0.wav", "temp1.wav", "temp5.wav", "side.wav", "temp8.wav"})
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(at(name)))) << name;
    EXPECT_EQ(ReadWaveSamples16(outside.Path() / "mine.wav").size(), 2 * kFrames);
}

// Records the time each poll of the capture thread takes (from waking to sleeping again).
class TimedThreads final : public IThreadServices {
public:
    explicit TimedThreads(IThreadServices& inner) : m_inner(inner) {}
    void SleepMs(std::uint32_t ms) override {
        const auto now = std::chrono::steady_clock::now();
        if (m_woke)
            m_longestPoll = std::max(m_longestPoll.load(), now - *m_woke);
        m_inner.SleepMs(ms);
        m_woke = std::chrono::steady_clock::now();
    }
    std::uint64_t MonotonicMs() override { return m_inner.MonotonicMs(); }
    bool RaiseCurrentThreadPriority() override { return false; }
    HRESULT BeginTimerPeriod(std::uint32_t) override { return S_OK; }
    HRESULT EndTimerPeriod(std::uint32_t) override { return S_OK; }
    std::chrono::steady_clock::duration LongestPoll() const { return m_longestPoll.load(); }

private:
    IThreadServices& m_inner;
    std::optional<std::chrono::steady_clock::time_point> m_woke;
    std::atomic<std::chrono::steady_clock::duration> m_longestPoll{};
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(WriterThread, ADiskThatStallsTwoSecondsLosesNothingAndNeverHoldsUpCapture) {
    TempFolder folder;
    const auto side = NoZeroNoise(6);
    auto sim = CSimPlatform::CreateDefault();
    sim->SetCaptureMode(SimCaptureMode::Paced);
    sim->Deck().UseSamples(side);
    TimedThreads threads(sim->Threads());
    auto input = ComPtr<CRecordInputDSound>::Attach(
        new CRecordInputDSound(sim->Audio(), threads, sim->SimAudio().DeckDevice(), GUID{}));
    const auto path = folder.Path() / "temp0.wav";
    std::atomic<int> writes{0};
    input->SetBeforeWriteHook([&writes] {
        // Right after the first write the disk stops answering for two seconds.
        if (writes.fetch_add(1) == 1)
            std::this_thread::sleep_for(std::chrono::seconds(2));
    });
    ASSERT_EQ(input->OpenFile(path), S_OK);
    ASSERT_EQ(input->OpenCapture(nullptr), S_OK);
    input->SetSourceFilter(kSourceFilterNone);
    input->StartWriting();
    sim->StartDeck();
    ASSERT_TRUE(WaitFor([&] { return sim->Deck().IsSideFinished(); }, std::chrono::seconds(60)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    input->SetProcessingFlags(false, false);
    ASSERT_EQ(input->CloseCapture(), S_OK);

    EXPECT_EQ(input->LostBytes(), 0u);
    EXPECT_GT(writes.load(), 2);
    std::size_t frames = 0;
    EXPECT_TRUE(HoldsSidePrefix(ReadWaveSamples16(path), side, frames));
    EXPECT_EQ(frames, side.size() / 2);
    // A capture thread that waited for the disk would show the stall's two seconds. Within one
    // period on a plain build; a sanitizer's own slowness on a busy machine is allowed for.
    EXPECT_LT(threads.LongestPoll(), kSanitized
                                         ? std::chrono::milliseconds(250)
                                         : std::chrono::milliseconds(CRecordInputDSound::kPollMs));
}

}  // namespace
}  // namespace sondrel::test
