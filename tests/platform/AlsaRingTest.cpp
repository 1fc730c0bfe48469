// The ALSA rings run for real on PCMs that the test configures: ALSA's file plugin plays a
// generated recording into the capture ring and records what the output ring plays, a
// one-channel PCM stands for a device set to mono.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "app/CMemorySettingsStore.h"
#include "common/TempFolder.h"
#include "devices/IdentifyCaptureDevice.h"
#include "devices/StereoCheck.h"
#include "platform/AlsaTestConfig.h"
#include "platform/RingDrainer.h"
#include "platform/alsa/CAlsaAudioSystem.h"
#include "platform/linux/CLinuxPlatform.h"
#include "recording/CRecorder.h"
#include "recording/CSourceEqualiser.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;
using test::RingDrainer;

constexpr std::uint32_t kRingBytes = kCaptureBytesPerSecond;

// A distinct value for every sample of a few seconds of stereo audio.
std::vector<std::int16_t> Recording(std::size_t frames) {
    std::vector<std::int16_t> samples(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        samples[2 * i] = static_cast<std::int16_t>(i * 7 - 32768);
        samples[2 * i + 1] = static_cast<std::int16_t>(-static_cast<std::int32_t>(i % 30011));
    }
    return samples;
}

class AlsaRingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        WriteSide(Recording(3 * kCaptureFramesPerSecond));
        test::UseAlsaConfig(
            m_dir / "asound.conf",
            test::TurntablePcm(m_dir / "side.raw") +
                test::RecordingPcm("speakers", m_dir / "played.raw", "Speakers, Built-in Audio") +
                "pcm.monomic {\n type multi\n slaves.a.pcm \"null\"\n"
                " slaves.a.channels 1\n bindings.0.slave a\n"
                " bindings.0.channel 0\n"
                " hint { show on; description \"Mono Microphone\" }\n}\n");
    }

    void TearDown() override { test::RestoreAlsaConfig(); }

    void WriteSide(std::vector<std::int16_t> samples) {
        m_input = std::move(samples);
        test::WriteRawSide(m_dir / "side.raw", m_input);
    }

    GUID IdOf(CAlsaAudioSystem& audio, const std::string& description, bool capture) {
        std::vector<AudioDeviceEntry> devices;
        EXPECT_EQ(capture ? audio.EnumerateCaptureDevices(devices)
                          : audio.EnumerateOutputDevices(devices),
                  S_OK);
        for (const AudioDeviceEntry& device : devices) {
            if (device.description == description)
                return device.id;
        }
        ADD_FAILURE() << "no device " << description;
        return GUID{};
    }

    test::TempFolder m_temp;
    const fs::path m_dir = m_temp.Path();
    std::vector<std::int16_t> m_input;
};

TEST_F(AlsaRingTest, ConfiguredPcmsAreListedWithTheirHintDescriptions) {
    CAlsaAudioSystem audio;
    std::vector<AudioDeviceEntry> capture;
    ASSERT_EQ(audio.EnumerateCaptureDevices(capture), S_OK);
    ASSERT_FALSE(capture.empty());
    EXPECT_TRUE(capture[0].id.IsNull());
    EXPECT_EQ(IdOf(audio, "USB AUDIO  CODEC, USB Audio", true), GUID::FromName("turntable"));
    // The null PCM is no device anyone records from.
    for (const AudioDeviceEntry& device : capture)
        EXPECT_EQ(device.description.find("Discard all samples"), std::string::npos);

    // The table's row 11 finds the turntable by its product name.
    const IdentifiedDevice found = IdentifyCaptureDevice(audio, 0x08BB, 0x29C0);
    ASSERT_NE(found.row, nullptr);
    EXPECT_EQ(found.captureGuid, GUID::FromName("turntable"));
}

TEST_F(AlsaRingTest, CaptureRingDeliversTheRecordingSampleForSample) {
    CAlsaAudioSystem audio;
    std::unique_ptr<ICaptureRing> ring;
    ASSERT_EQ(audio.CreateCaptureRing(IdOf(audio, "USB AUDIO  CODEC, USB Audio", true),
                                      CaptureFormat(), kRingBytes, ring),
              S_OK)
        << audio.LastError();
    ASSERT_EQ(ring->SizeBytes(), kRingBytes);
    ASSERT_EQ(ring->StartLooping(), S_OK);

    // Two and a half seconds: the ring wraps twice.
    const std::size_t wanted = m_input.size() * 5 / 6;
    std::vector<std::int16_t> captured;
    RingDrainer drainer(*ring);
    for (int poll = 0; poll < 10000 && captured.size() < wanted; ++poll)
        drainer.Poll(captured);
    ASSERT_GE(captured.size(), wanted);
    EXPECT_EQ(ring->Stop(), S_OK);
    EXPECT_TRUE(std::equal(m_input.begin(), m_input.begin() + wanted, captured.begin()));
    EXPECT_EQ(audio.CaptureOverruns(), 0u);
}

TEST_F(AlsaRingTest, CaptureRingNeverOverwritesWhatWasNotConsumed) {
    CAlsaAudioSystem audio;
    std::unique_ptr<ICaptureRing> ring;
    ASSERT_EQ(
        audio.CreateCaptureRing(GUID::FromName("turntable"), CaptureFormat(), kRingBytes, ring),
        S_OK);
    ASSERT_EQ(ring->StartLooping(), S_OK);
    std::uint32_t capture = 0;
    std::uint32_t read = 0;
    for (int poll = 0; poll < 50; ++poll)
        ASSERT_EQ(ring->GetCurrentPosition(capture, read), S_OK);
    // Full but for one frame, so that a full ring never looks empty.
    EXPECT_EQ(read, kRingBytes - 4);

    // Consuming in small steps lets the ring go on without a gap.
    std::vector<std::int16_t> captured;
    RingDrainer drainer(*ring);
    for (int poll = 0; poll < 10000 && captured.size() < kRingBytes; ++poll)
        drainer.Poll(captured, 4410 * 4);
    ASSERT_GE(captured.size(), kRingBytes);  // two ring sizes of bytes
    EXPECT_TRUE(std::equal(m_input.begin(), m_input.begin() + kRingBytes, captured.begin()));

    RingRegions regions;
    EXPECT_EQ(ring->Lock(kRingBytes, 4, regions), E_FAIL);
    EXPECT_EQ(regions.first, nullptr);
    EXPECT_EQ(ring->Lock(0, kRingBytes + 4, regions), E_FAIL);
    std::uint8_t foreign[8];
    EXPECT_EQ(ring->Unlock(RingRegions{foreign, 8, nullptr, 0}), E_FAIL);
}

TEST_F(AlsaRingTest, CaptureRingHandsOverEverythingBeforeItsDeviceIsLost) {
    // Unplugged (reads fail with -ENODEV), and gone in an overrun that cannot be recovered.
    for (const char* broken : {"false", "true"}) {
        SCOPED_TRACE(broken);
        test::UseAlsaConfig(
            m_dir / "deck.conf",
            test::TestDeckPcm(m_dir / "side.raw",
                              std::string("unplug_at 22050 unplug_broken ") + broken));
        CAlsaAudioSystem audio;
        std::unique_ptr<ICaptureRing> ring;
        ASSERT_EQ(
            audio.CreateCaptureRing(GUID::FromName("turntable"), CaptureFormat(), kRingBytes, ring),
            S_OK)
            << audio.LastError();
        ASSERT_EQ(ring->StartLooping(), S_OK);
        std::vector<std::int16_t> captured;
        RingDrainer drainer(*ring);
        for (int poll = 0; poll < 300 && !drainer.DeviceLost(); ++poll) {
            drainer.Poll(captured);
            usleep(10000);
        }
        ASSERT_TRUE(drainer.DeviceLost());
        ASSERT_EQ(captured.size(), 2u * 22050);
        EXPECT_TRUE(std::equal(captured.begin(), captured.end(), m_input.begin()));
        std::uint32_t capture = 0, read = 0;
        EXPECT_EQ(ring->GetCurrentPosition(capture, read), E_DEVICE_LOST);
        EXPECT_EQ(ring->TakeLostFrames(), 0u);
        EXPECT_EQ(ring->Stop(), S_OK);
    }
}

// Never zero, so that silence and audio can be told apart.
std::int16_t Sample(int block, std::size_t index) {
    return static_cast<std::int16_t>((block * 1000 + static_cast<int>(index)) % 30000 + 1);
}

TEST_F(AlsaRingTest, OutputRingPlaysEachWrittenBlockOnceAndInOrder) {
    CAlsaAudioSystem audio;
    std::unique_ptr<IOutputRing> ring;
    ASSERT_EQ(audio.CreateOutputRing(IdOf(audio, "Speakers, Built-in Audio", false),
                                     CaptureFormat(), kRingBytes, ring),
              S_OK)
        << audio.LastError();

    // Blocks of 10 ms, each a ramp starting at its own number, written ahead of the write
    // cursor like the monitor does; more than a ring's worth so that the ring wraps.
    constexpr std::uint32_t kBlockBytes = 1764;
    constexpr int kBlocks = 250;
    std::uint32_t writeOffset = 0;
    bool playing = false;
    for (int block = 0; block < kBlocks; ++block) {
        std::uint32_t play = 0;
        std::uint32_t write = 0;
        ASSERT_EQ(ring->GetCurrentPosition(play, write), S_OK);
        std::uint32_t ahead = (writeOffset + kRingBytes - write) % kRingBytes;
        if (ahead > kRingBytes / 2 || ahead < 4096)
            writeOffset = (write + 4096) % kRingBytes;
        RingRegions regions;
        ASSERT_EQ(ring->Lock(writeOffset, kBlockBytes, regions), S_OK);
        std::vector<std::int16_t> samples(kBlockBytes / 2);
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = Sample(block, i);
        std::memcpy(regions.first, samples.data(), regions.firstBytes);
        if (regions.second != nullptr) {
            std::memcpy(regions.second,
                        reinterpret_cast<std::uint8_t*>(samples.data()) + regions.firstBytes,
                        regions.secondBytes);
        }
        ASSERT_EQ(ring->Unlock(regions), S_OK);
        writeOffset = (writeOffset + kBlockBytes) % kRingBytes;
        if (!playing) {
            ASSERT_EQ(ring->PlayLooping(), S_OK);
            playing = true;
        }
    }
    // Let the ring send what is still ahead of its write cursor.
    for (int i = 0; i < 40; ++i) {
        std::uint32_t play = 0;
        std::uint32_t write = 0;
        ASSERT_EQ(ring->GetCurrentPosition(play, write), S_OK);
    }
    ASSERT_EQ(ring->Stop(), S_OK);
    ring.reset();

    std::ifstream file(m_dir / "played.raw", std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                  std::istreambuf_iterator<char>());
    std::vector<std::int16_t> played(bytes.size() / 2);
    std::memcpy(played.data(), bytes.data(), played.size() * 2);
    // This null sink plays instantly, so the writer keeps falling behind: blocks arrive with
    // silence between them, but whole, once each, in order, and never as a stale repeat.
    std::size_t at = 0;
    for (int block = 0; block < kBlocks; ++block) {
        const std::int16_t first = Sample(block, 0);
        while (at < played.size() && played[at] != first)
            ++at;
        ASSERT_LT(at, played.size()) << "block " << block << " missing";
        for (std::size_t i = 0; i < kBlockBytes / 2; ++i) {
            ASSERT_EQ(played[at + i], Sample(block, i)) << "block " << block;
        }
        at += kBlockBytes / 2;
    }
    const auto audible =
        played.size() - static_cast<std::size_t>(std::count(played.begin(), played.end(), 0));
    EXPECT_EQ(audible, std::size_t{kBlocks} * kBlockBytes / 2);
}

TEST_F(AlsaRingTest, RingsRefuseMissingDevicesAndOtherFormats) {
    CAlsaAudioSystem audio;
    std::unique_ptr<ICaptureRing> capture;
    EXPECT_EQ(audio.CreateCaptureRing(GUID::FromName("no-such-pcm"), CaptureFormat(), kRingBytes,
                                      capture),
              E_FAIL);
    EXPECT_EQ(capture, nullptr);
    WAVEFORMATEX floats = FloatStreamFormat();
    EXPECT_EQ(audio.CreateCaptureRing(GUID::FromName("turntable"), floats, kRingBytes, capture),
              E_FAIL);
    EXPECT_EQ(audio.CreateCaptureRing(GUID::FromName("turntable"), CaptureFormat(), 6, capture),
              E_FAIL);
    // A stereo ring on a device that only has one channel.
    EXPECT_EQ(
        audio.CreateCaptureRing(GUID::FromName("monomic"), CaptureFormat(), kRingBytes, capture),
        E_FAIL);
    EXPECT_NE(audio.LastError().find("monomic"), std::string::npos) << audio.LastError();
}

TEST_F(AlsaRingTest, EndpointsReportTheChannelsTheDeviceRecordsWith) {
    CAlsaAudioSystem audio;
    std::vector<CaptureEndpointInfo> endpoints;
    ASSERT_EQ(audio.EnumerateActiveCaptureEndpoints(endpoints), S_OK);
    std::map<std::string, std::uint16_t> channels;
    for (const CaptureEndpointInfo& endpoint : endpoints)
        channels[endpoint.friendlyName] = endpoint.formatChannels;
    EXPECT_EQ(channels["USB AUDIO  CODEC, USB Audio"], 2);
    EXPECT_EQ(channels["Mono Microphone"], 1);
    EXPECT_EQ(channels.count("Default Audio Device"), 0u);

    EXPECT_TRUE(IsCaptureEndpointMono(audio, "Mono Microphone"));
    EXPECT_FALSE(IsCaptureEndpointMono(audio, "USB AUDIO  CODEC, USB Audio"));
}

TEST_F(AlsaRingTest, RecorderRecordsThroughAlsaWithoutGapsOrDamage) {
    // Every frame tells its own number, so any frame of the recording says where in the side
    // it came from. ALSA's file plugin plays as fast as it is read, so a long side.
    constexpr std::uint32_t kSideFrames = 40 * kCaptureFramesPerSecond;
    const std::vector<std::int16_t> side = test::NumberedSide(kSideFrames);
    WriteSide(side);

    std::unique_ptr<CLinuxPlatform> platform;
    std::string error;
    ASSERT_EQ(CLinuxPlatform::Create({std::make_pair(0x08BBu, 0x29C0u)}, platform, error), S_OK)
        << error;
    const std::vector<UsbIdPair> usb = FindKnownDevices(platform->Usb());
    ASSERT_EQ(usb.size(), 1u);
    const IdentifiedDevice device =
        IdentifyCaptureDevice(platform->Audio(), usb[0].first, usb[0].second);
    ASSERT_EQ(device.captureGuid, GUID::FromName("turntable"));

    CMemorySettingsStore profile;
    auto recorder = ComPtr<CRecorder>::Attach(new CRecorder(*platform, profile));
    recorder->SetRecordingsFolder(m_dir);
    ASSERT_EQ(recorder->UseDevice(device), 0);
    ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK) << platform->AlsaAudio().LastError();
    recorder->SetSourceFilter(kSourceFilterNone);
    ASSERT_EQ(recorder->StartRecording(), S_OK);
    platform->Threads().SleepMs(300);
    ASSERT_EQ(recorder->StopRecording(), S_OK);
    std::vector<std::string> files;
    ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    ASSERT_EQ(files.size(), 1u);

    const std::vector<std::int16_t> recorded = test::ReadWaveSamples16(recorder->TempFileName());
    ASSERT_GE(recorded.size(), 2u * 4410) << "less than 100 ms recorded";
    const std::uint32_t first = test::FrameNumber(recorded, 0);
    ASSERT_LT(first, kSideFrames);
    for (std::size_t frame = 0; frame < recorded.size() / 2; ++frame) {
        const std::uint64_t source = first + frame;
        const std::int16_t left = source < kSideFrames ? side[2 * source] : 0;
        const std::int16_t right = source < kSideFrames ? side[2 * source + 1] : 0;
        ASSERT_EQ(recorded[2 * frame], left) << "frame " << frame;
        ASSERT_EQ(recorded[2 * frame + 1], right) << "frame " << frame;
    }
    EXPECT_EQ(platform->AlsaAudio().CaptureOverruns(), 0u);
    recorder->CloseInput();
}

TEST_F(AlsaRingTest, AnOverrunIsLostTimeOfThatRecordingOnly) {
    // The deck holds up the capture thread for 1.5 s, longer than ALSA's one-second buffer,
    // one second into the side; the numbered frames show the gap that leaves.
    const std::vector<std::int16_t> side = test::NumberedSide(10 * kCaptureFramesPerSecond);
    WriteSide(side);
    test::UseAlsaConfig(
        m_dir / "deck.conf",
        test::TestDeckPcm(m_dir / "side.raw", "stall_at 44100 stall_ms 1500") +
            test::RecordingPcm("speakers", m_dir / "played.raw", "Speakers, Built-in Audio"));
    std::unique_ptr<CLinuxPlatform> platform;
    std::string error;
    ASSERT_EQ(CLinuxPlatform::Create({std::make_pair(0x08BBu, 0x29C0u)}, platform, error), S_OK)
        << error;
    const IdentifiedDevice device = IdentifyCaptureDevice(platform->Audio(), 0x08BB, 0x29C0);
    ASSERT_EQ(device.captureGuid, GUID::FromName("turntable"));
    CMemorySettingsStore profile;
    auto recorder = ComPtr<CRecorder>::Attach(new CRecorder(*platform, profile));
    recorder->SetRecordingsFolder(m_dir);
    ASSERT_EQ(recorder->UseDevice(device), 0);
    const auto record = [&](std::uint32_t ms) {
        ASSERT_EQ(recorder->OpenInput(nullptr, false), S_OK) << platform->AlsaAudio().LastError();
        EXPECT_EQ(recorder->LostSeconds(), 0.0);
        recorder->SetSourceFilter(kSourceFilterNone);
        ASSERT_EQ(recorder->StartRecording(), S_OK);
        platform->Threads().SleepMs(ms);
        ASSERT_EQ(recorder->StopRecording(), S_OK);
        std::vector<std::string> files;
        ASSERT_EQ(recorder->FinishRecording(false, false, files), S_OK);
    };

    record(3000);
    if (HasFatalFailure())
        return;
    const std::vector<std::int16_t> recorded = test::ReadWaveSamples16(recorder->TempFileName());
    ASSERT_GE(recorded.size(), 2u * kCaptureFramesPerSecond);
    std::uint64_t gapFrames = 0;
    for (std::size_t frame = 1; frame < recorded.size() / 2; ++frame) {
        const std::uint32_t number = test::FrameNumber(recorded, frame);
        const std::uint32_t previous = test::FrameNumber(recorded, frame - 1);
        ASSERT_GT(number, previous) << "frame " << frame;
        if (number != previous + 1) {
            ASSERT_EQ(gapFrames, 0u) << "a second gap at frame " << frame;
            gapFrames = number - previous - 1;
        }
    }
    EXPECT_GT(gapFrames, kCaptureFramesPerSecond);
    // The ring's estimate from the clock, within a few capture periods of the true gap.
    EXPECT_NEAR(recorder->LostSeconds(), static_cast<double>(gapFrames) / kCaptureFramesPerSecond,
                0.05);
    EXPECT_GT(platform->AlsaAudio().CaptureOverruns(), 0u);

    // The next recording (the deck stalls again only a second in) starts with nothing lost.
    record(200);
    EXPECT_EQ(recorder->LostSeconds(), 0.0);
    recorder->CloseInput();
}

}  // namespace
}  // namespace sondrel
