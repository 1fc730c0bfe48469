// The capture device list: the system's capture devices with the ids the recorder hands
// out, and the lookups by name (for identifying the USB device), by id, by index and by GUID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/CSmartPtrTarget.h"
#include "base/Guid.h"
#include "base/Result.h"
#include "devices/CRecorderDSoundDevice.h"

namespace sondrel {

class IAudioSystem;

// Threading: main thread only.
class CRecorderDSound {
public:
    // Empties the list and appends every capture device that has an id (the default entry
    // is skipped), numbering them from nextId on. nextId is never reset, so an id names one
    // device for the life of the list. An enumeration failure leaves the list empty.
    HRESULT EnumerateCaptureDevices(IAudioSystem& audio);

    std::size_t Count() const { return m_devices.size(); }
    const ComPtr<CRecorderDSoundDevice>& At(std::size_t index) const { return m_devices[index]; }
    std::int32_t NextId() const { return m_nextId; }

    // Devices whose name contains name, ignoring case.
    int CountDevicesWithName(std::string_view name) const;
    // S_OK and the first such device's id; E_FAIL (guid untouched) when there is none.
    HRESULT FindDeviceWithName(std::string_view name, GUID& guid) const;
    // The one device whose name contains name; all zero when none or several do (or name is
    // nullptr). Reports the outcome on the debug output.
    GUID FindSingleDSoundDeviceWithName(const char* name) const;

    HRESULT GetIdByGuid(const GUID& guid, std::int32_t& id) const;     // E_FAIL when absent
    HRESULT GetGuidById(std::int32_t id, GUID& guid) const;            // E_FAIL when absent
    HRESULT GetNameByGuid(const GUID& guid, std::string& name) const;  // E_FAIL when absent
    // S_FALSE when index is past the end.
    HRESULT GetInfoByIndex(std::size_t index, std::int32_t& id, std::string& name) const;

private:
    std::vector<ComPtr<CRecorderDSoundDevice>> m_devices;
    std::int32_t m_nextId = 1;
};

}  // namespace sondrel
