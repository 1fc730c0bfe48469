#include "devices/IdentifyCaptureDevice.h"

#include "devices/CRecorderDSound.h"

namespace sondrel {

IdentifiedDevice IdentifyCaptureDevice(IAudioSystem& audio, std::uint32_t vendorId,
                                       std::uint32_t productId) {
    const KnownDevice* row = FindKnownDevice(vendorId, productId);
    if (row == nullptr)
        return {};
    CRecorderDSound captureDevices;
    captureDevices.EnumerateCaptureDevices(audio);
    for (const char* name : row->captureNames) {
        const GUID guid = captureDevices.FindSingleDSoundDeviceWithName(name);
        if (!guid.IsNull())
            return {row, guid};
    }
    return {};
}

}  // namespace sondrel
