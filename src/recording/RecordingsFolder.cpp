#include "recording/RecordingsFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

namespace sondrel {

namespace {

std::string Reason(int errorNumber) {
    return std::generic_category().message(errorNumber);
}

}  // namespace

HRESULT PrepareRecordingsFolder(const std::filesystem::path& folder, std::string& problem) {
    problem.clear();
    if (folder.empty()) {
        problem = "no folder is known for recordings";
        return E_FAIL;
    }
    // Parent by parent, so that every folder this makes is private too.
    std::filesystem::path partial;
    for (const auto& part : folder) {
        partial /= part;
        if (partial == partial.root_path())
            continue;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            problem = partial.string() + ": " + Reason(errno);
            return E_FAIL;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        problem = folder.string() + ": not a folder";
        return E_FAIL;
    }
    // Access rights alone do not tell a read-only mount or a full disk; a real file does. The
    // probe's name is this process's own and it is created new, never through a link nor over
    // a file that is there already, so nothing else in the folder (or behind a link planted in
    // it) is ever written, truncated or removed.
    std::filesystem::path probe;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 16; ++attempt) {
        probe = folder / (".write-probe-" + std::to_string(static_cast<long>(::getpid())) + "-" +
                          std::to_string(attempt));
        fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        problem = folder.string() + ": " + Reason(errno);
        return E_FAIL;
    }
    const char byte = 0;
    const bool written = ::write(fd, &byte, 1) == 1;
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.c_str());
    if (!written) {
        problem = folder.string() + ": " + Reason(writeError);
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace sondrel
