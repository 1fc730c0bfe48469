#include "app/CSettings.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "base/TextUtil.h"

namespace sondrel {

namespace fs = std::filesystem;

namespace {

std::size_t CharCount(const std::string& text) {
    return Utf8ToUtf32(text).size();
}

bool IsDirectory(const fs::path& folder) {
    std::error_code ec;
    return !folder.empty() && fs::is_directory(folder, ec);
}

// True when folder exists as a directory afterwards.
bool EnsureDirectory(const fs::path& folder) {
    if (folder.empty())
        return false;
    std::error_code ec;
    fs::create_directories(folder, ec);
    return IsDirectory(folder);
}

}  // namespace

CSettings::CSettings(ISettingsStore& vendorStore, ISettingsStore& profileStore, IShell& shell)
    : m_vendorStore(vendorStore), m_profileStore(profileStore), m_shell(shell) {}

fs::path CSettings::FallbackFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        fs::path folder(home);
        if (folder.is_absolute() && IsDirectory(folder))
            return folder;
    }
    return fs::path("/");
}

fs::path CSettings::MusicFolderOrFallback() {
    fs::path music;
    if (Succeeded(m_shell.GetMusicFolder(music)) && !music.empty())
        return music;
    return FallbackFolder();
}

fs::path CSettings::ReadExportFolder() {
    fs::path folder;
    std::string stored;
    // A relative path would land wherever the program was started from; treat it as unusable.
    if (m_vendorStore.ReadString(kUserExportFolderValue, stored) == S_OK && !stored.empty() &&
        CharCount(stored) <= kMaxStoredExportFolderChars && fs::path(stored).is_absolute()) {
        folder = fs::path(stored);
    } else {
        folder = MusicFolderOrFallback();  // not stored: the default follows the music folder
    }
    if (IsDirectory(folder))
        return folder;
    if (EnsureDirectory(folder))
        return folder;

    // The folder cannot be made (a file in the way, no permission): fall back for good.
    fs::path music;
    if (Succeeded(m_shell.GetMusicFolder(music)) && !music.empty()) {
        folder = music;
        EnsureDirectory(folder);
    } else {
        folder = FallbackFolder();
    }
    WriteExportFolder(folder);
    return folder;
}

void CSettings::WriteExportFolder(fs::path& folder) {
    if (CharCount(folder.string()) > kMaxWrittenExportFolderChars)
        folder = MusicFolderOrFallback();
    m_vendorStore.WriteString(kUserExportFolderValue, folder.string());
}

std::uint32_t CSettings::ReadRecordLevelFixed() {
    std::uint32_t value = 0;
    if (m_profileStore.ReadInteger(kRecordLevelValue, value) == S_OK)
        return value;
    return kDefaultRecordLevelFixed;
}

float CSettings::ReadRecordLevel() {
    return static_cast<float>(static_cast<double>(ReadRecordLevelFixed()) / 268435456.0);
}

std::uint32_t CSettings::RecordLevelToFixed(float level) {
    const double fixed = std::trunc(static_cast<double>(level) * 268435456.0);
    if (!(fixed > 0.0))
        return 0;  // negative and NaN
    if (fixed >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(fixed);
}

void CSettings::WriteRecordLevel(float level) {
    m_profileStore.WriteInteger(kRecordLevelValue, RecordLevelToFixed(level));
}

std::int32_t CSettings::ReadRecordDeviceChannel() {
    std::uint32_t value = 0;
    if (m_profileStore.ReadInteger(kRecordDeviceChannelValue, value) == S_OK) {
        return static_cast<std::int32_t>(value);
    }
    return kDefaultRecordDeviceChannel;
}

void CSettings::WriteRecordDeviceChannel(std::int32_t channelId) {
    m_profileStore.WriteInteger(kRecordDeviceChannelValue, static_cast<std::uint32_t>(channelId));
}

void CSettings::WriteRecordDevice(const GUID& device) {
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
