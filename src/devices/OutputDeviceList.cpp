#include "devices/OutputDeviceList.h"

#include "base/TextUtil.h"
#include "platform/IAudioSystem.h"

namespace sondrel {

namespace {

std::string TrimTrailingBlanks(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    return text;
}

}  // namespace

HRESULT OutputDeviceList::EnumerateOutputDevices(IAudioSystem& audio) {
    m_devices.clear();
    std::vector<AudioDeviceEntry> entries;
    const HRESULT hr = audio.EnumerateOutputDevices(entries);
    if (Failed(hr))
        return hr;
    for (const AudioDeviceEntry& entry : entries) {
        m_devices.push_back(
            ComPtr<CRecMonDevice>::Make(entry.id, TrimTrailingBlanks(entry.description)));
    }
    return S_OK;
}

HRESULT OutputDeviceList::ChooseMonitorOutput(GUID& guid) const {
    static constexpr const char* kExcluded[] = {"USB Audio Codec", "SPDIF", "USB Audio Device"};
    guid = GUID{};
    for (const auto& device : m_devices) {
        if (device->Guid().IsNull())
            continue;
        bool excluded = false;
        for (const char* name : kExcluded) {
            if (ContainsNoCase(device->Description(), name))
                excluded = true;
        }
        if (!excluded) {
            guid = device->Guid();
            return S_OK;
        }
    }
    return S_FALSE;
}

}  // namespace sondrel
