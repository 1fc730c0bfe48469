// ALSA device lists built from a recorded hint set of a desktop with an onboard card, an HDMI
// card and a USB audio codec: one entry per device, the kernel's product name in the
// description, stable ids, and the identification and monitor choice that follow from them.
#include <gtest/gtest.h>

#include "devices/IdentifyCaptureDevice.h"
#include "devices/OutputDeviceList.h"
#include "platform/CaptureHolder.h"
#include "platform/alsa/AlsaDeviceNames.h"
#include "platform/alsa/CAlsaAudioSystem.h"
#include "platform/alsa/CAlsaMixerSystem.h"

namespace sondrel {
namespace {

// As `aplay -L` shows them on such a machine (PipeWire, ALSA plugins installed).
std::vector<AlsaHint> DesktopHints() {
    return {
        {"null", "Discard all samples (playback) or generate zero samples (capture)", ""},
        {"lavrate", "Rate Converter Plugin Using Libav/FFmpeg Library", ""},
        {"samplerate", "Rate Converter Plugin Using Samplerate Library", ""},
        {"speexrate", "Rate Converter Plugin Using Speex Resampler", ""},
        {"jack", "JACK Audio Connection Kit", ""},
        {"oss", "Open Sound System", ""},
        {"pipewire", "PipeWire Sound Server", ""},
        {"pulse", "PulseAudio Sound Server", ""},
        {"upmix", "Plugin for channel upmix (4,6,8)", ""},
        {"vdownmix", "Plugin for channel downmix (stereo) with a simple spacialization", ""},
        {"default", "Default ALSA Output (currently PipeWire Media Server)", ""},
        {"hw:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nDirect hardware device", ""},
        {"hw:CARD=PCH,DEV=1", "HDA Intel PCH, ALC892 Digital\nDirect hardware device", "Output"},
        {"plughw:CARD=PCH,DEV=0",
         "HDA Intel PCH, ALC892 Analog\nHardware device with all software "
         "conversions",
         ""},
        {"sysdefault:CARD=PCH", "HDA Intel PCH, ALC892 Analog\nDefault Audio Device", ""},
        {"front:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nFront output / input", ""},
        {"surround51:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\n5.1 Surround output",
         "Output"},
        {"iec958:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Digital\nIEC958 (S/PDIF) Digital Audio",
         "Output"},
        {"dmix:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nDirect sample mixing device",
         "Output"},
        {"dsnoop:CARD=PCH,DEV=0", "HDA Intel PCH, ALC892 Analog\nDirect sample snooping device",
         "Input"},
        {"hdmi:CARD=NVidia,DEV=0", "HDA NVidia, HDMI 0\nHDMI Audio Output", "Output"},
        {"hw:CARD=NVidia,DEV=3", "HDA NVidia, HDMI 0\nDirect hardware device", "Output"},
        {"sysdefault:CARD=CODEC", "USB AUDIO  CODEC, USB Audio\nDefault Audio Device", ""},
        {"front:CARD=CODEC,DEV=0", "USB AUDIO  CODEC, USB Audio\nFront output / input", ""},
        {"dsnoop:CARD=CODEC,DEV=0", "USB AUDIO  CODEC, USB Audio\nDirect sample snooping", "Input"},
        {"hw:CARD=CODEC,DEV=0", "USB AUDIO  CODEC, USB Audio\nDirect hardware device", ""},
        {"plughw:CARD=CODEC,DEV=0",
         "USB AUDIO  CODEC, USB Audio\nHardware device with all "
         "software conversions",
         ""},
        {"usbstream:CARD=CODEC", "USB AUDIO  CODEC\nUSB Stream Output", "Output"},
    };
}

std::vector<std::string> Descriptions(const std::vector<AlsaDeviceInfo>& devices) {
    std::vector<std::string> result;
    for (const AlsaDeviceInfo& device : devices)
        result.push_back(device.description);
    return result;
}

TEST(AlsaDeviceNames, EachPhysicalDeviceAppearsOnceAfterTheDefaultEntry) {
    const auto capture = BuildAlsaDeviceList(DesktopHints(), AlsaDirection::Capture);
    EXPECT_EQ(
        Descriptions(capture),
        (std::vector<std::string>{"Default ALSA Output (currently PipeWire Media Server)",
                                  "PipeWire Sound Server", "PulseAudio Sound Server",
                                  "HDA Intel PCH, ALC892 Analog", "USB AUDIO  CODEC, USB Audio"}));
    EXPECT_TRUE(capture[0].id.IsNull());
    EXPECT_EQ(capture[0].pcmName, "default");
    EXPECT_EQ(capture[4].pcmName, "plughw:CARD=CODEC,DEV=0");
    EXPECT_EQ(capture[4].probeName, "hw:CARD=CODEC,DEV=0");
    EXPECT_EQ(capture[4].cardId, "CODEC");
    EXPECT_EQ(capture[4].deviceNumber, 0);

    const auto output = BuildAlsaDeviceList(DesktopHints(), AlsaDirection::Output);
    EXPECT_EQ(
        Descriptions(output),
        (std::vector<std::string>{"Default ALSA Output (currently PipeWire Media Server)",
                                  "PipeWire Sound Server", "PulseAudio Sound Server",
                                  "HDA Intel PCH, ALC892 Analog", "HDA Intel PCH, ALC892 Digital",
                                  "HDA NVidia, HDMI 0", "USB AUDIO  CODEC, USB Audio"}));
    EXPECT_EQ(output[5].pcmName, "plughw:CARD=NVidia,DEV=3");
}

TEST(AlsaDeviceNames, IdsAreStableAndDistinct) {
    const auto first = BuildAlsaDeviceList(DesktopHints(), AlsaDirection::Capture);
    std::vector<AlsaHint> reordered = DesktopHints();
    std::reverse(reordered.begin(), reordered.end());
    const auto second = BuildAlsaDeviceList(reordered, AlsaDirection::Capture);
    for (const AlsaDeviceInfo& device : first) {
        const auto same = std::find_if(second.begin(), second.end(),
                                       [&](const auto& d) { return d.pcmName == device.pcmName; });
        ASSERT_NE(same, second.end()) << device.pcmName;
        EXPECT_EQ(same->id, device.id);
        EXPECT_EQ(device.id.IsNull(), device.pcmName == "default");
        EXPECT_EQ(std::count_if(first.begin(), first.end(),
                                [&](const auto& d) { return d.id == device.id; }),
                  1);
    }
    // The same device on another machine or after a reboot keeps its id.
    EXPECT_EQ(first[4].id, GUID::FromName("plughw:CARD=CODEC,DEV=0"));
}

TEST(AlsaDeviceNames, CardsWithoutHardwareHintsAndNamesWithQuotes) {
    // Some configurations list only sysdefault for a card; values may be quoted.
    const std::vector<AlsaHint> hints = {
        {"sysdefault:CARD=Deck", "KORVELL CASSETTE, USB Audio\nDefault Audio Device", "Input"},
        {"dsnoop:CARD=Deck,DEV=0", "KORVELL CASSETTE, USB Audio\nsnoop", "Input"},
        {"hw:CARD=\"Platter\",DEV=1", "", ""},
        {"default", "", ""},
    };
    const auto capture = BuildAlsaDeviceList(hints, AlsaDirection::Capture);
    ASSERT_EQ(capture.size(), 3u);
    EXPECT_EQ(capture[0].description, "Default Audio Device");
    EXPECT_EQ(capture[1].description, "KORVELL CASSETTE, USB Audio");
    EXPECT_EQ(capture[1].pcmName, "plughw:CARD=Deck,DEV=0");
    EXPECT_EQ(capture[2].description, "Platter");
    EXPECT_EQ(capture[2].pcmName, "plughw:CARD=Platter,DEV=1");
    EXPECT_EQ(BuildAlsaDeviceList(hints, AlsaDirection::Output).size(), 2u);
}

TEST(AlsaDeviceNames, RunningStreamFormatIsReadFromProc) {
    EXPECT_EQ(ParseProcHwParamsChannels("closed\n"), std::nullopt);
    EXPECT_EQ(ParseProcHwParamsChannels("access: RW_INTERLEAVED\nformat: S16_LE\nsubformat: "
                                        "STD\nchannels: 1\nrate: 44100 (44100/1)\n"),
              std::optional<std::uint16_t>(1));
    EXPECT_EQ(ParseProcHwParamsChannels("channels: 2"), std::optional<std::uint16_t>(2));
    EXPECT_EQ(ParseProcHwParamsChannels("channels: 0\n"), std::nullopt);
    EXPECT_EQ(ParseProcHwParamsChannels("channels: 99999999999\n"), std::nullopt);
    EXPECT_EQ(ParseProcHwParamsChannels("rate: 48000\n"), std::nullopt);

    // The holder of a busy substream, as the kernel writes its status.
    EXPECT_EQ(ParseProcStatusOwnerPid("state: RUNNING\nowner_pid   : 1423\ntrigger_time: 1.2\n"),
              std::optional<int>(1423));
    EXPECT_EQ(ParseProcStatusOwnerPid("closed\n"), std::nullopt);
    EXPECT_EQ(ParseProcStatusOwnerPid("owner_pid   : \n"), std::nullopt);
    EXPECT_EQ(ParseProcStatusOwnerPid("owner_pid   : -1\n"), std::nullopt);
}

TEST(AlsaDeviceNames, TheUsbCodecIsIdentifiedAndTheMonitorAvoidsIt) {
    CAlsaAudioSystem audio(DesktopHints);
    // Row 11 (08BB:29C0) names "USB AUDIO  CODEC" first.
    const IdentifiedDevice found = IdentifyCaptureDevice(audio, 0x08BB, 0x29C0);
    ASSERT_NE(found.row, nullptr);
    EXPECT_EQ(found.captureGuid, GUID::FromName("plughw:CARD=CODEC,DEV=0"));

    OutputDeviceList outputs;
    ASSERT_EQ(outputs.EnumerateOutputDevices(audio), S_OK);
    GUID monitor;
    ASSERT_EQ(outputs.ChooseMonitorOutput(monitor), S_OK);
    EXPECT_EQ(monitor, GUID::FromName("pipewire"));
}

TEST(AlsaDeviceNames, OnlySoundCardsThatCaptureHaveMixers) {
    CAlsaMixerSystem mixers(DesktopHints);
    EXPECT_EQ(mixers.GetDeviceCount(), 2u);
    // The cards are only recorded, not present: opening fails cleanly.
    std::unique_ptr<IMixerDevice> device;
    EXPECT_EQ(mixers.Open(1, device), E_FAIL);
    EXPECT_EQ(mixers.Open(2, device), E_FAIL);
    EXPECT_EQ(device, nullptr);
}

}  // namespace
}  // namespace sondrel
