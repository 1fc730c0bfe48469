#include "platform/linux/CLinuxShell.h"

#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

extern char** environ;

namespace sondrel {

namespace {

std::filesystem::path HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home == '/')
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr)
        return entry->pw_dir;
    return {};
}

std::filesystem::path ConfigFolder(const std::filesystem::path& home) {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config != nullptr && *config == '/')
        return config;
    return home / ".config";
}

}  // namespace

std::optional<std::filesystem::path> CLinuxShell::ParseUserDirs(std::string_view text,
                                                                std::string_view key,
                                                                const std::filesystem::path& home) {
    std::optional<std::filesystem::path> result;
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
        std::string_view line = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.substr(0, key.size()) != key || line.substr(key.size(), 2) != "=\"")
            continue;
        line.remove_prefix(key.size() + 2);
        // The value is a quoted string in which \" and \\ may be escaped.
        std::string value;
        bool closed = false;
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                value.push_back(line[++i]);
            } else if (line[i] == '"') {
                closed = true;
                break;
            } else {
                value.push_back(line[i]);
            }
        }
        if (!closed)
            continue;
        std::filesystem::path path;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            path = home / value.substr(value.size() > 5 ? 6 : 5);
        } else if (!value.empty() && value.front() == '/') {
            path = value;
        } else {
            continue;  // only absolute or $HOME-relative values are valid
        }
        path = path.lexically_normal();
        if (!path.has_filename())
            path = path.parent_path();
        // The last valid line wins, as in the XDG tools.
        result = path == home.lexically_normal() ? std::nullopt
                                                 : std::optional<std::filesystem::path>(path);
    }
    return result;
}

HRESULT CLinuxShell::GetMusicFolder(std::filesystem::path& folder) {
    const std::filesystem::path home = HomeFolder();
    if (home.empty())
        return E_FAIL;
    // Only a regular file is read: a pipe in its place would make this wait for ever.
    const std::filesystem::path userDirs = ConfigFolder(home) / "user-dirs.dirs";
    std::error_code ec;
    std::ifstream file;
    if (std::filesystem::is_regular_file(userDirs, ec))
        file.open(userDirs);
    if (file) {
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        if (const auto music = ParseUserDirs(text, "XDG_MUSIC_DIR", home)) {
            folder = *music;
            return S_OK;
        }
    }
    folder = home / "Music";
    return S_OK;
}

HRESULT CLinuxShell::GetTempFolder(std::filesystem::path& folder) {
    const char* tmpdir = std::getenv("TMPDIR");
    folder = tmpdir != nullptr && *tmpdir == '/' ? std::filesystem::path(tmpdir) : "/tmp";
    return S_OK;
}

HRESULT CLinuxShell::GetRecordingsFolder(std::filesystem::path& folder) {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        folder = std::filesystem::path(state) / "sondrel" / "recordings";
        return S_OK;
    }
    const std::filesystem::path home = HomeFolder();
    if (home.empty())
        return E_FAIL;
    folder = home / ".local" / "state" / "sondrel" / "recordings";
    return S_OK;
}

bool CLinuxShell::Launch(const char* program, const std::string& argument) {
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0)
        return false;
    // Its own session, so that closing this program's terminal does not end the opener.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::string programCopy = program;
    std::string argumentCopy = argument;
    char* argv[] = {programCopy.data(), argumentCopy.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (rc != 0)
        return false;
    // Some openers wait for the application they start; reap them without waiting here.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

HRESULT CLinuxShell::OpenFolder(const std::filesystem::path& folder) {
    if (folder.empty())
        return E_FAIL;
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, ec);
    if (ec)
        return E_FAIL;
    // An absolute path never starts with '-', so it cannot be taken for an option.
    return Launch("xdg-open", absolute.string()) ? S_OK : E_FAIL;
}

HRESULT CLinuxShell::OpenWebAddress(const std::string& url) {
    if (url.rfind("https://", 0) != 0 && url.rfind("http://", 0) != 0)
        return E_FAIL;
    return Launch("xdg-open", url) ? S_OK : E_FAIL;
}

}  // namespace sondrel
