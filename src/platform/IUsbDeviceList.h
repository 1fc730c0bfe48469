// The present USB devices, each given by its first hardware id in the Windows form
// "USB\VID_15E4&PID_0174&REV_0100", so that one parser serves every backend.
#pragma once

#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// Threading: called on the main thread only; may block while the system is asked.
class IUsbDeviceList {
public:
    virtual ~IUsbDeviceList() = default;

    // Replaces hardwareIds with one entry per present USB device, in the system's order; a
    // device listed twice by the system appears twice. An entry whose id could not be read is
    // an empty string (it then matches no known device). A failure to list the devices
    // returns E_FAIL and leaves hardwareIds empty.
    virtual HRESULT EnumeratePresentDevices(std::vector<std::string>& hardwareIds) = 0;
};

}  // namespace sondrel
