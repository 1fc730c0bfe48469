#include "export/FileMove.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <system_error>

#include "base/WaveFormat.h"

namespace sondrel {

namespace fs = std::filesystem;

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }
    // close() can report a delayed write error; the caller must see it.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const unsigned char* data, std::size_t bytes) {
    while (bytes > 0) {
        const ssize_t written = ::write(fd, data, bytes);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        bytes -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CopyContents(int from, int to) {
    auto buffer = std::make_unique<unsigned char[]>(kChunkBytes);
    for (;;) {
        const ssize_t got = ::read(from, buffer.get(), kChunkBytes);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (got == 0)
            return true;
        if (!WriteAll(to, buffer.get(), static_cast<std::size_t>(got)))
            return false;
    }
}

void SyncDirectoryOf(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
}

}  // namespace

MoveOutcome CopyFileThenRemove(const fs::path& source, const fs::path& target) {
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0)
        return MoveOutcome::Failed;
    // O_EXCL: the target is ours alone, never an existing file.
    FileDescriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (out.Get() < 0) {
        return errno == EEXIST ? MoveOutcome::TargetExists : MoveOutcome::Failed;
    }
    const bool copied = CopyContents(in.Get(), out.Get()) && ::fsync(out.Get()) == 0;
    if (!out.Close() || !copied) {
        ::unlink(target.c_str());
        return MoveOutcome::Failed;
    }
    SyncDirectoryOf(target);
    // The copy is safely on disk; a source that cannot be removed leaves a duplicate behind,
    // which loses nothing.
    in.Close();
    ::unlink(source.c_str());
    return MoveOutcome::Moved;
}

MoveOutcome MoveFileNoReplace(const fs::path& source, const fs::path& target) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return MoveOutcome::Moved;
    }
    int error = errno;
    if (error == EINVAL || error == ENOSYS || error == ENOTSUP) {
        // A file system without the no-replace flag: check, then rename.
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            return MoveOutcome::TargetExists;
        fs::rename(source, target, ec);
        if (!ec)
            return MoveOutcome::Moved;
        error = ec.value();
    }
    if (error == EEXIST)
        return MoveOutcome::TargetExists;
    if (error == EXDEV)
        return CopyFileThenRemove(source, target);
    return MoveOutcome::Failed;
}

}  // namespace sondrel
