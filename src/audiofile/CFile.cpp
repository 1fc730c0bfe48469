#include "audiofile/CFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "audiofile/CFileError.h"

namespace sondrel {

bool CFile::OpenLocked(const std::filesystem::path& path, int flags) {
    Close();
    const int fd = ::open(path.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    struct stat info {};
    // A directory or device opens for reading on Linux; only regular files are files here.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_positionBytes = 0;
    m_path = path;
    return true;
}

bool CFile::OpenCreateExclusive(const std::filesystem::path& path) {
    // Truncate only once the lock is ours, so a file held by someone else stays intact.
    if (!OpenLocked(path, O_RDWR | O_CREAT))
        return false;
    if (::ftruncate(m_fd, 0) != 0) {
        Close();
        return false;
    }
    return true;
}

bool CFile::OpenReadWriteExclusive(const std::filesystem::path& path) {
    return OpenLocked(path, O_RDWR);
}

void CFile::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);  // also drops the lock
        m_fd = -1;
    }
}

void CFile::Raise(const char* operation, int errorNumber) const {
    std::string what = std::string(operation) + " failed on " + m_path.string();
    if (errorNumber != 0)
        what += ": " + std::generic_category().message(errorNumber);
    throw CFileError(what, m_path, errorNumber);
}

std::uint64_t CFile::GetLength() const {
    struct stat info {};
    if (m_fd < 0)
        Raise("length query", EBADF);
    if (::fstat(m_fd, &info) != 0)
        Raise("length query", errno);
    return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t CFile::Seek(std::uint64_t positionBytes) {
    if (m_fd < 0)
        Raise("seek", EBADF);
    if (positionBytes > static_cast<std::uint64_t>(INT64_MAX))
        Raise("seek", EINVAL);
    m_positionBytes = positionBytes;
    return m_positionBytes;
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
    if (m_fd < 0)
        Raise("read", EBADF);
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(m_fd, out + done, count - done, static_cast<off_t>(m_positionBytes + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            Raise("read", errno);
        }
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    m_positionBytes += done;
    return done;
}

void CFile::Write(const void* data, std::size_t count, std::size_t* bytesWritten) {
    if (bytesWritten)
        *bytesWritten = 0;
    if (m_fd < 0)
        Raise("write", EBADF);
    const auto* in = static_cast<const unsigned char*>(data);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t put =
            ::pwrite(m_fd, in + done, count - done, static_cast<off_t>(m_positionBytes + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            const int error = put < 0 ? errno : 0;
            m_positionBytes += done;
            if (bytesWritten)
                *bytesWritten = done;
            Raise("write", error);
        }
        done += static_cast<std::size_t>(put);
    }
    m_positionBytes += done;
    if (bytesWritten)
        *bytesWritten = done;
}

void CFile::SetLength(std::uint64_t lengthBytes) {
    if (m_fd < 0)
        Raise("truncate", EBADF);
    if (::ftruncate(m_fd, static_cast<off_t>(lengthBytes)) != 0)
        Raise("truncate", errno);
}

void CFile::SyncData() {
    if (m_fd < 0)
        Raise("sync", EBADF);
    if (::fdatasync(m_fd) != 0)
        Raise("sync", errno);
}

}  // namespace sondrel
