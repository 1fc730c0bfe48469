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
    : CRecordSettings(profileStore), m_vendorStore(vendorStore), m_shell(shell) {}

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

    // The folder cannot be made (a file in the way, no permission): fall back to the music
    // folder, and when that cannot be made either, to the home folder. Only a folder that
    // exists is stored; a broken one would break every later export.
    fs::path music;
    if (Succeeded(m_shell.GetMusicFolder(music)) && !music.empty() && EnsureDirectory(music)) {
        folder = music;
    } else {
        folder = FallbackFolder();
    }
    if (IsDirectory(folder))
        WriteExportFolder(folder);
    return folder;
}

ExportFormat CSettings::ReadExportFormat() {
    std::string stored;
    ExportFormat format = ExportFormat::Wav;
    if (m_vendorStore.ReadString(kExportFormatValue, stored) == S_OK)
        ParseFormatName(stored, format);
    return format;
}

void CSettings::WriteExportFormat(ExportFormat format) {
    m_vendorStore.WriteString(kExportFormatValue, FormatName(format));
}

void CSettings::WriteExportFolder(fs::path& folder) {
    if (CharCount(folder.string()) > kMaxWrittenExportFolderChars)
        folder = MusicFolderOrFallback();
    m_vendorStore.WriteString(kUserExportFolderValue, folder.string());
}

}  // namespace sondrel
