// The present USB devices as udev (sysfs) lists them: every device of the "usb" subsystem
// whose devtype is "usb_device" (interfaces and hubs' ports are left out), in udev's order.
#pragma once

#include "platform/IUsbDeviceList.h"

namespace sondrel {

class CUdevUsbDeviceList final : public IUsbDeviceList {
public:
    HRESULT EnumeratePresentDevices(std::vector<std::string>& hardwareIds) override;

    // Whether libudev can be used at all on this system (a udev context can be created).
    static bool IsAvailable();
};

}  // namespace sondrel
