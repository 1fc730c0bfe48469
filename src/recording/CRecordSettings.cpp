#include "recording/CRecordSettings.h"

#include <array>
#include <cmath>

namespace sondrel {

CRecordSettings::CRecordSettings(ISettingsStore& profileStore) : m_profileStore(profileStore) {}

std::uint32_t CRecordSettings::ReadRecordLevelFixed() {
    std::uint32_t value = 0;
    if (m_profileStore.ReadInteger(kRecordLevelValue, value) == S_OK)
        return value;
    return kDefaultRecordLevelFixed;
}

float CRecordSettings::ReadRecordLevel() {
    return static_cast<float>(static_cast<double>(ReadRecordLevelFixed()) / 268435456.0);
}

std::uint32_t CRecordSettings::RecordLevelToFixed(float level) {
    const double fixed = std::trunc(static_cast<double>(level) * 268435456.0);
    if (!(fixed > 0.0))
        return 0;  // negative and NaN
    if (fixed >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(fixed);
}

void CRecordSettings::WriteRecordLevel(float level) {
    m_profileStore.WriteInteger(kRecordLevelValue, RecordLevelToFixed(level));
}

std::int32_t CRecordSettings::ReadRecordDeviceChannel() {
    std::uint32_t value = 0;
    if (m_profileStore.ReadInteger(kRecordDeviceChannelValue, value) == S_OK) {
        return static_cast<std::int32_t>(value);
    }
    return kDefaultRecordDeviceChannel;
}

void CRecordSettings::WriteRecordDeviceChannel(std::int32_t channelId) {
    m_profileStore.WriteInteger(kRecordDeviceChannelValue, static_cast<std::uint32_t>(channelId));
}

void CRecordSettings::WriteRecordDevice(const GUID& device) {
    // The GUID's memory layout: data1..data3 little-endian, then data4 as is.
    std::array<std::uint8_t, 16> bytes{};
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(device.data1 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[4 + i] = static_cast<std::uint8_t>(device.data2 >> (8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[6 + i] = static_cast<std::uint8_t>(device.data3 >> (8 * i));
    for (int i = 0; i < 8; ++i)
        bytes[8 + i] = device.data4[i];
    m_profileStore.WriteBinary(kRecordDeviceValue, bytes);
}

}  // namespace sondrel
