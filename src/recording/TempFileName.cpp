#include "recording/TempFileName.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace sondrel {

HRESULT ReserveTempFileName(const std::filesystem::path& folder, std::filesystem::path& path) {
    path.clear();
    for (int n = 0; n < kTempFileNameCount; ++n) {
        std::filesystem::path candidate = folder / ("temp" + std::to_string(n) + ".wav");
        const int fd =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            path = std::move(candidate);
            return S_OK;
        }
        // Anything but "already there" (no folder, no rights, no space) fails every name alike.
        if (errno != EEXIST)
            return E_FAIL;
    }
    return E_FAIL;
}

}  // namespace sondrel
