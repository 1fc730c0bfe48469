// The udev USB list: hardware ids built from recorded sysfs attribute and udev property sets,
// and the live enumeration on whatever machine runs the tests (which may have no USB at all).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "devices/KnownDevices.h"
#include "platform/UsbHardwareId.h"
#include "platform/udev/CUdevUsbDeviceList.h"

namespace sondrel {
namespace {

std::string IdFrom(const std::map<std::string, std::string, std::less<>>& attributes) {
    return BuildUsbHardwareId([&](std::string_view name) -> std::optional<std::string> {
        const auto found = attributes.find(name);
        if (found == attributes.end())
            return std::nullopt;
        return found->second;
    });
}

TEST(UdevHardwareId, RecordedSysfsAttributesGiveTheWindowsForm) {
    // As read from /sys/bus/usb/devices/1-2: lower-case hex, trailing newline.
    EXPECT_EQ(IdFrom({{"idVendor", "08bb\n"}, {"idProduct", "29c0\n"}, {"bcdDevice", "0100\n"}}),
              "USB\\VID_08BB&PID_29C0&REV_0100");
    EXPECT_EQ(IdFrom({{"idVendor", "15e4"}, {"idProduct", "174"}, {"bcdDevice", "1"}}),
              "USB\\VID_15E4&PID_0174&REV_0001");
    // udev database properties are written the same way.
    EXPECT_EQ(IdFrom({{"idVendor", "eb1a"}, {"idProduct", "5051"}, {"bcdDevice", "0x0102"}}),
              "USB\\VID_EB1A&PID_5051&REV_0102");
}

TEST(UdevHardwareId, ParsesBackToTheTableIds) {
    const std::string id =
        IdFrom({{"idVendor", "0d8c\n"}, {"idProduct", "0131\n"}, {"bcdDevice", "0010\n"}});
    EXPECT_EQ(ParseHardwareId(id), UsbIdPair(0x0D8C, 0x0131));
    EXPECT_TRUE(IsKnownDevice(ParseHardwareId(id)));
}

TEST(UdevHardwareId, MissingOrBadIdsGiveAnEntryThatMatchesNothing) {
    EXPECT_EQ(IdFrom({{"idProduct", "29c0"}, {"bcdDevice", "0100"}}), "");
    EXPECT_EQ(IdFrom({{"idVendor", "08bb"}}), "");
    EXPECT_EQ(IdFrom({{"idVendor", "zz12"}, {"idProduct", "29c0"}}), "");
    EXPECT_EQ(IdFrom({{"idVendor", "108bb"}, {"idProduct", "29c0"}}), "");
    EXPECT_EQ(IdFrom({{"idVendor", ""}, {"idProduct", "29c0"}}), "");
    // Without a revision the ids still count.
    EXPECT_EQ(IdFrom({{"idVendor", "08bb"}, {"idProduct", "29c0"}, {"bcdDevice", "?"}}),
              "USB\\VID_08BB&PID_29C0");
}

// Entries as udev listed them on a laptop with the turntable, a cassette deck whose sysfs
// attributes were hidden, and a device that was unplugged while the list was read.
TEST(UdevUsbDeviceList, RecordedEntriesGiveTheDevicesInUdevsOrder) {
    const std::string bus = "/sys/devices/pci0000:00/0000:00:14.0/usb1";
    std::vector<UdevUsbEntry> entries{
        {bus,
         true,
         "usb_device",
         {{"idVendor", "1d6b\n"}, {"idProduct", "0002\n"}, {"bcdDevice", "0515\n"}},
         {{"ID_VENDOR_ID", "1d6b"}, {"ID_MODEL_ID", "0002"}, {"ID_REVISION", "0515"}}},
        {bus + "/1-0:1.0", true, "usb_interface", {}, {}},
        {bus + "/1-2",
         true,
         "usb_device",
         {{"idVendor", "08bb\n"}, {"idProduct", "29c0\n"}, {"bcdDevice", "0100\n"}},
         {{"ID_VENDOR_ID", "ffff"}, {"ID_MODEL_ID", "ffff"}}},
        {bus + "/1-2/1-2:1.0", true, "usb_interface", {{"idVendor", "08bb"}}, {}},
        {bus + "/1-3",
         true,
         "usb_device",
         {},
         {{"ID_VENDOR_ID", "0d8c"}, {"ID_MODEL_ID", "0131"}, {"ID_REVISION", "0010"}}},
        {bus + "/1-4", false, "", {}, {}},
        {bus + "/1-4/1-4:1.0", false, "", {}, {}},
        {bus + "/1-5", true, "usb_device", {{"idVendor", "15e4"}}, {{"ID_MODEL_ID", "0174"}}},
    };
    EXPECT_EQ(CUdevUsbDeviceList::HardwareIds(entries),
              (std::vector<std::string>{
                  "USB\\VID_1D6B&PID_0002&REV_0515", "USB\\VID_08BB&PID_29C0&REV_0100",
                  "USB\\VID_0D8C&PID_0131&REV_0010", "", "USB\\VID_15E4&PID_0174"}));
    EXPECT_TRUE(CUdevUsbDeviceList::HardwareIds({}).empty());
}

TEST(UdevUsbDeviceList, LiveEnumerationRuns) {
    if (!CUdevUsbDeviceList::IsAvailable())
        GTEST_SKIP() << "no udev on this machine";
    CUdevUsbDeviceList list;
    std::vector<std::string> ids{"left over"};
    ASSERT_EQ(list.EnumeratePresentDevices(ids), S_OK);
    EXPECT_TRUE(std::find(ids.begin(), ids.end(), "left over") == ids.end());
}

}  // namespace
}  // namespace sondrel
