#include "devices/KnownDevices.h"

#include <gtest/gtest.h>

#include <cstring>

#include "devices/SimSystems.h"

namespace sondrel {
namespace {

using test::DebugCapture;
using test::ParseSimSystem;

TEST(KnownDevicesTest, TableHoldsExactlyTheTwelveRows) {
    // Written out here, not derived from the table, so a typo in any row shows.
    struct Row {
        std::uint32_t vendorId, productId;
        const char* names[3];
        bool turntable, tape, riaa;
    };
    constexpr const char* kCodec = "USB Audio Codec";
    constexpr const char* kDevice = "USB Audio Device";
    constexpr const char* kPnp = "USB PnP Audio Device";
    constexpr const char* kMic = "Microphone (USB Audio Codec )";
    const Row expected[12] = {
        {0x08BB, 0x2900, {kCodec, kDevice, kMic}, false, false, true},
        {0x0D8C, 0x0121, {"USB PnP Device", nullptr, kPnp}, true, true, true},
        {0x08BB, 0x29B0, {kCodec, kDevice, kMic}, false, false, true},
        {0x0C76, 0x1600, {kPnp, kDevice, "SSS USB Audio Device"}, true, true, false},
        {0x0D8C, 0x0131, {kPnp, kDevice, kCodec}, true, true, true},
        {0x0DBC, 0x0121, {kPnp, kDevice, kCodec}, true, true, true},
        {0x2034, 0x0105, {kPnp, "USB Microphone", kCodec}, false, false, false},
        {0xEB1A, 0x5051, {kPnp, "USB 2861 Device", kCodec}, false, false, false},
        {0x15E4, 0x0174, {kPnp, "KORVELL PLATTER", kCodec}, false, false, false},
        {0x15E4, 0x0179, {kPnp, "KORVELL CASSETTE", kCodec}, false, false, false},
        {0x0D8C, 0x0016, {kCodec, kDevice, kCodec}, false, false, false},
        {0x08BB, 0x29C0, {"USB AUDIO  CODEC", kDevice, kMic}, false, false, true},
    };
    ASSERT_EQ(kKnownDevices.size(), 12u);
    for (std::size_t i = 0; i < 12; ++i) {
        const KnownDevice& row = kKnownDevices[i];
        const Row& want = expected[i];
        EXPECT_EQ(row.vendorId, want.vendorId) << i;
        EXPECT_EQ(row.productId, want.productId) << i;
        for (std::size_t n = 0; n < 3; ++n) {
            if (want.names[n] == nullptr) {
                EXPECT_EQ(row.captureNames[n], nullptr) << i << "/" << n;
            } else {
                ASSERT_NE(row.captureNames[n], nullptr) << i << "/" << n;
                EXPECT_STREQ(row.captureNames[n], want.names[n]) << i << "/" << n;
            }
        }
        EXPECT_EQ(row.offersTurntable, want.turntable) << i;
        EXPECT_EQ(row.offersTape, want.tape) << i;
        EXPECT_EQ(row.turntableRiaa, want.riaa) << i;
        EXPECT_EQ(FindKnownDevice(want.vendorId, want.productId), &row) << i;
    }
}

TEST(KnownDevicesTest, TheSimulatedDemoTurntableIsARowUnderItsFirstName) {
    const KnownDevice* row =
        FindKnownDevice(SimSystemDescription::kDemoVendorId, SimSystemDescription::kDemoProductId);
    ASSERT_NE(row, nullptr);
    EXPECT_STREQ(row->captureNames[0], SimSystemDescription::kDemoCaptureName);
}

TEST(KnownDevicesTest, LookupNeedsBothIds) {
    EXPECT_EQ(FindKnownDevice(0x15E4, 0x0174), &kKnownDevices[8]);
    EXPECT_EQ(FindKnownDevice(0x15E4, 0x0175), nullptr);
    EXPECT_EQ(FindKnownDevice(0x0174, 0x15E4), nullptr);
    EXPECT_TRUE(IsKnownDevice({0x2034, 0x0105}));
    EXPECT_FALSE(IsKnownDevice({0, 0}));
}

TEST(KnownDevicesTest, ParsesHardwareIds) {
    EXPECT_EQ(ParseHardwareId("USB\\VID_15E4&PID_0174&REV_0100"), (UsbIdPair{0x15E4, 0x0174}));
    EXPECT_EQ(ParseHardwareId("usb\\vid_0d8c&pid_013a&rev_0010"), (UsbIdPair{0x0D8C, 0x013A}));
    // Reading stops at the first character that is not hexadecimal.
    EXPECT_EQ(ParseHardwareId("USB\\VID_08BB&PID_29C0Z&MI_00"), (UsbIdPair{0x08BB, 0x29C0}));
    // A missing marker gives 0; the first marker counts.
    EXPECT_EQ(ParseHardwareId("USB\\VID_2034"), (UsbIdPair{0x2034, 0}));
    EXPECT_EQ(ParseHardwareId("HID\\VID_2034&PID_0105"), (UsbIdPair{0, 0x0105}));
    EXPECT_EQ(ParseHardwareId("USB\\VID_0001&PID_0002&PID_0003"), (UsbIdPair{1, 2}));
    EXPECT_EQ(ParseHardwareId(""), (UsbIdPair{0, 0}));
    EXPECT_EQ(ParseHardwareId("USB\\VID_&PID_"), (UsbIdPair{0, 0}));
    // An overlong number must not wrap around onto a table row.
    EXPECT_EQ(ParseHardwareId("USB\\VID_1000015E4&PID_100000174").first, 0xFFFFFFFFu);
    EXPECT_FALSE(IsKnownDevice(ParseHardwareId("USB\\VID_1000015E4&PID_100000174")));
}

TEST(KnownDevicesTest, FormattedHardwareIdsParseBackToTheirRow) {
    EXPECT_EQ(FormatHardwareId(0x15E4, 0x174, 0x100), "USB\\VID_15E4&PID_0174&REV_0100");
    EXPECT_EQ(FormatHardwareId(0xEB1A, 0x5051), "USB\\VID_EB1A&PID_5051");
    for (const KnownDevice& row : kKnownDevices) {
        EXPECT_EQ(ParseHardwareId(FormatHardwareId(row.vendorId, row.productId, 0x0100)),
                  UsbIdPair(row.vendorId, row.productId));
    }
}

TEST(KnownDevicesTest, FindsKnownDevicesInSystemOrder) {
    auto platform = ParseSimSystem(
        "usb USB\\VID_8086&PID_1E31&REV_0004\n"
        "usb usb\\vid_15e4&pid_0179&rev_0100\n"
        "usb \"\"\n"
        "usb USB\\VID_2034\n"
        "usb USB\\VID_0D8C&PID_0121&REV_0100\n"
        "usb USB\\VID_15E4&PID_0179&REV_0100\n");
    DebugCapture debug;
    const std::vector<UsbIdPair> found = FindKnownDevices(platform->Usb());
    EXPECT_EQ(found,
              (std::vector<UsbIdPair>{{0x15E4, 0x0179}, {0x0D8C, 0x0121}, {0x15E4, 0x0179}}));
    EXPECT_EQ(debug.Text(),
              "Found unknown device:USB\\VID_8086&PID_1E31&REV_0004\n"
              "Found known device:usb\\vid_15e4&pid_0179&rev_0100\n"
              "Found unknown device:\n"
              "Found unknown device:USB\\VID_2034\n"
              "Found known device:USB\\VID_0D8C&PID_0121&REV_0100\n"
              "Found known device:USB\\VID_15E4&PID_0179&REV_0100\n");
}

TEST(KnownDevicesTest, FailedDeviceListGivesNothing) {
    auto platform = ParseSimSystem("usb USB\\VID_15E4&PID_0174\nusb-fails\n");
    EXPECT_TRUE(FindKnownDevices(platform->Usb()).empty());
}

}  // namespace
}  // namespace sondrel
