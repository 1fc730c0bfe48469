#include "export/FileMove.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <system_error>

#include "base/WaveFormat.h"
#include "recording/DurableStep.h"

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

}  // namespace

fs::path PartialCopyPathOf(const fs::path& target) {
    return target.parent_path() / ("." + target.filename().string() + ".part");
}

bool SameContents(const fs::path& a, const fs::path& b) {
    FileDescriptor first(::open(a.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    FileDescriptor second(::open(b.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat infoA {
    }, infoB{};
    if (first.Get() < 0 || second.Get() < 0 || ::fstat(first.Get(), &infoA) != 0 ||
        ::fstat(second.Get(), &infoB) != 0 || infoA.st_size != infoB.st_size) {
        return false;
    }
    auto bufferA = std::make_unique<unsigned char[]>(kChunkBytes);
    auto bufferB = std::make_unique<unsigned char[]>(kChunkBytes);
    for (;;) {
        const ssize_t gotA = ::read(first.Get(), bufferA.get(), kChunkBytes);
        if (gotA < 0)
            return false;
        std::size_t gotB = 0;
        while (gotB < static_cast<std::size_t>(gotA)) {
            const ssize_t n =
                ::read(second.Get(), bufferB.get() + gotB, static_cast<std::size_t>(gotA) - gotB);
            if (n <= 0)
                return false;
            gotB += static_cast<std::size_t>(n);
        }
        if (gotA == 0)
            return true;
        if (std::memcmp(bufferA.get(), bufferB.get(), static_cast<std::size_t>(gotA)) != 0)
            return false;
    }
}

MoveOutcome CopyFileThenRemove(const fs::path& source, const fs::path& target, int* error) {
    const auto fail = [error](int code) {
        if (error != nullptr)
            *error = code;
        return MoveOutcome::Failed;
    };
    {
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            return MoveOutcome::TargetExists;
    }
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (in.Get() < 0)
        return fail(errno);
    // The partial copy is ours alone: a leftover of a killed run (or a link) goes first.
    const fs::path partial = PartialCopyPathOf(target);
    ::unlink(partial.c_str());
    FileDescriptor out(
        ::open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (out.Get() < 0)
        return fail(errno);
    bool copied = CopyContents(in.Get(), out.Get()) && ::fsync(out.Get()) == 0;
    int copyError = copied ? 0 : errno;
    if (!out.Close() && copied) {
        copied = false;
        copyError = errno;
    }
    if (!copied) {
        ::unlink(partial.c_str());
        return fail(copyError != 0 ? copyError : EIO);
    }
    if (::renameat2(AT_FDCWD, partial.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        const int renameError = errno;
        ::unlink(partial.c_str());
        if (renameError == EEXIST)
            return MoveOutcome::TargetExists;
        return fail(renameError);
    }
    SyncFolder(target.parent_path());
    PassDurableStep();
    // The copy is safely on disk under its name; a source that cannot be removed leaves a
    // duplicate behind, which loses nothing.
    in.Close();
    ::unlink(source.c_str());
    return MoveOutcome::Moved;
}

MoveOutcome MoveFileNoReplace(const fs::path& source, const fs::path& target, int* error) {
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        SyncFolder(target.parent_path());
        PassDurableStep();
        return MoveOutcome::Moved;
    }
    int code = errno;
    if (code == EINVAL || code == ENOSYS || code == ENOTSUP) {
        // A file system without the no-replace flag: check, then rename.
        std::error_code ec;
        if (fs::exists(fs::symlink_status(target, ec)))
            return MoveOutcome::TargetExists;
        fs::rename(source, target, ec);
        if (!ec)
            return MoveOutcome::Moved;
        code = ec.value();
    }
    if (code == EEXIST)
        return MoveOutcome::TargetExists;
    if (code == EXDEV)
        return CopyFileThenRemove(source, target, error);
    if (error != nullptr)
        *error = code;
    return MoveOutcome::Failed;
}

}  // namespace sondrel
