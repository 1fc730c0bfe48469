#include "devices/CRecorderDSound.h"

#include "base/TextUtil.h"
#include "platform/DebugOutput.h"
#include "platform/IAudioSystem.h"

namespace sondrel {

HRESULT CRecorderDSound::EnumerateCaptureDevices(IAudioSystem& audio) {
    m_devices.clear();
    std::vector<AudioDeviceEntry> entries;
    const HRESULT hr = audio.EnumerateCaptureDevices(entries);
    if (Failed(hr))
        return hr;
    for (const AudioDeviceEntry& entry : entries) {
        if (entry.id.IsNull())
            continue;
        m_devices.push_back(
            ComPtr<CRecorderDSoundDevice>::Make(entry.description, entry.id, m_nextId));
        ++m_nextId;
    }
    return S_OK;
}

int CRecorderDSound::CountDevicesWithName(std::string_view name) const {
    int count = 0;
    for (const auto& device : m_devices) {
        if (ContainsNoCase(device->Name(), name))
            ++count;
    }
    return count;
}

HRESULT CRecorderDSound::FindDeviceWithName(std::string_view name, GUID& guid) const {
    for (const auto& device : m_devices) {
        if (ContainsNoCase(device->Name(), name)) {
            guid = device->Guid();
            return S_OK;
        }
    }
    return E_FAIL;
}

GUID CRecorderDSound::FindSingleDSoundDeviceWithName(const char* name) const {
    OutputDebugText(std::string("FindSingleDSoundDeviceWithName: ") + (name ? name : "") + "\n");
    const int count = name ? CountDevicesWithName(name) : 0;
    if (count == 0) {
        OutputDebugText("No devices with that name\n");
        return GUID{};
    }
    if (count >= 2) {
        OutputDebugText("Too many devices with that name\n");
        return GUID{};
    }
    GUID guid;
    if (Failed(FindDeviceWithName(name, guid)))
        return GUID{};
    OutputDebugText(std::string("Found device by name:") + name + "\n");
    return guid;
}

HRESULT CRecorderDSound::GetIdByGuid(const GUID& guid, std::int32_t& id) const {
    for (const auto& device : m_devices) {
        if (device->Guid() == guid) {
            id = device->Id();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CRecorderDSound::GetGuidById(std::int32_t id, GUID& guid) const {
    for (const auto& device : m_devices) {
        if (device->Id() == id) {
            guid = device->Guid();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CRecorderDSound::GetNameByGuid(const GUID& guid, std::string& name) const {
    for (const auto& device : m_devices) {
        if (device->Guid() == guid) {
            name = device->Name();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CRecorderDSound::GetInfoByIndex(std::size_t index, std::int32_t& id,
                                        std::string& name) const {
    if (index >= m_devices.size())
        return S_FALSE;
    id = m_devices[index]->Id();
    name = m_devices[index]->Name();
    return S_OK;
}

}  // namespace sondrel
