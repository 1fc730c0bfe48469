#include "devices/CRecordMixer.h"

#include <gtest/gtest.h>

#include "devices/KnownDevices.h"
#include "devices/SimSystems.h"

namespace sondrel {
namespace {

using test::LoadSimSystem;
using test::ParseSimSystem;

// Mixer 1 of mixers.sim, "USB PnP Audio Device": its record destination is destination 1,
// but channels are applied at destination 0, so tests that check applied values use
// systems whose record destination comes first.
class RecordMixerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_platform = LoadSimSystem("mixers.sim");
        ASSERT_TRUE(m_platform);
        m_mixer = std::make_unique<CRecordMixer>(m_platform->Mixers(), m_platform->System());
        m_mixer->EnumerateMixers();
    }

    std::unique_ptr<CSimPlatform> m_platform;
    std::unique_ptr<CRecordMixer> m_mixer;
};

TEST_F(RecordMixerTest, EnumeratesRecordAndOtherLines) {
    const auto& devices = m_mixer->Devices();
    ASSERT_EQ(devices.size(), 3u);  // the broken mixer cannot be opened and is skipped
    EXPECT_EQ(devices[1]->name, "USB PnP Audio Device");
    EXPECT_EQ(devices[1]->index, 1u);
    EXPECT_EQ(devices[2]->index, 2u);
    ASSERT_EQ(devices[1]->recordChannels.size(), 3u);
    ASSERT_EQ(devices[1]->otherChannels.size(), 1u);
    const auto& mic = devices[1]->recordChannels[2];
    EXPECT_EQ(mic->name, "C Microphone");
    EXPECT_EQ(mic->deviceName, "USB PnP Audio Device");
    EXPECT_EQ(mic->sourceIndex, 2u);
    EXPECT_EQ(mic->componentType, kMixerSrcMicrophone);
    EXPECT_EQ(mic->controls, 1u);
    EXPECT_EQ(devices[1]->otherChannels[0]->name, "Wave");

    // Enumerating again appends; a lookup by name still finds the first entry.
    m_mixer->EnumerateMixers();
    EXPECT_EQ(m_mixer->Devices().size(), 6u);
    EXPECT_EQ(m_mixer->SelectMixerDevice("USB PnP Audio Device"), S_OK);
    EXPECT_EQ(m_mixer->SelectedDevice(), m_mixer->Devices()[1]);
}

TEST_F(RecordMixerTest, SelectsDevicesByExactName) {
    std::int32_t id = 0;
    std::string name;
    EXPECT_EQ(m_mixer->GetChannelInfo(0, id, name), E_FAIL);
    EXPECT_EQ(m_mixer->SelectChannel(0, nullptr), E_FAIL);

    EXPECT_EQ(m_mixer->SelectMixerDevice("USB PnP Audio Device"), S_OK);
    EXPECT_EQ(m_mixer->GetChannelInfo(1, id, name), S_OK);
    EXPECT_EQ(id, 1);
    EXPECT_EQ(name, "B CD");
    EXPECT_EQ(m_mixer->GetChannelInfo(3, id, name), S_FALSE);
    EXPECT_EQ(m_mixer->GetChannelInfo(-1, id, name), S_FALSE);

    // A failed selection leaves no device selected.
    EXPECT_EQ(m_mixer->SelectMixerDevice("usb pnp audio device"), E_FAIL);
    EXPECT_EQ(m_mixer->GetChannelInfo(0, id, name), E_FAIL);
}

TEST_F(RecordMixerTest, DefaultChannelIsTheMicrophone) {
    ASSERT_EQ(m_mixer->SelectMixerDevice("USB PnP Audio Device"), S_OK);
    std::int32_t id = -1;
    EXPECT_EQ(m_mixer->GetSelectedChannel(id), E_FAIL);
    EXPECT_EQ(m_mixer->SelectChannel(kDefaultMixerChannelId, nullptr), S_OK);
    EXPECT_EQ(m_mixer->GetSelectedChannel(id), S_OK);
    EXPECT_EQ(id, 2);
    EXPECT_EQ(m_mixer->SelectChannel(0, nullptr), S_OK);
    EXPECT_EQ(m_mixer->GetSelectedChannel(id), S_OK);
    EXPECT_EQ(id, 0);

    // Without a microphone line the default fails and the earlier choice stays.
    ASSERT_EQ(m_mixer->SelectMixerDevice("No Microphone Here"), S_OK);
    EXPECT_EQ(m_mixer->SelectChannel(kDefaultMixerChannelId, nullptr), E_FAIL);
    EXPECT_EQ(m_mixer->SelectChannel(5, nullptr), E_FAIL);
    EXPECT_EQ(m_mixer->GetSelectedChannel(id), S_OK);
    EXPECT_EQ(id, 0);
}

TEST_F(RecordMixerTest, LevelIsOnlyStored) {
    float level = 0;
    EXPECT_EQ(m_mixer->GetLevel(level), S_OK);
    EXPECT_EQ(level, 1.0f);
    const std::uint32_t writes = m_platform->SimMixers().WriteCount();
    EXPECT_EQ(m_mixer->SetLevel(0.35f), S_OK);
    EXPECT_EQ(m_mixer->GetLevel(level), S_OK);
    EXPECT_EQ(level, 0.35f);
    EXPECT_EQ(m_platform->SimMixers().WriteCount(), writes);
}

constexpr const char* kRecordFirstMixer =
    "mixer \"USB PnP Audio Device\"\n"
    "destination \"Recording Control\" component=7 channels=%CH% mux\n"
    "source \"A Line\" component=0x1002 volume=0..65535 value=65535\n"
    "source \"B CD\" component=0x1005 volume=0..65535 value=65535\n"
    "source \"C Microphone\" component=0x1003 channels=1 volume=0..65535 value=65535\n";

std::unique_ptr<CSimPlatform> RecordFirstSystem(const char* version, int channels) {
    std::string text = std::string(version) + "\n" + kRecordFirstMixer;
    text.replace(text.find("%CH%"), 4, std::to_string(channels));
    return ParseSimSystem(text);
}

TEST(RecordMixerApplyTest, MuxItemsAreReversedSourceOrder) {
    for (int channels : {1, 2}) {
        auto platform = RecordFirstSystem("version 6.1", channels);
        CRecordMixer mixer(platform->Mixers(), platform->System());
        mixer.EnumerateMixers();
        ASSERT_EQ(mixer.SelectMixerDevice("USB PnP Audio Device"), S_OK);
        for (int source : {0, 1, 2, 0}) {
            ASSERT_EQ(mixer.SelectChannel(source, nullptr), S_OK);
            EXPECT_EQ(platform->SimMixers().SelectedMuxSource(0, 0), source) << channels;
        }
        // Items are C, B, A: choosing A (index 0) sets the last item.
        std::unique_ptr<IMixerDevice> device;
        ASSERT_EQ(platform->Mixers().Open(0, device), S_OK);
        MixerControlInfo mux;
        ASSERT_EQ(device->GetDestinationControl(0, kMixerControlMux, mux), S_OK);
        std::vector<std::uint32_t> values;
        ASSERT_EQ(device->GetControlValues(mux.controlId, 1, 3, values), S_OK);
        EXPECT_EQ(values, (std::vector<std::uint32_t>{0, 0, 1}));
    }
}

TEST(RecordMixerApplyTest, LineVolumeFollowsTheDeviceRow) {
    auto platform = RecordFirstSystem("version 6.1", 2);
    CRecordMixer mixer(platform->Mixers(), platform->System());
    mixer.EnumerateMixers();
    ASSERT_EQ(mixer.SelectMixerDevice("USB PnP Audio Device"), S_OK);

    ASSERT_EQ(mixer.SelectChannel(0, FindKnownDevice(0x15E4, 0x0174)), S_OK);
    EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 0),
              (std::vector<std::uint32_t>{3276, 3276}));
    ASSERT_EQ(mixer.SelectChannel(kDefaultMixerChannelId, FindKnownDevice(0x2034, 0x0105)), S_OK);
    EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 2), (std::vector<std::uint32_t>{45874}));
    ASSERT_EQ(mixer.SelectChannel(1, nullptr), S_OK);
    EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 1),
              (std::vector<std::uint32_t>{3276, 3276}));
    // Lines that were not chosen keep their volume.
    EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 0),
              (std::vector<std::uint32_t>{3276, 3276}));
}

TEST(RecordMixerApplyTest, VolumeStaysWithinAControlsBounds) {
    auto platform = ParseSimSystem(
        "version 6.1\n"
        "mixer \"M\"\n"
        "destination \"Recording Control\" component=7 channels=1\n"
        "source \"Line\" component=0x1002 channels=1 volume=1000..2000\n");
    CRecordMixer mixer(platform->Mixers(), platform->System());
    mixer.EnumerateMixers();
    ASSERT_EQ(mixer.SelectMixerDevice("M"), S_OK);
    ASSERT_EQ(mixer.SelectChannel(0, nullptr), S_OK);
    EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 0), (std::vector<std::uint32_t>{1050}));
}

TEST(RecordMixerApplyTest, OtherVersionsOnlyRecordTheChoice) {
    for (const char* version : {"version 6.0", "version 10.0", "version 5.1", "version 6.2"}) {
        auto platform = RecordFirstSystem(version, 2);
        CRecordMixer mixer(platform->Mixers(), platform->System());
        mixer.EnumerateMixers();
        ASSERT_EQ(mixer.SelectMixerDevice("USB PnP Audio Device"), S_OK);
        ASSERT_EQ(mixer.SelectChannel(1, FindKnownDevice(0x2034, 0x0105)), S_OK);
        std::int32_t id = -1;
        EXPECT_EQ(mixer.GetSelectedChannel(id), S_OK);
        EXPECT_EQ(id, 1);
        EXPECT_EQ(platform->SimMixers().WriteCount(), 0u) << version;
        EXPECT_EQ(platform->SimMixers().VolumeValues(0, 0, 1),
                  (std::vector<std::uint32_t>{65535, 65535}));
    }
}

TEST_F(RecordMixerTest, RecordDestinationIsAlwaysDestinationZero) {
    // The USB mixer's wave-in destination is its second; applying addresses destination 0,
    // the speaker destination, whose source 0 is "Wave" and which has no multiplexer.
    ASSERT_EQ(m_mixer->SelectMixerDevice("USB PnP Audio Device"), S_OK);
    ASSERT_EQ(m_mixer->SelectChannel(0, nullptr), S_OK);
    EXPECT_EQ(m_platform->SimMixers().VolumeValues(1, 0, 0),
              (std::vector<std::uint32_t>{3276, 3276}));
    EXPECT_EQ(m_platform->SimMixers().VolumeValues(1, 1, 0),
              (std::vector<std::uint32_t>{65535, 65535}));
    // Source 2 does not exist at destination 0: nothing is applied, the choice still stands.
    ASSERT_EQ(m_mixer->SelectChannel(2, nullptr), S_OK);
    std::int32_t id = -1;
    EXPECT_EQ(m_mixer->GetSelectedChannel(id), S_OK);
    EXPECT_EQ(id, 2);
}

}  // namespace
}  // namespace sondrel
