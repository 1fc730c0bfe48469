// The udev USB list: hardware ids built from recorded sysfs attribute sets, and the live
// enumeration on whatever machine runs the tests (which may have no USB at all).
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "devices/KnownDevices.h"
#include "platform/udev/CUdevUsbDeviceList.h"
#include "platform/udev/UsbHardwareId.h"

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

TEST(UdevUsbDeviceList, LiveEnumerationListsWellFormedIds) {
    if (!CUdevUsbDeviceList::IsAvailable())
        GTEST_SKIP() << "no udev on this machine";
    CUdevUsbDeviceList list;
    std::vector<std::string> ids{"left over"};
    ASSERT_EQ(list.EnumeratePresentDevices(ids), S_OK);
    for (const std::string& id : ids) {
        if (id.empty())
            continue;
        // "USB\VID_xxxx&PID_xxxx" and usually "&REV_xxxx"; built again from the parsed ids.
        const UsbIdPair pair = ParseHardwareId(id);
        char expected[32];
        std::snprintf(expected, sizeof expected, "USB\\VID_%04X&PID_%04X", pair.first, pair.second);
        EXPECT_EQ(id.substr(0, 21), expected) << id;
        EXPECT_TRUE(id.size() == 21 || (id.size() == 30 && id.substr(21, 5) == "&REV_")) << id;
    }
    // Whatever is plugged in, the known-device search runs over it.
    EXPECT_LE(FindKnownDevices(list).size(), ids.size());
}

}  // namespace
}  // namespace sondrel
