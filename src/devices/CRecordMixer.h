// The mixers' record source lines: which line feeds the USB device's recording and, on the
// one system version that needs it, that line's volume.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/CSmartPtrTarget.h"
#include "base/Result.h"
#include "devices/CRecordMixerDevice.h"

namespace sondrel {

class IMixerSystem;
class ISystemInfo;
struct KnownDevice;

// The stored channel id that means no channel was chosen yet: pick the microphone source.
inline constexpr std::int32_t kDefaultMixerChannelId = -126976;  // 0xFFFE1000

// Threading: main thread only.
class CRecordMixer {
public:
    CRecordMixer(IMixerSystem& mixers, ISystemInfo& system) : m_mixers(mixers), m_system(system) {}

    // Appends every mixer device with its lines; the list is not emptied first, so after
    // repeated enumerations the earliest entry of each name comes first.
    void EnumerateMixers();
    // Selects the first device whose name equals name exactly; E_FAIL (nothing selected)
    // when there is none.
    HRESULT SelectMixerDevice(std::string_view name);
    // From the selected device's record lines: E_FAIL without a selected device, S_FALSE when
    // index is negative or past the end.
    HRESULT GetChannelInfo(std::int32_t index, std::int32_t& channelId, std::string& name) const;
    // Selects the record line with this source index (the microphone line for
    // kDefaultMixerChannelId) and applies it to the mixer where the system needs it.
    HRESULT SelectChannel(std::int32_t channelId, const KnownDevice* row);
    HRESULT GetSelectedChannel(std::int32_t& channelId) const;
    // The level is only stored; it is not sent to any mixer control.
    HRESULT GetLevel(float& level) const;
    HRESULT SetLevel(float level);

    const std::vector<ComPtr<CRecordMixerDevice>>& Devices() const { return m_devices; }
    const ComPtr<CRecordMixerDevice>& SelectedDevice() const { return m_selectedDevice; }

    // The record-line volume fraction a table row gets.
    static float VolumeFraction(const KnownDevice* row);

private:
    void ApplySelectedChannel(const KnownDevice* row);

    IMixerSystem& m_mixers;
    ISystemInfo& m_system;
    std::vector<ComPtr<CRecordMixerDevice>> m_devices;
    ComPtr<CRecordMixerDevice> m_selectedDevice;
    ComPtr<CRecordMixerDeviceChannel> m_selectedChannel;
    float m_level = 1.0f;
};

}  // namespace sondrel
