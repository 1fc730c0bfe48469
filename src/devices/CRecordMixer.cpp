#include "devices/CRecordMixer.h"

#include <algorithm>
#include <memory>

#include "devices/KnownDevices.h"
#include "platform/IMixerSystem.h"
#include "platform/ISystemInfo.h"

namespace sondrel {

void CRecordMixer::EnumerateMixers() {
    const std::uint32_t count = m_mixers.GetDeviceCount();
    for (std::uint32_t d = 0; d < count; ++d) {
        std::unique_ptr<IMixerDevice> mixer;
        if (Failed(m_mixers.Open(d, mixer)) || !mixer)
            continue;
        std::string productName;
        std::uint32_t destinations = 0;
        if (Failed(mixer->GetCaps(productName, destinations)))
            continue;
        auto device = ComPtr<CRecordMixerDevice>::Make();
        device->name = productName;
        device->index = d;
        for (std::uint32_t i = 0; i < destinations; ++i) {
            MixerLineInfo destination;
            if (Failed(mixer->GetDestination(i, destination)))
                continue;
            for (std::uint32_t j = 0; j < destination.connections; ++j) {
                MixerLineInfo source;
                if (Failed(mixer->GetSource(i, j, source)))
                    continue;
                auto channel = ComPtr<CRecordMixerDeviceChannel>::Make();
                channel->name = source.name;
                channel->deviceName = device->name;
                channel->sourceIndex = j;
                channel->componentType = source.componentType;
                channel->targetType = source.targetType;
                channel->connections = source.connections;
                channel->controls = source.controls;
                if (destination.componentType == kMixerDstWaveIn) {
                    device->recordChannels.push_back(std::move(channel));
                } else {
                    device->otherChannels.push_back(std::move(channel));
                }
            }
        }
        m_devices.push_back(std::move(device));
    }
}

HRESULT CRecordMixer::SelectMixerDevice(std::string_view name) {
    m_selectedDevice.Reset();
    for (const auto& device : m_devices) {
        if (device->name == name) {
            m_selectedDevice = device;
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CRecordMixer::GetChannelInfo(std::int32_t index, std::int32_t& channelId,
                                     std::string& name) const {
    if (!m_selectedDevice)
        return E_FAIL;
    const auto& channels = m_selectedDevice->recordChannels;
    if (index < 0 || static_cast<std::size_t>(index) >= channels.size())
        return S_FALSE;
    channelId = static_cast<std::int32_t>(channels[static_cast<std::size_t>(index)]->sourceIndex);
    name = channels[static_cast<std::size_t>(index)]->name;
    return S_OK;
}

HRESULT CRecordMixer::SelectChannel(std::int32_t channelId, const KnownDevice* row) {
    if (!m_selectedDevice)
        return E_FAIL;
    for (const auto& channel : m_selectedDevice->recordChannels) {
        const bool match = channelId == kDefaultMixerChannelId
                               ? channel->componentType == kMixerSrcMicrophone
                               : static_cast<std::int32_t>(channel->sourceIndex) == channelId;
        if (match) {
            m_selectedChannel = channel;
            ApplySelectedChannel(row);
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT CRecordMixer::GetSelectedChannel(std::int32_t& channelId) const {
    if (!m_selectedChannel)
        return E_FAIL;
    channelId = static_cast<std::int32_t>(m_selectedChannel->sourceIndex);
    return S_OK;
}

HRESULT CRecordMixer::GetLevel(float& level) const {
    level = m_level;
    return S_OK;
}

HRESULT CRecordMixer::SetLevel(float level) {
    m_level = level;
    return S_OK;
}

float CRecordMixer::VolumeFraction(const KnownDevice* row) {
    if (row != nullptr && row->vendorId == 0x2034 && row->productId == 0x0105)
        return 0.7f;
    return 0.05f;
}

void CRecordMixer::ApplySelectedChannel(const KnownDevice* row) {
    // Only this system version routes the record source through the legacy mixer; elsewhere
    // the choice is merely remembered and the user's hardware settings stay untouched.
    const SystemVersion version = m_system.GetVersion();
    if (version.major != 6 || version.minor != 1)
        return;

    std::unique_ptr<IMixerDevice> mixer;
    if (Failed(m_mixers.Open(m_selectedDevice->index, mixer)) || !mixer)
        return;
    const std::uint32_t destinationIndex = m_selectedDevice->recordDestination;
    const std::uint32_t sourceIndex = m_selectedChannel->sourceIndex;
    MixerLineInfo destination;
    if (Failed(mixer->GetDestination(destinationIndex, destination)))
        return;

    // The multiplexer lists the sources last-first, so its items are reversed to line up
    // with source indices before the chosen one is set.
    MixerControlInfo mux;
    if (Succeeded(mixer->GetDestinationControl(destinationIndex, kMixerControlMux, mux)) &&
        destination.channels > 0) {
        std::vector<std::uint32_t> values;
        if (Succeeded(mixer->GetControlValues(mux.controlId, destination.channels,
                                              mux.multipleItems, values))) {
            std::reverse(values.begin(), values.end());
            for (std::size_t k = 0; k < values.size(); ++k)
                values[k] = k == sourceIndex ? 1 : 0;
            std::reverse(values.begin(), values.end());
            mixer->SetControlValues(mux.controlId, destination.channels, mux.multipleItems, values);
        }
    }

    MixerLineInfo source;
    if (Failed(mixer->GetSource(destinationIndex, sourceIndex, source)))
        return;
    MixerControlInfo volume;
    if (Failed(
            mixer->GetSourceControl(destinationIndex, sourceIndex, kMixerControlVolume, volume)) ||
        source.channels == 0) {
        return;
    }
    std::vector<std::uint32_t> values;
    if (Failed(mixer->GetControlValues(volume.controlId, source.channels, 0, values)))
        return;
    // Single precision on purpose: it decides where the fraction truncates. The value is
    // placed above the control's minimum so that it stays within the control's bounds.
    const float span = static_cast<float>(volume.maximum - volume.minimum);
    const float scaled = VolumeFraction(row) * span;
    const auto level = volume.minimum + static_cast<std::uint32_t>(scaled);
    for (std::uint32_t& value : values)
        value = level;
    mixer->SetControlValues(volume.controlId, source.channels, 0, values);
}

}  // namespace sondrel
