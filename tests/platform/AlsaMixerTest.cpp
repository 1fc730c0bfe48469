// A sound card's capture elements seen as a legacy mixer, over recorded element sets: the
// capture-source enumeration as the reversed multiplexer, capture volumes as line volumes,
// and the record-line selection of the device code applied through them.
#include <gtest/gtest.h>

#include "devices/CRecordMixer.h"
#include "devices/KnownDevices.h"
#include "platform/ISystemInfo.h"
#include "platform/alsa/CAlsaMixerDevice.h"

namespace sondrel {
namespace {

// A card's elements in memory; writes land in the shared vector so the test can read them.
class FakeAccess final : public IAlsaMixerAccess {
public:
    explicit FakeAccess(std::shared_ptr<std::vector<AlsaMixerElement>> elements)
        : m_elements(std::move(elements)) {}
    bool Read(std::vector<AlsaMixerElement>& elements) override {
        elements = *m_elements;
        return true;
    }
    bool SetEnumItem(std::size_t element, unsigned item) override {
        auto& e = m_elements->at(element);
        if (item >= e.items.size())
            return false;
        e.selectedItem = item;
        return true;
    }
    bool SetCaptureVolumes(std::size_t element, const std::vector<long>& volumes) override {
        auto& e = m_elements->at(element);
        if (volumes.size() != e.volumes.size())
            return false;
        e.volumes = volumes;
        return true;
    }

private:
    std::shared_ptr<std::vector<AlsaMixerElement>> m_elements;
};

AlsaMixerElement Volume(std::string name, long min, long max, std::vector<long> values) {
    AlsaMixerElement e;
    e.name = std::move(name);
    e.hasCaptureVolume = true;
    e.volumeMin = min;
    e.volumeMax = max;
    e.volumes = std::move(values);
    return e;
}

AlsaMixerElement Enum(std::string name, std::vector<std::string> items, unsigned selected) {
    AlsaMixerElement e;
    e.name = std::move(name);
    e.isCaptureEnum = true;
    e.items = std::move(items);
    e.selectedItem = selected;
    return e;
}

// A card like an AC'97-style codec: "Capture Source" picks Mic, Line or CD.
std::shared_ptr<std::vector<AlsaMixerElement>> MuxCard() {
    return std::make_shared<std::vector<AlsaMixerElement>>(std::vector<AlsaMixerElement>{
        Volume("Capture", 0, 31, {20, 20}),
        Enum("Capture Source", {"Mic", "Line", "CD"}, 2),
        Volume("Mic", -10, 50, {0}),
        Volume("Line", 0, 65535, {100, 200}),
    });
}

std::unique_ptr<IMixerDevice> Open(std::shared_ptr<std::vector<AlsaMixerElement>> elements) {
    std::unique_ptr<IMixerDevice> device;
    EXPECT_EQ(CAlsaMixerDevice::Create("USB AUDIO  CODEC, USB Audio",
                                       std::make_unique<FakeAccess>(std::move(elements)), device),
              S_OK);
    return device;
}

TEST(AlsaMixer, CaptureSourceItemsAreTheWaveInLines) {
    auto device = Open(MuxCard());
    std::string name;
    std::uint32_t destinations = 0;
    ASSERT_EQ(device->GetCaps(name, destinations), S_OK);
    EXPECT_EQ(name, "USB AUDIO  CODEC, USB Audio");
    EXPECT_EQ(destinations, 1u);

    MixerLineInfo destination;
    ASSERT_EQ(device->GetDestination(0, destination), S_OK);
    EXPECT_EQ(destination.componentType, kMixerDstWaveIn);
    EXPECT_EQ(destination.connections, 3u);
    EXPECT_EQ(device->GetDestination(1, destination), E_FAIL);

    const std::uint32_t types[] = {kMixerSrcMicrophone, kMixerSrcLine, kMixerSrcCompactDisc};
    const char* names[] = {"Mic", "Line", "CD"};
    const std::uint32_t channels[] = {1, 2, 1};
    for (std::uint32_t s = 0; s < 3; ++s) {
        MixerLineInfo line;
        ASSERT_EQ(device->GetSource(0, s, line), S_OK);
        EXPECT_EQ(line.name, names[s]);
        EXPECT_EQ(line.componentType, types[s]);
        EXPECT_EQ(line.channels, channels[s]);
    }
    MixerLineInfo line;
    EXPECT_EQ(device->GetSource(0, 3, line), E_FAIL);
    // CD has no capture volume of its own.
    MixerControlInfo control;
    EXPECT_EQ(device->GetSourceControl(0, 2, kMixerControlVolume, control), E_FAIL);
}

TEST(AlsaMixer, MultiplexerListsSourcesLastFirst) {
    auto elements = MuxCard();
    auto device = Open(elements);
    MixerControlInfo mux;
    ASSERT_EQ(device->GetDestinationControl(0, kMixerControlMux, mux), S_OK);
    EXPECT_EQ(mux.multipleItems, 3u);
    std::vector<std::uint32_t> values;
    ASSERT_EQ(device->GetControlValues(mux.controlId, 1, 3, values), S_OK);
    // CD (source 2) is selected: the first item.
    EXPECT_EQ(values, (std::vector<std::uint32_t>{1, 0, 0}));

    // Items C, B, A: setting the last item picks source 0 (Mic).
    ASSERT_EQ(device->SetControlValues(mux.controlId, 1, 3, {0, 0, 1}), S_OK);
    EXPECT_EQ((*elements)[1].selectedItem, 0u);
    EXPECT_EQ(device->SetControlValues(mux.controlId, 1, 3, {0, 0, 0}), E_FAIL);
    EXPECT_EQ(device->SetControlValues(mux.controlId, 1, 2, {0, 1}), E_FAIL);
}

TEST(AlsaMixer, VolumesAreOffsetToStartAtZeroAndBounded) {
    auto elements = MuxCard();
    auto device = Open(elements);
    MixerControlInfo volume;
    ASSERT_EQ(device->GetSourceControl(0, 0, kMixerControlVolume, volume), S_OK);
    EXPECT_EQ(volume.minimum, 0u);
    EXPECT_EQ(volume.maximum, 60u);
    std::vector<std::uint32_t> values;
    ASSERT_EQ(device->GetControlValues(volume.controlId, 1, 0, values), S_OK);
    EXPECT_EQ(values, (std::vector<std::uint32_t>{10}));  // raw 0 in -10..50
    ASSERT_EQ(device->SetControlValues(volume.controlId, 1, 0, {60}), S_OK);
    EXPECT_EQ((*elements)[2].volumes, (std::vector<long>{50}));
    EXPECT_EQ(device->SetControlValues(volume.controlId, 1, 0, {61}), E_FAIL);
    EXPECT_EQ((*elements)[2].volumes, (std::vector<long>{50}));

    ASSERT_EQ(device->GetSourceControl(0, 1, kMixerControlVolume, volume), S_OK);
    ASSERT_EQ(device->GetControlValues(volume.controlId, 2, 0, values), S_OK);
    EXPECT_EQ(values, (std::vector<std::uint32_t>{100, 200}));
    ASSERT_EQ(device->SetControlValues(volume.controlId, 2, 0, {7, 8}), S_OK);
    EXPECT_EQ((*elements)[3].volumes, (std::vector<long>{7, 8}));
    EXPECT_EQ(device->GetControlValues(volume.controlId, 3, 0, values), E_FAIL);
}

TEST(AlsaMixer, WithoutAnEnumerationEachCaptureVolumeIsALine) {
    // A typical USB audio codec: just a "Mic" capture volume, no source choice.
    auto device = Open(std::make_shared<std::vector<AlsaMixerElement>>(
        std::vector<AlsaMixerElement>{Volume("Mic", 0, 16, {8})}));
    MixerLineInfo destination;
    ASSERT_EQ(device->GetDestination(0, destination), S_OK);
    EXPECT_EQ(destination.connections, 1u);
    EXPECT_EQ(destination.controls, 0u);
    MixerControlInfo control;
    EXPECT_EQ(device->GetDestinationControl(0, kMixerControlMux, control), E_FAIL);
    MixerLineInfo line;
    ASSERT_EQ(device->GetSource(0, 0, line), S_OK);
    EXPECT_EQ(line.componentType, kMixerSrcMicrophone);
}

// The record-line choice as the recorder makes it, on the one version that applies it.
class FixedVersion final : public ISystemInfo {
public:
    FixedVersion(std::uint32_t major, std::uint32_t minor)
        : m_version{major, minor, kPlatformIdNt} {}
    SystemVersion GetVersion() override { return m_version; }

private:
    SystemVersion m_version;
};

class OneMixer final : public IMixerSystem {
public:
    explicit OneMixer(std::shared_ptr<std::vector<AlsaMixerElement>> elements)
        : m_elements(std::move(elements)) {}
    std::uint32_t GetDeviceCount() override { return 1; }
    HRESULT Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) override {
        if (index != 0)
            return E_FAIL;
        return CAlsaMixerDevice::Create("USB AUDIO  CODEC, USB Audio",
                                        std::make_unique<FakeAccess>(m_elements), device);
    }

private:
    std::shared_ptr<std::vector<AlsaMixerElement>> m_elements;
};

TEST(AlsaMixer, RecordLineSelectionReachesTheCard) {
    auto elements = MuxCard();
    OneMixer mixers(elements);
    FixedVersion version(6, 1);
    CRecordMixer mixer(mixers, version);
    mixer.EnumerateMixers();
    ASSERT_EQ(mixer.SelectMixerDevice("USB AUDIO  CODEC, USB Audio"), S_OK);
    // Line (source 1) on a device without a table row: 5 % of 0..65535.
    ASSERT_EQ(mixer.SelectChannel(1, nullptr), S_OK);
    EXPECT_EQ((*elements)[1].selectedItem, 1u);
    EXPECT_EQ((*elements)[3].volumes, (std::vector<long>{3276, 3276}));
    // The stored default picks the microphone.
    ASSERT_EQ(mixer.SelectChannel(-126976, nullptr), S_OK);
    EXPECT_EQ((*elements)[1].selectedItem, 0u);
}

}  // namespace
}  // namespace sondrel
