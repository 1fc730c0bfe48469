// The recorder's values in the application profile: "Record Level", "Record Device Channel"
// and "Record Device", with their defaults and their stored forms.
#pragma once

#include <cstdint>

#include "base/Guid.h"
#include "platform/ISettingsStore.h"

namespace sondrel {

// "Record Level" is a fixed-point number with 28 fraction bits; this is 1.0.
inline constexpr std::uint32_t kDefaultRecordLevelFixed = 0x10000000u;
// "Record Device Channel" default: the microphone source line id.
inline constexpr std::int32_t kDefaultRecordDeviceChannel = -126976;  // 0xFFFE1000

// Threading: whoever owns the object; the recorder and the settings use it on the main thread.
class CRecordSettings {
public:
    explicit CRecordSettings(ISettingsStore& profileStore);

    // The mixer record level, 1.0 when missing or unreadable.
    float ReadRecordLevel();
    std::uint32_t ReadRecordLevelFixed();
    // Stores level × 2^28 with the fraction cut off (clamped to the 32-bit range).
    void WriteRecordLevel(float level);

    std::int32_t ReadRecordDeviceChannel();
    void WriteRecordDeviceChannel(std::int32_t channelId);

    // Written for the record; the program never reads it back.
    void WriteRecordDevice(const GUID& device);

    static std::uint32_t RecordLevelToFixed(float level);

private:
    ISettingsStore& m_profileStore;
};

}  // namespace sondrel
