// The user's folders and the desktop's opener on Linux: the XDG music folder, the temporary
// folder, the recordings folder in the XDG state folder, and xdg-open (started directly,
// without a shell) for folders and web addresses.
#pragma once

#include <optional>
#include <string_view>

#include "platform/IShell.h"

namespace sondrel {

class CLinuxShell final : public IShell {
public:
    // The XDG_MUSIC_DIR of ~/.config/user-dirs.dirs (or $XDG_CONFIG_HOME), else ~/Music.
    HRESULT GetMusicFolder(std::filesystem::path& folder) override;
    // TMPDIR when it names an absolute path, else /tmp.
    HRESULT GetTempFolder(std::filesystem::path& folder) override;
    // $XDG_STATE_HOME/sondrel/recordings when XDG_STATE_HOME names an absolute path, else
    // ~/.local/state/sondrel/recordings.
    HRESULT GetRecordingsFolder(std::filesystem::path& folder) override;
    // E_FAIL when xdg-open cannot be started.
    HRESULT OpenFolder(const std::filesystem::path& folder) override;
    // Only http and https addresses are handed over.
    HRESULT OpenWebAddress(const std::string& url) override;

    // The value of key (e.g. "XDG_MUSIC_DIR") in a user-dirs.dirs text with "$HOME" expanded;
    // nullopt when absent, malformed, or pointing at the home folder itself (which the XDG
    // convention uses to switch a folder off).
    static std::optional<std::filesystem::path> ParseUserDirs(std::string_view text,
                                                              std::string_view key,
                                                              const std::filesystem::path& home);
    // Starts program with one argument, detached; false when it could not be started.
    static bool Launch(const char* program, const std::string& argument);
};

}  // namespace sondrel
