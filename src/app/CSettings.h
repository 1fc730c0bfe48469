// The program's settings with their defaults and repair rules, over the two stores: the
// vendor store (export folder) and, through CRecordSettings, the application profile. Settings are
// read on demand and never cached, so a folder chosen on a tag page is used by the next export at
// once.
#pragma once

#include <cstdint>
#include <filesystem>

#include "base/Guid.h"
#include "export/ExportFormat.h"
#include "platform/ISettingsStore.h"
#include "platform/IShell.h"
#include "recording/CRecordSettings.h"

namespace sondrel {

// A stored export folder longer than this (characters) is treated as missing.
inline constexpr std::size_t kMaxStoredExportFolderChars = 259;
// A chosen export folder longer than this is replaced by the music folder before storing.
inline constexpr std::size_t kMaxWrittenExportFolderChars = 130;

// Threading: like the shell, the main thread only (the export reads its folder when it is
// started, not on its worker).
class CSettings : public CRecordSettings {
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

    // The format chosen on a tag page last ("Export Format": "wav" or "flac"); WAV when none
    // or anything else is stored.
    ExportFormat ReadExportFormat();
    void WriteExportFormat(ExportFormat format);

    // Where exports go when not even the music folder is known: the home folder, else "/".
    static std::filesystem::path FallbackFolder();

private:
    std::filesystem::path MusicFolderOrFallback();

    ISettingsStore& m_vendorStore;
    IShell& m_shell;
};

}  // namespace sondrel
