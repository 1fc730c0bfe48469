// The headless wizard end to end on the simulated devices: a side goes in, tagged WAV files
// come out, and their samples are exactly what the deck played.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/CMemorySettingsStore.h"
#include "app/CommandLine.h"
#include "app/RecoveryText.h"
#include "app/RunHeadless.h"
#include "audiofile/CWaveWriter.h"
#include "audiofile/WaveTestUtil.h"
#include "base/StringTable.h"
#include "common/FileSizeLimit.h"
#include "common/FlacDecode.h"
#include "common/TempFolder.h"
#include "platform/sim/CSimDemoSide.h"
#include "platform/sim/CSimPlatform.h"
#include "recording/DurableStep.h"
#include "recording/UnfinishedRecordings.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

std::vector<std::int16_t> MakeSide(double seconds);
void WriteWav(const fs::path& path, const std::vector<std::int16_t>& samples);

// A simulated computer on its simulated clock, which reads what its sleeps added up to; the
// reading is kept when the run lets go of it.
class ClockedSimulation final : public IPlatform {
public:
    ClockedSimulation(std::unique_ptr<CSimPlatform> sim, std::uint64_t& endMs)
        : m_sim(std::move(sim)), m_endMs(endMs) {
        m_sim->UseSimulatedClock();
    }
    ~ClockedSimulation() override { m_endMs = m_sim->Threads().MonotonicMs(); }
    IUsbDeviceList& Usb() override { return m_sim->Usb(); }
    IAudioSystem& Audio() override { return m_sim->Audio(); }
    IMixerSystem& Mixers() override { return m_sim->Mixers(); }
    ICaptureEndpoints& Endpoints() override { return m_sim->Endpoints(); }
    IThreadServices& Threads() override { return m_sim->Threads(); }
    ISystemInfo& System() override { return m_sim->System(); }
    IShell& Shell() override { return m_sim->Shell(); }

private:
    std::unique_ptr<CSimPlatform> m_sim;
    std::uint64_t& m_endMs;
};

class HeadlessRunTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_temp.Valid()); }

    int Run(const std::vector<std::string>& args) {
        CommandLine cl;
        std::string error;
        EXPECT_EQ(ParseCommandLine(args, cl, error), S_OK) << error;
        cl.headless = true;
        SessionEnvironment env;
        env.vendorStore = &vendor;
        env.profileStore = &profile;
        env.out = &out;
        env.err = &err;
        env.handleStopSignals = handleSignals;
        env.recordingsFolder = root / "recordings";
        env.recordingFileLimitBytes = fileLimitBytes;
        env.createTitleLookup = createTitleLookup;
        env.createRealPlatform = createPlatform;
        return RunHeadless(cl, env);
    }

    // A run of the simulated side into export folder root/folder, with out and err fresh.
    int RunInto(std::vector<std::string> args, const std::string& folder) {
        out.str("");
        err.str("");
        args.insert(args.end(), {"--export-folder", (root / folder).string()});
        return Run(args);
    }
    std::vector<fs::path> FilesIn(const std::string& folder) {
        std::vector<fs::path> found;
        for (const auto& e : fs::recursive_directory_iterator(root / folder)) {
            if (e.is_regular_file())
                found.push_back(e.path());
        }
        std::sort(found.begin(), found.end());
        return found;
    }
    // A 10 s side, written once per test; its path.
    std::string TenSecondSide() {
        WriteWav(root / "side.wav", MakeSide(10.0));
        return (root / "side.wav").string();
    }

    std::vector<fs::path> AlbumFiles() {
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(root / "export")) {
            if (e.is_regular_file())
                files.push_back(e.path());
        }
        std::sort(files.begin(), files.end());
        return files;
    }

    test::TempFolder m_temp;
    const fs::path root = m_temp.Path();
    CMemorySettingsStore vendor;
    CMemorySettingsStore profile;
    std::ostringstream out;
    std::ostringstream err;
    bool handleSignals = false;
    std::uint64_t fileLimitBytes = 0;
    std::function<std::unique_ptr<ITitleLookup>()> createTitleLookup;
    // Stands in for the real devices in runs without --simulate.
    std::function<HRESULT(const CommandLine&, std::unique_ptr<IPlatform>&, std::string&)>
        createPlatform;
};

// A side whose every sample is non-zero, so silence before and after it is easy to tell.
std::vector<std::int16_t> MakeSide(double seconds) {
    const std::size_t frames = static_cast<std::size_t>(seconds * 44100);
    std::vector<std::int16_t> side(frames * 2);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < frames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(i) / 44100.0;
        const int l =
            static_cast<int>(9000 * std::sin(2 * M_PI * 440 * t)) + static_cast<int>(noise >> 26);
        const int r =
            static_cast<int>(7000 * std::sin(2 * M_PI * 660 * t)) - static_cast<int>(noise >> 27);
        side[2 * i] = static_cast<std::int16_t>(l == 0 ? 1 : l);
        side[2 * i + 1] = static_cast<std::int16_t>(r == 0 ? -1 : r);
    }
    return side;
}

void WriteWav(const fs::path& path, const std::vector<std::int16_t>& samples) {
    CWaveWriter writer;
    const WAVEFORMATEX format = CaptureFormat();
    ASSERT_EQ(writer.Create(path, format), S_OK);
    writer.Write(samples.data(), samples.size() * 2);
    ASSERT_EQ(writer.Close(), S_OK);
}

TEST_F(HeadlessRunTest, ManualMarksGiveFilesHoldingExactlyTheSide) {
    const std::vector<std::int16_t> side = MakeSide(20.0);
    WriteWav(root / "side.wav", side);
    const int exit = Run({"--simulate",      (root / "side.wav").string(),
                          "--split",         "manual",
                          "--mark",          "5",
                          "--mark",          "12.5",
                          "--artist",        "Band",
                          "--album",         "Record",
                          "--title",         "One",
                          "--title",         "Two",
                          "--title",         "Three",
                          "--export-folder", (root / "export").string()});
    ASSERT_EQ(exit, 0) << out.str() << err.str();
    const auto files = AlbumFiles();
    ASSERT_EQ(files.size(), 3u) << out.str();
    EXPECT_EQ(files[0].parent_path().filename().string().find("Band"), 0u);

    // One.wav, Three.wav, Two.wav in name order; put them in track order.
    std::vector<std::int16_t> one, two, three;
    for (const auto& f : files) {
        const auto samples = test::ReadWaveSamples16(f);
        if (f.filename() == "One.wav")
            one = samples;
        if (f.filename() == "Two.wav")
            two = samples;
        if (f.filename() == "Three.wav")
            three = samples;
    }
    ASSERT_FALSE(one.empty());
    ASSERT_FALSE(two.empty());
    ASSERT_FALSE(three.empty());

    // Track 1: the silence captured before the deck started, then the side up to 5 s.
    std::size_t lead = 0;
    while (lead < one.size() && one[lead] == 0)
        ++lead;
    ASSERT_EQ(lead % 2, 0u);
    std::vector<std::int16_t> all(one.begin() + static_cast<std::ptrdiff_t>(lead), one.end());
    all.insert(all.end(), two.begin(), two.end());
    all.insert(all.end(), three.begin(), three.end());
    // Nothing after the side: its end is the recording's end.
    ASSERT_EQ(all.size(), side.size());
    EXPECT_TRUE(std::equal(side.begin(), side.end(), all.begin())) << "the side changed on its way";

    // The marks fall on the side's 5 s and 12.5 s frames.
    EXPECT_EQ(one.size() - lead, 5u * 44100 * 2);
    EXPECT_EQ(two.size(), 7u * 44100 * 2 + 44100);
}

TEST_F(HeadlessRunTest, MarksCloserThanOneCaptureBufferStillLandExactly) {
    // The capture buffer holds a second: marks a quarter second apart must not be overrun.
    WriteWav(root / "side.wav", MakeSide(3.0));
    const int exit = Run({"--simulate",      (root / "side.wav").string(),
                          "--split",         "manual",
                          "--mark",          "0.5",
                          "--mark",          "0.75",
                          "--mark",          "1",
                          "--title",         "a",
                          "--title",         "b",
                          "--title",         "c",
                          "--title",         "d",
                          "--export-folder", (root / "export").string()});
    ASSERT_EQ(exit, 0) << out.str() << err.str();
    const auto files = AlbumFiles();
    ASSERT_EQ(files.size(), 4u);
    // b.wav and c.wav lie wholly inside the side: a quarter second each, to the frame.
    EXPECT_EQ(test::ReadWaveSamples16(files[1]).size(), 44100u / 4 * 2);
    EXPECT_EQ(test::ReadWaveSamples16(files[2]).size(), 44100u / 4 * 2);
}

TEST_F(HeadlessRunTest, DemoSideIsSplitIntoItsSongs) {
    const int exit = Run({"--simulate", "--split", "auto", "--artist", "Demo", "--album", "A",
                          "--export-folder", (root / "export").string()});
    ASSERT_EQ(exit, 0) << out.str() << err.str();
    const CSimDemoSide demo;
    const auto files = AlbumFiles();
    EXPECT_EQ(files.size(), demo.Songs().size()) << out.str();
    EXPECT_NE(out.str().find("Album folder: "), std::string::npos);
    // No temporary files are left behind.
    for (const auto& f : files)
        EXPECT_EQ(f.filename().string().rfind("temp", 0), std::string::npos);
}

TEST_F(HeadlessRunTest, BadInputGetsAClearMessageAndFailure) {
    EXPECT_EQ(Run({"--simulate", (root / "missing.wav").string(), "--export-folder",
                   (root / "export").string()}),
              2);
    EXPECT_NE(err.str().find("missing.wav"), std::string::npos) << err.str();

    // A folder name longer than any file system allows.
    err.str("");
    EXPECT_EQ(Run({"--simulate", "--export-folder", (root / std::string(300, 'a')).string()}), 2);
    EXPECT_NE(err.str().find("cannot be created"), std::string::npos) << err.str();

    std::ofstream(root / "bad.wav") << "RIFF\x04\0\0\0WAVE";
    err.str("");
    EXPECT_EQ(Run({"--simulate", (root / "bad.wav").string()}), 2);
    EXPECT_FALSE(err.str().empty());

    // A system description with nothing to record from: empty, or only a USB device.
    std::ofstream(root / "empty.sim") << "# nothing yet\n";
    std::ofstream(root / "usb-only.sim") << "usb USB\\VID_15E4&PID_0174&REV_0100\n";
    for (const char* name : {"empty.sim", "usb-only.sim"}) {
        err.str("");
        EXPECT_EQ(Run({"--simulate-system", (root / name).string()}), 2) << name;
        EXPECT_NE(err.str().find("no capture device"), std::string::npos) << err.str();
    }
}

TEST_F(HeadlessRunTest, MonoCaptureDeviceIsQuestionedOnceAndRecordingGoesOn) {
    WriteWav(root / "side.wav", MakeSide(3.0));
    std::ofstream(root / "mono.sim") << "usb USB\\VID_15E4&PID_0174&REV_0100\n"
                                     << "capture \"USB PnP Audio Device\" channels=1\n"
                                     << "output \"Speakers (Realtek Audio)\"\n"
                                     << "deck wav \"side.wav\"\n";
    const int exit = Run({"--simulate-system", (root / "mono.sim").string(), "--split", "manual",
                          "--title", "Mono", "--export-folder", (root / "export").string()});
    ASSERT_EQ(exit, 0) << out.str() << err.str();
    const std::string log = out.str();
    const std::string question = LoadString(kIdsMsgMonoRecording);
    const std::size_t asked = log.find(question);
    ASSERT_NE(asked, std::string::npos) << log;
    EXPECT_EQ(log.find(question, asked + 1), std::string::npos) << "asked more than once";
    EXPECT_NE(log.find("-> No", asked), std::string::npos);
    EXPECT_EQ(AlbumFiles().size(), 1u);
}

// A batch tool's exit code is its contract: 0 only when every track was exported whole.
TEST_F(HeadlessRunTest, AMarkTheSideNeverReachesMakesNoTrackAndAStopLandsExactly) {
    const std::string side = TenSecondSide();
    // A mark the side never reaches is reported and makes no track; the stop lands exactly.
    ASSERT_EQ(
        RunInto({"--simulate", side, "--split", "manual", "--mark", "4", "--mark", "20"}, "a"), 0)
        << out.str() << err.str();
    EXPECT_NE(out.str().find("no new track at 20 s"), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find("new track at 20 s ("), std::string::npos) << out.str();
    auto made = FilesIn("a");
    ASSERT_EQ(made.size(), 2u);
    for (const auto& f : made)
        EXPECT_FALSE(test::ReadWaveSamples16(f).empty()) << f;
    ASSERT_EQ(RunInto({"--simulate", side, "--split", "manual", "--stop-after", "3"}, "b"), 0);
    made = FilesIn("b");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(test::ReadWaveSamples16(made[0]).size(), 3u * 44100 * 2);
}

TEST_F(HeadlessRunTest, AWriteThatFailsIsToldAndExportsAValidFileOfWhatWasWritten) {
    const std::string side = TenSecondSide();
    // A write that fails while recording: exit 1, said on stderr, and the track that is
    // exported is a valid WAV file of what was written.
    {
        test::FileSizeLimit limit(200000);
        ASSERT_TRUE(limit.Set());
        const int exit = RunInto({"--simulate", side, "--split", "manual"}, "c");
        limit.Restore();
        EXPECT_EQ(exit, 1);
        EXPECT_NE(err.str().find("writing the recording failed"), std::string::npos) << err.str();
        for (const auto& f : FilesIn("c"))
            EXPECT_EQ(fs::file_size(f), 44 + test::ReadWaveSamples16(f).size() * 2) << f;
    }
}

TEST_F(HeadlessRunTest, AFullFileEndsTheRecordingAndWhatWasAskedBeyondItIsTold) {
    const std::string side = TenSecondSide();
    // A file that fills up (two seconds stand in for 4 GiB) ends the recording there, which is
    // exported; what was asked beyond it is told in the window's message and on stderr, and
    // makes the exit code 1. Up to the stop, or else to the side's end.
    fileLimitBytes = 2 * 176400;
    for (const auto& [stop, missing] :
         std::vector<std::pair<std::string, std::string>>{{"5", "0:03"}, {"", "0:08"}}) {
        std::vector<std::string> args{"--simulate", side, "--split", "manual"};
        if (!stop.empty())
            args.insert(args.end(), {"--stop-after", stop});
        EXPECT_EQ(RunInto(args, "full" + stop), 1) << out.str() << err.str();
        EXPECT_NE(out.str().find(FormatFileFullMessage(stop.empty() ? 8 : 3)), std::string::npos)
            << out.str();
        EXPECT_NE(err.str().find(missing + " of what was asked were not recorded"),
                  std::string::npos)
            << err.str();
        auto made = FilesIn("full" + stop);
        ASSERT_EQ(made.size(), 1u);
        const auto kept = test::ReadWaveSamples16(made[0]);
        const auto whole = test::ReadWaveSamples16(root / "side.wav");
        ASSERT_EQ(kept.size(), 2u * 44100 * 2);
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), whole.begin()));
    }
    // Nothing more was asked than the file took: no word of it, and success.
    EXPECT_EQ(RunInto({"--simulate", side, "--split", "manual", "--stop-after", "1.5"}, "fits"), 0)
        << err.str();
    EXPECT_EQ(err.str().find("largest size"), std::string::npos) << err.str();
    fileLimitBytes = 0;
}

TEST_F(HeadlessRunTest, AnExportThatFailsPartWayIsToldAndRecoversIntoTheSameAlbum) {
    const std::string side = TenSecondSide();
    // An export that fails part-way names the album folder, how many tracks are in it, and
    // where the others are kept. The second title (cut to 40 characters) makes a path longer
    // than the system takes.
    {
        fs::path deep = root / "e";
        while (deep.string().size() < 3800)
            deep /= std::string(200, 'd');
        deep /= std::string(4060 - deep.string().size(), 'd');
        fs::create_directories(deep);
        out.str("");
        err.str("");
        const int exit = Run({"--simulate", side, "--split", "manual", "--mark", "4", "--artist",
                              "A", "--album", "B", "--title", "One", "--title",
                              std::string(40, 't'), "--export-folder", deep.string()});
        EXPECT_EQ(exit, 1) << out.str() << err.str();
        const std::string album = (deep / "A B").string();
        EXPECT_NE(err.str().find("1 of 2 tracks are in " + album + "; the other 1 were not"),
                  std::string::npos)
            << err.str();
        EXPECT_TRUE(fs::exists(deep / "A B" / "One.wav"));
        const auto kept = FindUnfinishedRecordings(root / "recordings");
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_NE(err.str().find("kept for a later run"), std::string::npos) << err.str();
        EXPECT_NE(err.str().find(kept[0].path.string()), std::string::npos) << err.str();
        EXPECT_EQ(kept[0].trackCount, 2u);
        EXPECT_EQ(kept[0].exportedCount, 1u);
        // Said once, with the system's reason.
        EXPECT_NE(err.str().find("were not exported: File name too long"), std::string::npos)
            << err.str();
        EXPECT_EQ(err.str().find("export failed"), err.str().rfind("export failed")) << err.str();
        // Recovered with a title that fits: the second track follows the first into the same
        // album folder, which then holds the side exactly once.
        out.str("");
        err.str("");
        ASSERT_EQ(Run({"--simulate", "--recover", "newest", "--title", "One", "--title", "Two",
                       "--export-folder", (root / "elsewhere").string()}),
                  0)
            << out.str() << err.str();
        auto joined = test::ReadWaveSamples16(deep / "A B" / "One.wav");
        const auto second = test::ReadWaveSamples16(deep / "A B" / "Two.wav");
        joined.insert(joined.end(), second.begin(), second.end());
        EXPECT_EQ(joined, test::ReadWaveSamples16(root / "side.wav"));
        EXPECT_EQ(std::distance(fs::directory_iterator(deep / "A B"), fs::directory_iterator()), 2);
        EXPECT_TRUE(FindUnfinishedRecordings(root / "recordings").empty());
        EXPECT_TRUE(fs::is_empty(root / "recordings"));
    }
}

TEST_F(HeadlessRunTest, AnExportFolderThatIsAFileIsNamedAsSuch) {
    const std::string side = TenSecondSide();
    // An export folder that is a file is named as such.
    std::ofstream(root / "plain") << "x";
    EXPECT_EQ(RunInto({"--simulate", side}, "plain"), 2);
    EXPECT_NE(err.str().find("is a file, not a folder"), std::string::npos) << err.str();
}

TEST_F(HeadlessRunTest, TheFirstSigintStopsTheRecordingAsNextWould) {
    const std::string side = TenSecondSide();
    // The first SIGINT stops the real-time recording as "next" would; what was recorded by
    // then (not the whole 10 s side) is exported.
    handleSignals = true;
    std::thread interrupt([] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        ::kill(::getpid(), SIGINT);
    });
    const int interrupted = RunInto({"--simulate", side, "--real-time", "--split", "manual"}, "d");
    interrupt.join();
    EXPECT_EQ(interrupted, 0) << out.str() << err.str();
    EXPECT_NE(out.str().find("stopped by a signal"), std::string::npos) << out.str();
    auto made = FilesIn("d");
    ASSERT_EQ(made.size(), 1u);
    const std::size_t frames = test::ReadWaveSamples16(made[0]).size() / 2;
    EXPECT_GT(frames, 44100u);
    EXPECT_LT(frames, 8u * 44100);
}

TEST_F(HeadlessRunTest, AnUnfinishedRecordingIsListedAndRecoveredIntoTracksHoldingTheSide) {
    // As a killed run leaves it: the header still says that no audio follows.
    const std::vector<std::int16_t> side = MakeSide(10.0);
    fs::create_directories(root / "recordings");
    const fs::path left = root / "recordings" / "temp0.wav";
    WriteWav(left, side);
    {
        std::fstream file(left, std::ios::binary | std::ios::in | std::ios::out);
        const auto header = BuildWaveHeader(CaptureFormat(), 44);
        file.write(reinterpret_cast<const char*>(header.data()), header.size());
    }

    ASSERT_EQ(Run({"--list-unfinished"}), 0);
    EXPECT_NE(out.str().find(left.string() + "\t0:10 recorded on "), std::string::npos)
        << out.str();

    out.str("");
    const int exit = Run({"--simulate", "--recover", "newest", "--artist", "A", "--album", "B",
                          "--export-folder", (root / "export").string()});
    ASSERT_EQ(exit, 0) << out.str() << err.str();
    std::vector<std::int16_t> exported;
    for (const auto& f : AlbumFiles()) {
        const auto part = test::ReadWaveSamples16(f);
        exported.insert(exported.end(), part.begin(), part.end());
    }
    EXPECT_TRUE(exported.size() <= side.size() &&
                std::equal(exported.begin(), exported.end(), side.begin()));
    EXPECT_GT(exported.size(), side.size() / 2);
    EXPECT_FALSE(fs::exists(left));
    EXPECT_EQ(Run({"--simulate", "--recover", "newest"}), 2);
}

TEST_F(HeadlessRunTest, ARecoveredRecordingIsExportedWithExactlyTheCutsGiven) {
    const std::vector<std::int16_t> side = MakeSide(10.0);
    fs::create_directories(root / "recordings");
    const fs::path left = root / "recordings" / "temp0.wav";
    WriteWav(left, side);
    const auto recover = [&](std::vector<std::string> more) {
        out.str("");
        err.str("");
        std::vector<std::string> args = {"--simulate", "--recover", left.string(),
                                         "--export-folder", (root / "export").string()};
        args.insert(args.end(), more.begin(), more.end());
        return Run(args);
    };
    // Only the program's own recordings: a copy elsewhere is refused and left where it is.
    fs::copy_file(left, root / "mine.wav");
    EXPECT_EQ(Run({"--simulate", "--recover", (root / "mine.wav").string()}), 2);
    EXPECT_NE(err.str().find("is not an unfinished recording in"), std::string::npos) << err.str();
    EXPECT_TRUE(fs::exists(root / "mine.wav"));
    // Refused, naming the cut, and nothing is changed or exported.
    EXPECT_EQ(recover({"--cut", "3", "--cut", "3.5"}), 2);
    EXPECT_NE(err.str().find("--cut 3.500: closer than 1 s to 3.000"), std::string::npos)
        << err.str();
    EXPECT_EQ(recover({"--cut", "12"}), 2);
    EXPECT_NE(err.str().find("--cut 12.000: outside the recording"), std::string::npos)
        << err.str();
    // Cuts given are what the recording then holds, listed and exported.
    EXPECT_EQ(recover({"--cut", "7.5", "--cut", "3", "--list-cuts"}), 0) << err.str();
    EXPECT_EQ(out.str(), "3.000\n7.500\n");
    EXPECT_TRUE(fs::is_empty(root / "export"));
    ASSERT_EQ(recover({"--title", "A", "--title", "B", "--title", "C"}), 0) << err.str();
    std::vector<std::int16_t> joined;
    std::vector<std::size_t> frames;
    for (const char* name : {"A.wav", "B.wav", "C.wav"}) {
        const auto part = test::ReadWaveSamples16(AlbumFiles()[0].parent_path() / name);
        frames.push_back(part.size() / 2);
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(frames, (std::vector<std::size_t>{132300, 198450, 110250}));
    EXPECT_EQ(joined, side);
}

// A second signal ends the run at once, and what was recorded is left for a later run.
TEST_F(HeadlessRunTest, ASecondSignalEndsTheRunAndLeavesTheRecordingToRecover) {
    const std::vector<std::int16_t> side = MakeSide(10.0);
    WriteWav(root / "side.wav", side);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        handleSignals = true;
        ::_exit(Run({"--simulate", (root / "side.wav").string(), "--real-time", "--split", "manual",
                     "--export-folder", (root / "export").string()}));
    }
    // Two different signals, so that they cannot merge into one while the first is handled.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    ::kill(child, SIGINT);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);

    const auto found = FindUnfinishedRecordings(root / "recordings");
    ASSERT_EQ(found.size(), 1u);
    ASSERT_TRUE(found[0].CanBeRecovered()) << found[0].problem;
    std::vector<std::int16_t> left;
    for (const auto& e : fs::directory_iterator(root / "recordings")) {
        if (e.path() == found[0].path)
            left = test::ReadWaveSamples16(e.path());
    }
    // Everything up to the header's last update, from the deck's first frame on.
    std::size_t start = 0;
    while (start < left.size() && left[start] == 0)
        ++start;
    ASSERT_GT(left.size() - start, 44100u * 2);
    EXPECT_TRUE(
        left.size() - start <= side.size() &&
        std::equal(left.begin() + static_cast<std::ptrdiff_t>(start), left.end(), side.begin()));
}

TEST_F(HeadlessRunTest, AnUnpluggedDeviceEndsTheRecordingWhichIsExportedUpToThatFrame) {
    const std::vector<std::int16_t> side = MakeSide(8.0);
    WriteWav(root / "side.wav", side);
    // Lost at its very first frame, within the first capture period, or seconds in: each
    // ends the recording there and is told alike.
    for (const std::uint64_t frame : {1u, 16384u, 132300u}) {
        SCOPED_TRACE(frame);
        out.str("");
        err.str("");
        std::ofstream(root / "unplugged.sim") << "usb USB\\VID_15E4&PID_0174&REV_0100\n"
                                              << "capture \"USB PnP Audio Device\"\n"
                                              << "output \"Speakers (Realtek Audio)\"\n"
                                              << "deck wav \"side.wav\"\n"
                                              << "deck-vanishes-at " << frame << "\n";
        const fs::path album = root / ("export" + std::to_string(frame));
        const int exit = Run({"--simulate-system", (root / "unplugged.sim").string(), "--split",
                              "manual", "--export-folder", album.string()});
        ASSERT_EQ(exit, 0) << out.str() << err.str();
        EXPECT_NE(out.str().find(LoadString(kIdsMsgDeviceDisconnected)), std::string::npos)
            << out.str();
        EXPECT_NE(err.str().find("disconnected"), std::string::npos) << err.str();
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(album)) {
            if (e.is_regular_file())
                files.push_back(e.path());
        }
        ASSERT_EQ(files.size(), 1u);
        const auto kept = test::ReadWaveSamples16(files[0]);
        ASSERT_EQ(kept.size(), frame * 2);
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), side.begin()));
    }
}

TEST_F(HeadlessRunTest, ABusyDeviceIsTriedAgainAndThenTheProgramHoldingItIsNamed) {
    WriteWav(root / "side.wav", MakeSide(2.0));
    std::ofstream(root / "busy.sim") << "usb USB\\VID_15E4&PID_0174&REV_0100\n"
                                     << "capture \"USB PnP Audio Device\" held-by=pipewire\n"
                                     << "output \"Speakers (Realtek Audio)\"\n"
                                     << "deck wav \"side.wav\"\n";
    std::uint64_t clockMs = 0;
    createPlatform = [&](const CommandLine&, std::unique_ptr<IPlatform>& platform,
                         std::string& error) {
        std::unique_ptr<CSimPlatform> sim;
        if (Failed(CSimPlatform::CreateFromFile(root / "busy.sim", sim, error)))
            return E_FAIL;
        platform = std::make_unique<ClockedSimulation>(std::move(sim), clockMs);
        return S_OK;
    };
    EXPECT_EQ(Run({"--export-folder", (root / "export").string()}), 1);
    EXPECT_NE(out.str().find(FormatDeviceBusyMessage("pipewire")), std::string::npos) << out.str();
    EXPECT_EQ(out.str().find(LoadString(kIdsMsgCannotRecord)), std::string::npos) << out.str();
    // The retries waited their 6 s, on the simulated clock.
    EXPECT_GE(clockMs, 6000u);
}

// A release database in memory: two matches for any search, the second the better, whose
// release has sides A and B; or one failure for every request.
class FakeTitleLookup : public ITitleLookup {
public:
    explicit FakeTitleLookup(LookupStatus failure) : m_failure(failure) {}
    LookupStatus FindReleases(const std::string& artist, const std::string& album,
                              std::vector<ReleaseMatch>& matches) override {
        if (artist != "Band" || album != "Record")
            return LookupStatus::NoMatch;
        matches = {{"cd", 90, "Record", "Band", "2001", "DE", "CD", 5},
                   {"lp", 100, "Record", "Band", "1972", "GB", "12\" Vinyl", 5}};
        return m_failure;
    }
    LookupStatus LoadRelease(const std::string& id, std::vector<ReleaseTrack>& tracks) override {
        if (id != "lp")
            return LookupStatus::Refused;
        tracks = {{"A1", "Up", 1},
                  {"A2", "Down", 1},
                  {"B1", "Left", 1},
                  {"B2", "Right", 1},
                  {"B3", "Centre", 1}};
        return LookupStatus::Found;
    }

private:
    LookupStatus m_failure;
};

// --lookup names what --title left unnamed from the best match's side, and a failed lookup
// changes nothing but a line of output.
TEST_F(HeadlessRunTest, LookedUpTitlesNameTheTracksThatTitleLeftUnnamed) {
    WriteWav(root / "side.wav", MakeSide(9.0));
    const auto run = [&](LookupStatus failure, std::vector<std::string> extra) {
        createTitleLookup = [failure] { return std::make_unique<FakeTitleLookup>(failure); };
        std::vector<std::string> args = {"--simulate",
                                         (root / "side.wav").string(),
                                         "--split",
                                         "manual",
                                         "--mark",
                                         "3",
                                         "--mark",
                                         "6",
                                         "--artist",
                                         "Band",
                                         "--album",
                                         "Record",
                                         "--lookup",
                                         "--title",
                                         "",
                                         "--title",
                                         "Mine",
                                         "--export-folder",
                                         (root / "export").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        out.str("");
        err.str("");
        return Run(args);
    };
    const auto names = [&] {
        std::vector<std::string> found;
        for (const fs::path& file : AlbumFiles())
            found.push_back(file.filename().string());
        fs::remove_all(root / "export");
        return found;
    };
    ASSERT_EQ(run(LookupStatus::Found, {"--side", "b"}), 0) << err.str();
    EXPECT_NE(out.str().find("[lookup] Record \u2013 Band (1972, GB, 12\" Vinyl, 5 tracks) (lp), "
                             "side B: 3 tracks"),
              std::string::npos)
        << out.str();
    EXPECT_EQ(names(), (std::vector<std::string>{"Centre.wav", "Left.wav", "Mine.wav"}));
    // Side A has two tracks for the recording's three: said, and the third keeps no title.
    ASSERT_EQ(run(LookupStatus::Found, {}), 0) << err.str();
    EXPECT_NE(out.str().find("[lookup] the side has 2 tracks, the recording 3"), std::string::npos);
    const auto sideA = names();
    EXPECT_NE(std::find(sideA.begin(), sideA.end(), "Up.wav"), sideA.end());
    EXPECT_NE(std::find(sideA.begin(), sideA.end(), "Mine.wav"), sideA.end());

    ASSERT_EQ(run(LookupStatus::RateLimited, {}), 0) << err.str();
    EXPECT_NE(err.str().find("sondrel: title lookup failed: the service is busy (503), try again "
                             "later; the tracks keep their typed titles\n"),
              std::string::npos)
        << err.str();
    const auto typedOnly = names();
    EXPECT_NE(std::find(typedOnly.begin(), typedOnly.end(), "Mine.wav"), typedOnly.end());
    EXPECT_EQ(std::count_if(typedOnly.begin(), typedOnly.end(),
                            [](const std::string& n) { return n == "Up.wav" || n == "Down.wav"; }),
              0);
}

TEST(CommandLine, RejectsBadArguments) {
    CommandLine cl;
    std::string error;
    const std::vector<std::vector<std::string>> bad{
        {"--gain", "9.5"},
        {"--gain", "loud"},
        {"--source", "cd"},
        {"--split", "sometimes"},
        {"--mark", "-1"},
        {"--mark", "5"},
        {"--split", "manual", "--mark", "5", "--mark", "4"},
        {"--simulate-device", "1234"},
        {"--simulate-device", "FFFF:FFFF"},
        {"--artist"},
        {"--frobnicate"},
        {"--fake-usb", "15E4:0174", "--simulate"},
        {"--side", "AB"},
        {"--side", "1"},
        {"--gain", "nan"}};
    for (const auto& args : bad) {
        EXPECT_EQ(ParseCommandLine(args, cl, error), E_FAIL) << args[0];
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLine, ParsesAFullBatchRun) {
    CommandLine cl;
    std::string error;
    ASSERT_EQ(ParseCommandLine({"--headless", "--simulate", "side.wav",    "--simulate-device",
                                "0d8c:0131",  "--source",   "tape-chrome", "--split",
                                "manual",     "--mark",     "60",          "--mark",
                                "125.5",      "--gain",     "-3.0",        "--title",
                                "a",          "--title",    "b",           "--export-folder",
                                "/x"},
                               cl, error),
              S_OK)
        << error;
    EXPECT_TRUE(cl.headless && cl.simulate);
    EXPECT_EQ(cl.simulateWav, fs::path("side.wav"));
    EXPECT_EQ(cl.simulateDevice, (UsbIdPair{0x0D8C, 0x0131}));
    EXPECT_EQ(cl.answers.source, HeadlessSource::TapeChrome);
    EXPECT_EQ(cl.answers.markSeconds, (std::vector<double>{60, 125.5}));
    EXPECT_EQ(cl.answers.gainDb, -3.0);
    EXPECT_EQ(cl.answers.titles.size(), 2u);
    // The WAV file after --simulate is optional.
    ASSERT_EQ(ParseCommandLine({"--simulate", "--split", "auto"}, cl, error), S_OK);
    EXPECT_FALSE(cl.simulateWav);
}

// Each option the help lists is one the parser knows, and it asks for a value exactly when the
// help shows one ("--mark SECONDS"; "--simulate [FILE.wav]" may go without).
TEST(CommandLine, TakesEveryOptionAsTheHelpShowsIt) {
    std::istringstream usage(CommandLineUsage());
    std::size_t checked = 0;
    for (std::string line; std::getline(usage, line);) {
        if (line.rfind("  --", 0) != 0)
            continue;
        // The option column ends where the description starts, after two blanks or more.
        std::string column = line.substr(2, line.find("  ", 2) - 2);
        std::istringstream items(column);
        for (std::string item; std::getline(items, item, ',');) {
            item.erase(0, item.find_first_not_of(' '));
            if (item.rfind("--", 0) != 0)
                continue;
            const std::size_t blank = item.find(' ');
            const std::string name = item.substr(0, blank);
            const bool needsValue = blank != std::string::npos && item[blank + 1] != '[';
            CommandLine cl;
            std::string error;
            const HRESULT hr = ParseCommandLine({name}, cl, error);
            if (needsValue) {
                EXPECT_EQ(error, name + " needs a value (see --help)");
            } else {
                EXPECT_EQ(hr, S_OK) << name << ": " << error;
            }
            ++checked;
        }
    }
    EXPECT_GE(checked, 20u);
}

// The recording's files at every point where they are consistent on disk: a run killed there
// (on the same file system as the album, and across file systems), or a recordings folder
// that fills up, leaves one unfinished recording, and recovering it completes one album that
// holds the side exactly once.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

int g_stepsBeforeKill = 0;
void KillAtTheCountedStep() {
    if (--g_stepsBeforeKill == 0)
        ::raise(SIGKILL);
}

TEST_F(HeadlessRunTest, AKillOrAFullDiskAtAnyStepLeavesOneRecordingThatExportsTheSideOnce) {
    // Under ThreadSanitizer a forked child now and then records only part of the side (twice
    // in about 35 runs, with its own thread alive in the parent at each fork); the cause is
    // not found yet. The default and AddressSanitizer builds run it.
    if (kThreadSanitizer)
        GTEST_SKIP() << "a forked child sometimes records only part of the side under TSan";
    const std::vector<std::int16_t> side = MakeSide(2.0);
    WriteWav(root / "side.wav", side);
    const fs::path recordings = root / "recordings";
    std::vector<std::string> record = {"--simulate",      (root / "side.wav").string(),
                                       "--split",         "manual",
                                       "--mark",          "0.6",
                                       "--mark",          "1.3",
                                       "--artist",        "A",
                                       "--album",         "B",
                                       "--title",         "One",
                                       "--title",         "Two",
                                       "--title",         "Three",
                                       "--export-folder", (root / "export").string()};
    // Runs the wizard in a child killed at the given step (0: never); true when it was killed.
    const std::vector<std::string> recoverArgs = {"--simulate",
                                                  "--recover",
                                                  "newest",
                                                  "--artist",
                                                  "A",
                                                  "--album",
                                                  "B",
                                                  "--export-folder",
                                                  (root / "export").string()};
    // Runs args in a child killed at the given step (0: never); true when it was killed.
    const auto runKilled = [&](const std::vector<std::string>& args, int step) {
        const pid_t child = ::fork();
        if (child == 0) {
            g_stepsBeforeKill = step;
            SetDurableStepAction(step > 0 ? KillAtTheCountedStep : nullptr);
            ::_exit(Run(args));
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return WIFSIGNALED(status);
    };
    const auto runKilledAt = [&](int step) {
        fs::remove_all(root / "export");
        return runKilled(record, step);
    };
    // Recovers what is left (first killing a recovery at recoveryKill, when given), then
    // expects one album of the recorded side and nothing else.
    const auto recoverAndCheck = [&](bool wholeSide, int recoveryKill = 0) {
        RemoveLeftovers(recordings);
        if (recoveryKill > 0 && FindUnfinishedRecordings(recordings).size() == 1 &&
            runKilled(recoverArgs, recoveryKill)) {
            RemoveLeftovers(recordings);
        }
        const auto left = FindUnfinishedRecordings(recordings);
        ASSERT_LE(left.size(), 1u);
        if (left.size() == 1) {
            out.str("");
            err.str("");
            ASSERT_EQ(Run(recoverArgs), 0) << out.str() << err.str();
        }
        EXPECT_TRUE(fs::is_empty(recordings));
        std::vector<fs::path> albums(fs::directory_iterator(root / "export"), {});
        ASSERT_EQ(albums.size(), 1u);
        std::vector<std::int16_t> joined;
        // In track order: the typed titles, else "Track N" (a single track may have either).
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(albums[0]))
            names.push_back(e.path().filename().string());
        const auto order = [](const std::string& name) {
            const std::vector<std::string> titled = {"One", "Two", "Three"};
            const std::string stem = fs::path(name).stem().string();
            const auto at = std::find(titled.begin(), titled.end(), stem);
            return at != titled.end() ? at - titled.begin() : std::stol(stem.substr(6)) - 1;
        };
        std::sort(names.begin(), names.end(),
                  [&](const std::string& a, const std::string& b) { return order(a) < order(b); });
        for (const auto& name : names) {
            const fs::path track = albums[0] / name;
            const auto part =
                track.extension() == ".flac" ? test::Decode(track) : test::ReadWaveSamples16(track);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        // The side, or what of it the disk held, once.
        ASSERT_LE(joined.size(), side.size());
        EXPECT_TRUE(std::equal(joined.begin(), joined.end(), side.begin()));
        if (wholeSide)
            EXPECT_EQ(joined.size(), side.size());
        else
            EXPECT_FALSE(joined.empty());
    };

    const auto killAtEveryStep = [&] {
        int step = 1;
        for (; step < 100 && runKilledAt(step); ++step) {
            SCOPED_TRACE("killed at step " + std::to_string(step));
            // The recovery killed at a step too: what it leaves recovers the same way.
            recoverAndCheck(true, step);
        }
        EXPECT_GT(step, 10);  // a journal, three track files and three moves at the least
        recoverAndCheck(true);
    };
    killAtEveryStep();
    // Encoded, each track is put in place from a file of its own.
    record.insert(record.end(), {"--format", "flac"});
    killAtEveryStep();
    record.resize(record.size() - 2);

    // The same on a small disk of its own, which also fills at each step.
    if (::geteuid() != 0 || ::mount("tmpfs", recordings.c_str(), "tmpfs", 0, "size=4m") != 0) {
        std::cout << "[ note ] not root or no tmpfs: the cross-device and full-disk cases are "
                     "not run\n";
        return;
    }
    struct Unmount {
        const fs::path& at;
        ~Unmount() { ::umount(at.c_str()); }
    } unmount{recordings};
    killAtEveryStep();
    for (int kib = 64; kib <= 1152; kib += 64) {
        SCOPED_TRACE("a disk of " + std::to_string(kib) + " KiB");
        const std::string size = "size=" + std::to_string(kib) + "k";
        ASSERT_EQ(::mount("tmpfs", recordings.c_str(), "tmpfs", MS_REMOUNT, size.c_str()), 0);
        out.str("");
        err.str("");
        fs::remove_all(root / "export");
        const int exit = Run(record);
        if (exit != 0) {
            // Said, and nothing said to be done that is not.
            EXPECT_NE(err.str().find("sondrel:"), std::string::npos) << err.str();
        }
        ASSERT_EQ(::mount("tmpfs", recordings.c_str(), "tmpfs", MS_REMOUNT, "size=4m"), 0);
        recoverAndCheck(false);
    }
}

}  // namespace
}  // namespace sondrel
