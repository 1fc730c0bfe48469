#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <thread>

#include "common/TempFolder.h"
#include "devices/KnownDevices.h"
#include "platform/CTimeClockSetup.h"
#include "platform/sim/CSimPlatform.h"
#include "platform/sim/SimWaveFile.h"

namespace sondrel {
namespace {

void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A canonical PCM WAV file, optionally with an extra chunk before the data and a data size
// that claims more than is there.
std::vector<std::uint8_t> WavBytes(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                   const std::vector<std::int16_t>& samples,
                                   bool extraChunk = false, std::uint32_t claimedExtraBytes = 0) {
    std::vector<std::uint8_t> b = {'R', 'I', 'F', 'F'};
    Put32(b, 0);  // patched below
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, rate * channels * bits / 8);
    Put16(b, static_cast<std::uint16_t>(channels * bits / 8));
    Put16(b, bits);
    if (extraChunk) {
        b.insert(b.end(), {'L', 'I', 'S', 'T'});
        Put32(b, 3);
        b.insert(b.end(), {'a', 'b', 'c', 0});  // odd size, padded
    }
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, static_cast<std::uint32_t>(samples.size() * 2) + claimedExtraBytes);
    for (std::int16_t s : samples)
        Put16(b, static_cast<std::uint16_t>(s));
    const auto riff = static_cast<std::uint32_t>(b.size() - 8);
    std::memcpy(b.data() + 4, &riff, 4);
    return b;
}

TEST(SimWavSideTest, PlaysStereoAndSpreadsMono) {
    const test::TempFolder temp;
    ASSERT_TRUE(temp.Valid());
    const auto& folder = temp.Path();
    const std::vector<std::int16_t> stereo = {1, -1, 2, -2, 32767, -32768};
    WriteBytes(folder / "stereo.wav", WavBytes(2, 44100, 16, stereo, true));
    std::vector<std::int16_t> samples;
    std::string error;
    ASSERT_EQ(LoadSimSideFromWav(folder / "stereo.wav", samples, error), S_OK) << error;
    EXPECT_EQ(samples, stereo);

    WriteBytes(folder / "mono.wav", WavBytes(1, 44100, 16, {5, -7, 9}));
    ASSERT_EQ(LoadSimSideFromWav(folder / "mono.wav", samples, error), S_OK) << error;
    EXPECT_EQ(samples, (std::vector<std::int16_t>{5, 5, -7, -7, 9, 9}));

    // A data size larger than the file keeps the frames that are there, followed by no more
    // than the file's size in silence.
    const std::vector<std::uint8_t> lying = WavBytes(2, 44100, 16, stereo, false, 0x7FFFFF00);
    WriteBytes(folder / "short.wav", lying);
    ASSERT_EQ(LoadSimSideFromWav(folder / "short.wav", samples, error), S_OK) << error;
    ASSERT_GE(samples.size(), stereo.size());
    EXPECT_LE(samples.size() * 2, lying.size());
    EXPECT_TRUE(std::equal(stereo.begin(), stereo.end(), samples.begin()));
    EXPECT_TRUE(std::all_of(samples.begin() + stereo.size(), samples.end(),
                            [](std::int16_t s) { return s == 0; }));
}

TEST(SimWavSideTest, UnplayableFilesGiveAnErrorNamingThem) {
    const test::TempFolder temp;
    ASSERT_TRUE(temp.Valid());
    const auto& folder = temp.Path();
    std::vector<std::int16_t> samples = {1, 2};
    std::string error;
    EXPECT_EQ(LoadSimSideFromWav(folder / "missing.wav", samples, error), E_FAIL);
    EXPECT_NE(error.find("missing.wav"), std::string::npos);
    EXPECT_TRUE(samples.empty());

    EXPECT_EQ(LoadSimSideFromWav(folder, samples, error), E_FAIL);  // a folder

    WriteBytes(folder / "text.wav", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(LoadSimSideFromWav(folder / "text.wav", samples, error), E_FAIL);
    EXPECT_NE(error.find("text.wav"), std::string::npos);

    WriteBytes(folder / "48k.wav", WavBytes(2, 48000, 16, {1, 2}));
    EXPECT_EQ(LoadSimSideFromWav(folder / "48k.wav", samples, error), E_FAIL);
    EXPECT_NE(error.find("48000"), std::string::npos);

    WriteBytes(folder / "8bit.wav", WavBytes(2, 44100, 8, {1, 2}));
    EXPECT_EQ(LoadSimSideFromWav(folder / "8bit.wav", samples, error), E_FAIL);

    // A header cut off inside the format chunk.
    std::vector<std::uint8_t> cut = WavBytes(2, 44100, 16, {1, 2});
    cut.resize(30);
    WriteBytes(folder / "cut.wav", cut);
    EXPECT_EQ(LoadSimSideFromWav(folder / "cut.wav", samples, error), E_FAIL);

    // A chunk claiming to be 4 GiB long before any data.
    std::vector<std::uint8_t> huge = {'R',  'I',  'F',  'F',  0,   0,   0,   0,
                                      'W',  'A',  'V',  'E',  'j', 'u', 'n', 'k',
                                      0xFF, 0xFF, 0xFF, 0xFF, 1,   2,   3};
    WriteBytes(folder / "huge.wav", huge);
    EXPECT_EQ(LoadSimSideFromWav(folder / "huge.wav", samples, error), E_FAIL);
}

TEST(SimWavSideTest, DescriptionWithAMissingSideIsRefused) {
    const test::TempFolder temp;
    ASSERT_TRUE(temp.Valid());
    const auto& folder = temp.Path();
    std::ofstream(folder / "system.sim") << "capture \"USB PnP Audio Device\"\n"
                                            "deck wav \"no-such-side.wav\"\n";
    std::unique_ptr<CSimPlatform> platform;
    std::string error;
    EXPECT_EQ(CSimPlatform::CreateFromFile(folder / "system.sim", platform, error), E_FAIL);
    EXPECT_FALSE(platform);
    EXPECT_NE(error.find("no-such-side.wav"), std::string::npos) << error;

    // With the side present, next to the description, it plays.
    WriteBytes(folder / "no-such-side.wav", WavBytes(2, 44100, 16, {3, 4, 5, 6}));
    ASSERT_EQ(CSimPlatform::CreateFromFile(folder / "system.sim", platform, error), S_OK) << error;
    EXPECT_EQ(platform->Deck().SideFrames(), 2u);
}

TEST(SimDescriptionTest, ReportsTheLineOfAMistake) {
    SimSystemDescription d;
    std::string error;
    EXPECT_EQ(SimSystemDescription::Parse("# fine\nversion 6.1\ncaptur \"x\"\n", {}, d, error),
              E_FAIL);
    EXPECT_EQ(error, "line 3: unknown statement: captur");
    EXPECT_EQ(SimSystemDescription::Parse("capture \"x\" chanels=1\n", {}, d, error), E_FAIL);
    EXPECT_EQ(error, "line 1: unknown attribute: chanels");
    EXPECT_EQ(SimSystemDescription::Parse("capture \"x\n", {}, d, error), E_FAIL);
    EXPECT_EQ(SimSystemDescription::Parse("source \"Line\"\n", {}, d, error), E_FAIL);
    EXPECT_EQ(SimSystemDescription::Parse(
                  "mixer \"m\"\ndestination \"d\"\nsource \"s\" volume=9..1\n", {}, d, error),
              E_FAIL);
    EXPECT_EQ(SimSystemDescription::Parse("version six\n", {}, d, error), E_FAIL);
    EXPECT_EQ(SimSystemDescription::Load("/no/such/file.sim", d, error), E_FAIL);
}

TEST(SimDescriptionTest, ReadsEveryStatement) {
    SimSystemDescription d;
    std::string error;
    ASSERT_EQ(SimSystemDescription::Parse(
                  "version 5.1 platform=1  # old\n"
                  "usb USB\\VID_15E4&PID_0174&REV_0100\n"
                  "usb \"\"\n"
                  "capture \"Primary\" default\n"
                  "capture \"Say \\\"hi\\\"  twice\" channels=1 broken "
                  "id={6B29FC40-CA47-1067-B31D-00DD010662DA}\n"
                  "capture \"Same\"\ncapture \"Same\" deck\n"
                  "output \"Out\" default\n"
                  "mixer \"M\"\ndestination \"Rec\" channels=1 mux-order=forward\n"
                  "source \"Mic\" component=0x1003 target=0x2003 volume=0..100 value=40\n"
                  "deck silence\ncapture-mode paced\n",
                  {}, d, error),
              S_OK)
        << error;
    EXPECT_EQ(d.version.major, 5u);
    EXPECT_EQ(d.version.minor, 1u);
    EXPECT_EQ(d.version.platformId, 1u);
    EXPECT_EQ(d.usbHardwareIds, (std::vector<std::string>{"USB\\VID_15E4&PID_0174&REV_0100", ""}));
    ASSERT_EQ(d.captureDevices.size(), 4u);
    EXPECT_TRUE(d.captureDevices[0].id.IsNull());
    EXPECT_EQ(d.captureDevices[1].description, "Say \"hi\"  twice");
    EXPECT_EQ(d.captureDevices[1].channels, 1);
    EXPECT_TRUE(d.captureDevices[1].broken);
    EXPECT_EQ(d.captureDevices[1].id.ToString(), "{6B29FC40-CA47-1067-B31D-00DD010662DA}");
    EXPECT_NE(d.captureDevices[2].id, d.captureDevices[3].id);  // alike, yet distinct
    EXPECT_TRUE(d.captureDevices[3].deck);
    EXPECT_TRUE(d.outputDevices[0].id.IsNull());
    const SimMixerDestination& rec = d.mixers[0].destinations[0];
    EXPECT_TRUE(rec.hasMux);
    EXPECT_TRUE(rec.muxForward);
    EXPECT_EQ(rec.sources[0].targetType, 0x2003u);
    EXPECT_EQ(rec.sources[0].volumeMaximum, 100u);
    EXPECT_EQ(rec.sources[0].volumeValue, 40u);
    EXPECT_EQ(d.deckSource, SimDeckSource::Silence);
    EXPECT_EQ(d.captureMode, SimCaptureMode::Paced);

    CSimPlatform platform(d);
    EXPECT_EQ(platform.SimAudio().DeckDevice(), d.captureDevices[3].id);
    std::unique_ptr<ICaptureRing> ring;
    EXPECT_EQ(
        platform.Audio().CreateCaptureRing(d.captureDevices[1].id, CaptureFormat(), 17640, ring),
        E_FAIL);  // broken
    EXPECT_EQ(platform.Audio().CreateCaptureRing(d.captureDevices[2].id, FloatStreamFormat(), 17640,
                                                 ring),
              E_FAIL);  // only the capture format
}

// Statements whose names begin alike each reach their own parser.
TEST(SimDescriptionTest, LookAlikeStatementsAreKeptApart) {
    SimSystemDescription d;
    std::string error;
    ASSERT_EQ(
        SimSystemDescription::Parse(
            "usb-fails\nendpoints-fail\ncapture-mode paced\ndeck-vanishes-at 7\n", {}, d, error),
        S_OK)
        << error;
    EXPECT_TRUE(d.usbFails && d.usbHardwareIds.empty());
    EXPECT_TRUE(d.endpointsFail && d.endpoints.empty());
    EXPECT_TRUE(d.captureMode == SimCaptureMode::Paced && d.captureDevices.empty());
    EXPECT_TRUE(d.deckVanishFrame == 7 && d.deckSource == SimDeckSource::Demo);
    EXPECT_EQ(SimSystemDescription::Parse("usb-fail\n", {}, d, error), E_FAIL);
    EXPECT_EQ(error, "line 1: unknown statement: usb-fail");
}

TEST(SimDescriptionTest, BuiltInSystemIsTheDemoTurntable) {
    auto platform = CSimPlatform::CreateDefault();
    std::vector<std::string> ids;
    ASSERT_EQ(platform->Usb().EnumeratePresentDevices(ids), S_OK);
    EXPECT_NE(std::find(ids.begin(), ids.end(), "USB\\VID_15E4&PID_0174&REV_0100"), ids.end());

    std::vector<AudioDeviceEntry> capture, output;
    ASSERT_EQ(platform->Audio().EnumerateCaptureDevices(capture), S_OK);
    ASSERT_EQ(platform->Audio().EnumerateOutputDevices(output), S_OK);
    ASSERT_EQ(capture.size(), 2u);
    EXPECT_TRUE(capture[0].id.IsNull());
    EXPECT_EQ(capture[1].description, kKnownDevices[8].captureNames[0]);
    EXPECT_EQ(capture[1].id, platform->SimAudio().DeckDevice());
    ASSERT_EQ(output.size(), 2u);
    EXPECT_TRUE(output[0].id.IsNull());

    // Its mixer carries the capture device's name with microphone and line sources.
    std::unique_ptr<IMixerDevice> mixer;
    ASSERT_EQ(platform->Mixers().GetDeviceCount(), 1u);
    ASSERT_EQ(platform->Mixers().Open(0, mixer), S_OK);
    std::string name;
    std::uint32_t destinations = 0;
    ASSERT_EQ(mixer->GetCaps(name, destinations), S_OK);
    EXPECT_EQ(name, capture[1].description);
    MixerLineInfo line;
    ASSERT_EQ(mixer->GetDestination(0, line), S_OK);
    EXPECT_EQ(line.componentType, kMixerDstWaveIn);
    ASSERT_EQ(line.connections, 2u);
    ASSERT_EQ(mixer->GetSource(0, 0, line), S_OK);
    EXPECT_EQ(line.componentType, kMixerSrcMicrophone);

    // Another device is selectable.
    auto cassette = std::make_unique<CSimPlatform>(
        SimSystemDescription::ForUsbDevice(0x15E4, 0x0179, "USB PnP Audio Device"));
    ASSERT_EQ(cassette->Usb().EnumeratePresentDevices(ids), S_OK);
    EXPECT_NE(std::find(ids.begin(), ids.end(), "USB\\VID_15E4&PID_0179&REV_0100"), ids.end());
}

TEST(SimOutputTest, KeepsWhatItWasGivenInOrder) {
    auto platform = CSimPlatform::CreateDefault();
    const GUID speakers = platform->Description().outputDevices[1].id;
    std::unique_ptr<IOutputRing> ring;
    ASSERT_EQ(platform->Audio().CreateOutputRing(speakers, CaptureFormat(), 4000, ring), S_OK);
    ASSERT_EQ(ring->SizeBytes(), 4000u);

    std::vector<std::uint8_t> written;
    std::uint32_t offset = 0;
    for (int round = 0; round < 7; ++round) {
        const std::uint32_t bytes = 1200 + 4 * round;
        RingRegions regions;
        ASSERT_EQ(ring->Lock(offset, bytes, regions), S_OK);
        ASSERT_EQ(regions.firstBytes + regions.secondBytes, bytes);
        for (std::uint32_t i = 0; i < bytes; ++i) {
            const auto value = static_cast<std::uint8_t>(written.size() * 7 + 3);
            (i < regions.firstBytes ? regions.first[i] : regions.second[i - regions.firstBytes]) =
                value;
            written.push_back(value);
        }
        ASSERT_EQ(ring->Unlock(regions), S_OK);
        offset = (offset + bytes) % ring->SizeBytes();
    }
    const SimOutputRecord* record = platform->SimAudio().OutputRecord(speakers);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->bytes, written);
    // The all-zero id names the default output, which is the same device here.
    EXPECT_EQ(platform->SimAudio().OutputRecord(GUID{}), record);

    RingRegions bad;
    EXPECT_EQ(ring->Lock(4000, 4, bad), E_FAIL);
    EXPECT_EQ(ring->Lock(0, 4001, bad), E_FAIL);
    EXPECT_EQ(bad.first, nullptr);
}

TEST(SimOutputTest, CursorsMoveOnlyWhilePlaying) {
    auto platform = CSimPlatform::CreateDefault();
    platform->UseSimulatedClock();
    std::unique_ptr<IOutputRing> ring;
    ASSERT_EQ(platform->Audio().CreateOutputRing(GUID{}, CaptureFormat(), 176400, ring), S_OK);
    std::uint32_t play = 1, write = 1;
    ASSERT_EQ(ring->GetCurrentPosition(play, write), S_OK);
    EXPECT_EQ(play, 0u);
    EXPECT_EQ(write, 0u);
    ASSERT_EQ(ring->PlayLooping(), S_OK);
    platform->Threads().SleepMs(60);
    ASSERT_EQ(ring->GetCurrentPosition(play, write), S_OK);
    EXPECT_EQ(play, 176400u * 60 / 1000);
    EXPECT_EQ(play % 4, 0u);
    EXPECT_EQ(write, (play + 2640) % 176400);
    ASSERT_EQ(ring->Stop(), S_OK);
    std::uint32_t stoppedPlay = 0;
    ASSERT_EQ(ring->GetCurrentPosition(stoppedPlay, write), S_OK);
    platform->Threads().SleepMs(20);
    ASSERT_EQ(ring->GetCurrentPosition(play, write), S_OK);
    EXPECT_EQ(play, stoppedPlay);
}

TEST(SimOutputTest, BytesBeyondTheLimitAreCountedNotKept) {
    auto platform = CSimPlatform::CreateDefault();
    platform->SimAudio().SetOutputRecordLimit(1000);
    std::unique_ptr<IOutputRing> ring;
    ASSERT_EQ(platform->Audio().CreateOutputRing(GUID{}, CaptureFormat(), 800, ring), S_OK);
    for (int i = 0; i < 2; ++i) {
        RingRegions regions;
        ASSERT_EQ(ring->Lock(0, 800, regions), S_OK);
        ASSERT_EQ(ring->Unlock(regions), S_OK);
    }
    const SimOutputRecord* record = platform->SimAudio().OutputRecord(GUID{});
    EXPECT_EQ(record->bytes.size(), 1000u);
    EXPECT_EQ(record->droppedBytes.load(), 600u);
}

TEST(SimShellTest, FoldersAndOpenedItems) {
    auto platform = CSimPlatform::CreateDefault();
    std::filesystem::path folder;
    ASSERT_EQ(platform->Shell().GetTempFolder(folder), S_OK);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    platform->SetMusicFolder("/tmp/x/Music");
    ASSERT_EQ(platform->Shell().GetMusicFolder(folder), S_OK);
    EXPECT_EQ(folder, "/tmp/x/Music");
    EXPECT_EQ(platform->Shell().OpenFolder("/tmp/x/Music/Artist - Album"), S_OK);
    EXPECT_EQ(platform->Shell().OpenWebAddress("https://example.org/support"), S_OK);
    EXPECT_EQ(platform->OpenedItems(), (std::vector<std::string>{"/tmp/x/Music/Artist - Album",
                                                                 "https://example.org/support"}));

    // The timer-resolution holder pairs its calls; on the simulated system they are no-ops.
    { CTimeClockSetup clock(platform->Threads()); }
    EXPECT_FALSE(platform->Threads().RaiseCurrentThreadPriority());
}

}  // namespace
}  // namespace sondrel
