#include "devices/KnownDevices.h"

#include <string>

#include "platform/DebugOutput.h"
#include "platform/IUsbDeviceList.h"

namespace sondrel {

// clang-format off
const std::array<KnownDevice, kKnownDeviceCount> kKnownDevices{{
    {0x08BB, 0x2900, {"USB Audio Codec", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
    {0x0D8C, 0x0121, {"USB PnP Device", nullptr, "USB PnP Audio Device"}, true, true, true},
    {0x08BB, 0x29B0, {"USB Audio Codec", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
    {0x0C76, 0x1600, {"USB PnP Audio Device", "USB Audio Device", "SSS USB Audio Device"}, true, true, false},
    {0x0D8C, 0x0131, {"USB PnP Audio Device", "USB Audio Device", "USB Audio Codec"}, true, true, true},
    {0x0DBC, 0x0121, {"USB PnP Audio Device", "USB Audio Device", "USB Audio Codec"}, true, true, true},
    {0x2034, 0x0105, {"USB PnP Audio Device", "USB Microphone", "USB Audio Codec"}, false, false, false},
    {0xEB1A, 0x5051, {"USB PnP Audio Device", "USB 2861 Device", "USB Audio Codec"}, false, false, false},
    {0x15E4, 0x0174, {"USB PnP Audio Device", "KORVELL PLATTER", "USB Audio Codec"}, false, false, false},
    {0x15E4, 0x0179, {"USB PnP Audio Device", "KORVELL CASSETTE", "USB Audio Codec"}, false, false, false},
    {0x0D8C, 0x0016, {"USB Audio Codec", "USB Audio Device", "USB Audio Codec"}, false, false, false},
    {0x08BB, 0x29C0, {"USB AUDIO  CODEC", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
}};
// clang-format on

const KnownDevice* FindKnownDevice(std::uint32_t vendorId, std::uint32_t productId) {
    for (const KnownDevice& row : kKnownDevices) {
        if (row.vendorId == vendorId && row.productId == productId)
            return &row;
    }
    return nullptr;
}

bool IsKnownDevice(const UsbIdPair& ids) {
    return FindKnownDevice(ids.first, ids.second) != nullptr;
}

std::vector<UsbIdPair> FindKnownDevices(IUsbDeviceList& usb) {
    std::vector<UsbIdPair> found;
    std::vector<std::string> hardwareIds;
    if (Failed(usb.EnumeratePresentDevices(hardwareIds)))
        return found;
    for (const std::string& id : hardwareIds) {
        const UsbIdPair ids = ParseHardwareId(id);
        if (IsKnownDevice(ids)) {
            OutputDebugText("Found known device:" + id + "\n");
            found.push_back(ids);
        } else {
            OutputDebugText("Found unknown device:" + id + "\n");
        }
    }
    return found;
}

}  // namespace sondrel
