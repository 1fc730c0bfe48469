// The output devices, and the choice of the one the listen-through monitor plays on: the
// computer's own output rather than the USB device.
#pragma once

#include <vector>

#include "base/CSmartPtrTarget.h"
#include "base/Guid.h"
#include "base/Result.h"
#include "devices/CRecMonDevice.h"

namespace sondrel {

class IAudioSystem;

// Threading: main thread only.
class OutputDeviceList {
public:
    // Empties the list and appends every output entry, the default entry included (null
    // guid), with trailing blanks removed from the descriptions.
    HRESULT EnumerateOutputDevices(IAudioSystem& audio);

    // S_OK and the first device with an id whose description names none of the USB codec or
    // S/PDIF outputs; otherwise S_FALSE and an all-zero guid (the default output).
    HRESULT ChooseMonitorOutput(GUID& guid) const;

    const std::vector<ComPtr<CRecMonDevice>>& Devices() const { return m_devices; }

private:
    std::vector<ComPtr<CRecMonDevice>> m_devices;
};

}  // namespace sondrel
