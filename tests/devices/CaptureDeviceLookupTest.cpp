#include <gtest/gtest.h>

#include "devices/CRecorderDSound.h"
#include "devices/IdentifyCaptureDevice.h"
#include "devices/OutputDeviceList.h"
#include "devices/SimSystems.h"

namespace sondrel {
namespace {

using test::DebugCapture;
using test::LoadSimSystem;
using test::ParseSimSystem;

GUID IdOfCapture(CSimPlatform& platform, std::string_view description) {
    for (const SimCaptureDevice& device : platform.Description().captureDevices) {
        if (device.description == description)
            return device.id;
    }
    ADD_FAILURE() << "no capture device " << description;
    return {};
}

TEST(CaptureDeviceListTest, SkipsDefaultEntryAndNumbersAcrossRefills) {
    auto platform = LoadSimSystem("two-alike.sim");
    CRecorderDSound list;
    ASSERT_EQ(list.EnumerateCaptureDevices(platform->Audio()), S_OK);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.At(0)->Name(), "USB Audio Device");
    EXPECT_EQ(list.At(0)->Id(), 1);
    EXPECT_EQ(list.At(2)->Id(), 3);

    // Refilling does not reuse ids: an id handed out earlier never names another device.
    ASSERT_EQ(list.EnumerateCaptureDevices(platform->Audio()), S_OK);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.At(0)->Id(), 4);
    EXPECT_EQ(list.NextId(), 7);

    const GUID sss = IdOfCapture(*platform, "SSS USB Audio Device");
    std::int32_t id = 0;
    EXPECT_EQ(list.GetIdByGuid(sss, id), S_OK);
    EXPECT_EQ(id, 6);
    GUID guid;
    EXPECT_EQ(list.GetGuidById(6, guid), S_OK);
    EXPECT_EQ(guid, sss);
    std::string name;
    EXPECT_EQ(list.GetNameByGuid(sss, name), S_OK);
    EXPECT_EQ(name, "SSS USB Audio Device");
    EXPECT_EQ(list.GetInfoByIndex(1, id, name), S_OK);
    EXPECT_EQ(id, 5);
    EXPECT_EQ(name, "Microphone (USB Audio Device)");

    // Stale ids and unknown devices are not found; an index past the end is S_FALSE.
    EXPECT_EQ(list.GetGuidById(1, guid), E_FAIL);
    EXPECT_EQ(list.GetIdByGuid(GUID{}, id), E_FAIL);
    EXPECT_EQ(list.GetNameByGuid(GUID::FromName("elsewhere"), name), E_FAIL);
    EXPECT_EQ(list.GetInfoByIndex(3, id, name), S_FALSE);
}

TEST(CaptureDeviceListTest, EmptyListFindsNothing) {
    auto platform = ParseSimSystem("output \"Speakers\"\n");
    CRecorderDSound list;
    list.EnumerateCaptureDevices(platform->Audio());
    GUID guid = GUID::FromName("untouched");
    EXPECT_EQ(list.FindDeviceWithName("USB", guid), E_FAIL);
    EXPECT_EQ(guid, GUID::FromName("untouched"));
    EXPECT_TRUE(list.FindSingleDSoundDeviceWithName("USB").IsNull());
    std::int32_t id;
    std::string name;
    EXPECT_EQ(list.GetInfoByIndex(0, id, name), S_FALSE);
}

TEST(CaptureDeviceLookupTest, AmbiguousNameFallsThroughToTheNextCandidate) {
    auto platform = LoadSimSystem("two-alike.sim");
    DebugCapture debug;
    const IdentifiedDevice found = IdentifyCaptureDevice(platform->Audio(), 0x0C76, 0x1600);
    EXPECT_EQ(found.row, &kKnownDevices[3]);
    EXPECT_EQ(found.captureGuid, IdOfCapture(*platform, "SSS USB Audio Device"));
    EXPECT_EQ(debug.Text(),
              "FindSingleDSoundDeviceWithName: USB PnP Audio Device\n"
              "No devices with that name\n"
              "FindSingleDSoundDeviceWithName: USB Audio Device\n"
              "Too many devices with that name\n"
              "FindSingleDSoundDeviceWithName: SSS USB Audio Device\n"
              "Found device by name:SSS USB Audio Device\n");
}

TEST(CaptureDeviceLookupTest, MissingSecondNameSkipsToTheThird) {
    auto platform = LoadSimSystem("row1-pnp.sim");
    DebugCapture debug;
    const IdentifiedDevice found = IdentifyCaptureDevice(platform->Audio(), 0x0D8C, 0x0121);
    EXPECT_EQ(found.row, &kKnownDevices[1]);
    EXPECT_EQ(found.captureGuid, IdOfCapture(*platform, "USB PnP Audio Device"));
    EXPECT_EQ(debug.Text(),
              "FindSingleDSoundDeviceWithName: USB PnP Device\n"
              "No devices with that name\n"
              "FindSingleDSoundDeviceWithName: \n"
              "No devices with that name\n"
              "FindSingleDSoundDeviceWithName: USB PnP Audio Device\n"
              "Found device by name:USB PnP Audio Device\n");
}

TEST(CaptureDeviceLookupTest, NamesMatchWithoutRegardToCase) {
    auto platform = LoadSimSystem("lower-case.sim");
    const IdentifiedDevice found = IdentifyCaptureDevice(platform->Audio(), 0x0D8C, 0x0016);
    EXPECT_EQ(found.row, &kKnownDevices[10]);
    EXPECT_EQ(found.captureGuid, *GUID::Parse("{6B29FC40-CA47-1067-B31D-00DD010662DA}"));

    CRecorderDSound list;
    list.EnumerateCaptureDevices(platform->Audio());
    EXPECT_EQ(list.CountDevicesWithName("USB AUDIO CODEC"), 1);
    EXPECT_EQ(list.CountDevicesWithName("USB AUDIO  CODEC"), 0);  // the double space matters
}

TEST(CaptureDeviceLookupTest, UnknownOrUnfindableDevicesGiveNothing) {
    auto platform = LoadSimSystem("two-alike.sim");
    IdentifiedDevice found = IdentifyCaptureDevice(platform->Audio(), 0x1234, 0x5678);
    EXPECT_EQ(found.row, nullptr);
    EXPECT_TRUE(found.captureGuid.IsNull());
    // Row 8's names: "USB PnP Audio Device", "KORVELL PLATTER", "USB Audio Codec": none here.
    found = IdentifyCaptureDevice(platform->Audio(), 0x15E4, 0x0174);
    EXPECT_EQ(found.row, nullptr);
    EXPECT_TRUE(found.captureGuid.IsNull());
}

TEST(CaptureDeviceLookupTest, BuiltInSystemsIdentifyEveryRow) {
    for (std::size_t row = 0; row < kKnownDevices.size(); ++row) {
        const KnownDevice& known = kKnownDevices[row];
        auto platform = std::make_unique<CSimPlatform>(SimSystemDescription::ForUsbDevice(
            known.vendorId, known.productId, known.captureNames[0]));
        const std::vector<UsbIdPair> present = FindKnownDevices(platform->Usb());
        ASSERT_EQ(present.size(), 1u) << row;
        const IdentifiedDevice found =
            IdentifyCaptureDevice(platform->Audio(), present[0].first, present[0].second);
        EXPECT_EQ(found.row, &kKnownDevices[row]);
        EXPECT_EQ(found.captureGuid, platform->SimAudio().DeckDevice()) << row;
    }
}

TEST(MonitorOutputTest, SkipsUsbAndSpdifOutputs) {
    auto platform = LoadSimSystem("two-alike.sim");
    OutputDeviceList outputs;
    ASSERT_EQ(outputs.EnumerateOutputDevices(platform->Audio()), S_OK);
    ASSERT_EQ(outputs.Devices().size(), 4u);
    EXPECT_TRUE(outputs.Devices()[0]->Guid().IsNull());
    EXPECT_EQ(outputs.Devices()[3]->Description(), "Speakers (Realtek High Definition Audio)");

    GUID monitor;
    EXPECT_EQ(outputs.ChooseMonitorOutput(monitor), S_OK);
    EXPECT_EQ(monitor, platform->Description().outputDevices[3].id);
}

TEST(MonitorOutputTest, OnlyTheDevicesOwnOutputFallsBackToTheDefault) {
    auto platform = LoadSimSystem("row1-pnp.sim");
    OutputDeviceList outputs;
    outputs.EnumerateOutputDevices(platform->Audio());
    GUID monitor = GUID::FromName("stale");
    EXPECT_EQ(outputs.ChooseMonitorOutput(monitor), S_FALSE);
    EXPECT_TRUE(monitor.IsNull());

    // The all-zero id then opens the system's default output, which is all there is.
    std::unique_ptr<IOutputRing> ring;
    EXPECT_EQ(platform->Audio().CreateOutputRing(monitor, CaptureFormat(), 176400, ring), S_OK);
    EXPECT_TRUE(ring);
}

TEST(MonitorOutputTest, CaseOfExcludedNamesDoesNotMatter) {
    auto platform = LoadSimSystem("lower-case.sim");
    OutputDeviceList outputs;
    outputs.EnumerateOutputDevices(platform->Audio());
    GUID monitor;
    EXPECT_EQ(outputs.ChooseMonitorOutput(monitor), S_FALSE);
}

}  // namespace
}  // namespace sondrel
