#include "devices/IdentifyCaptureDevice.h"

#include "devices/CRecorderDSound.h"
#include "platform/IAudioSystem.h"

namespace sondrel {

IdentifiedDevice IdentifyCaptureDevice(IAudioSystem& audio, std::uint32_t vendorId,
                                       std::uint32_t productId) {
    const KnownDevice* row = FindKnownDevice(vendorId, productId);
    if (row == nullptr)
        return {};
    if (const std::optional<GUID> own =
            audio.FindUsbCaptureDevice(vendorId, productId, row->captureNames)) {
        return own->IsNull() ? IdentifiedDevice{} : IdentifiedDevice{row, *own};
    }
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
