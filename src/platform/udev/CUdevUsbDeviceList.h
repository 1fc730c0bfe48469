// The present USB devices as udev (sysfs) lists them: every device of the "usb" subsystem
// whose devtype is "usb_device" (interfaces and hubs' ports are left out), in udev's order.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/IUsbDeviceList.h"

namespace sondrel {

// What udev tells about one entry of the "usb" subsystem, as far as the list reads it.
struct UdevUsbEntry {
    std::string sysPath;
    // Whether udev could open a device at that path; the rest is empty when not.
    bool opened = false;
    std::string devtype;
    // idVendor, idProduct and bcdDevice as sysfs has them.
    std::map<std::string, std::string, std::less<>> attributes;
    // The udev database's ID_VENDOR_ID, ID_MODEL_ID and ID_REVISION.
    std::map<std::string, std::string, std::less<>> properties;
};

class CUdevUsbDeviceList final : public IUsbDeviceList {
public:
    HRESULT EnumeratePresentDevices(std::vector<std::string>& hardwareIds) override;

    // Whether libudev can be used at all on this system (a udev context can be created).
    static bool IsAvailable();
    // The hardware ids of the USB devices among the entries, in their order: interfaces and
    // other devtypes are left out, a device udev could not open gives an empty id.
    static std::vector<std::string> HardwareIds(const std::vector<UdevUsbEntry>& entries);
};

}  // namespace sondrel
