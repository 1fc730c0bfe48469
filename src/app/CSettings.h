// The program's settings with their defaults and repair rules, over the two stores: the
// vendor store (export folder) and the application profile (record level, record channel,
// record device). Settings are read on demand and never cached, so a folder chosen on a tag
// page is used by the next export at once.
#pragma once

#include <cstdint>
#include <filesystem>

#include "app/ISettingsStore.h"
#include "base/Guid.h"
#include "platform/IShell.h"

namespace sondrel {

// "Record Level" is a fixed-point number with 28 fraction bits; this is 1.0.
inline constexpr std::uint32_t kDefaultRecordLevelFixed = 0x10000000u;
// "Record Device Channel" default: the microphone source line id.
inline constexpr std::int32_t kDefaultRecordDeviceChannel = -126976;  // 0xFFFE1000
// A stored export folder longer than this (characters) is treated as missing.
inline constexpr std::size_t kMaxStoredExportFolderChars = 259;
// A chosen export folder longer than this is replaced by the music folder before storing.
inline constexpr std::size_t kMaxWrittenExportFolderChars = 130;

// Threading: like the shell, the main thread only (the export reads its folder when it is
// started, not on its worker).
class CSettings {
public:
    CSettings(ISettingsStore& vendorStore, ISettingsStore& profileStore, IShell& shell);

    // The export folder, which exists on return unless even the last fallback cannot be
    // created: the stored "UserExportFolder" when it is a usable string (re-created with its
    // parents if it has gone; the stored value is kept), else the music folder. When the
    // folder cannot be created, the music folder is created and stored instead.
    std::filesystem::path ReadExportFolder();
    // Stores folder as "UserExportFolder"; a folder longer than 130 characters is replaced,
    // in the caller's variable too, by the music folder.
    void WriteExportFolder(std::filesystem::path& folder);

    // The mixer record level, 1.0 when missing or unreadable.
    float ReadRecordLevel();
    std::uint32_t ReadRecordLevelFixed();
    // Stores level × 2^28 with the fraction cut off (clamped to the 32-bit range).
    void WriteRecordLevel(float level);

    std::int32_t ReadRecordDeviceChannel();
    void WriteRecordDeviceChannel(std::int32_t channelId);

    // Written for the record; the program never reads it back.
    void WriteRecordDevice(const GUID& device);

    // Where exports go when not even the music folder is known: the home folder, else "/".
    static std::filesystem::path FallbackFolder();
    static std::uint32_t RecordLevelToFixed(float level);

private:
    std::filesystem::path MusicFolderOrFallback();

    ISettingsStore& m_vendorStore;
    ISettingsStore& m_profileStore;
    IShell& m_shell;
};

}  // namespace sondrel
