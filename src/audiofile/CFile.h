// Plain file access for the WAV writer: a file descriptor with a current position, opened in
// the modes the writer needs. Exclusive access is an advisory flock(LOCK_EX) held while open,
// so a second exclusive open of the same file, from this or another process, is refused. A
// path whose last part is a symbolic link is never opened: the recordings folder is the
// user's to write in, and a link planted there must not lead a write to a file elsewhere.
// Open* report failure by returning false; Read, Write, Seek and GetLength raise CFileError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace sondrel {

class CFile {
public:
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile() { Close(); }

    // Creates the file or truncates an existing one, read-write, exclusive. A file that someone
    // else holds exclusively is neither truncated nor opened.
    bool OpenCreateExclusive(const std::filesystem::path& path);
    // Opens an existing file read-write (no create, no truncation), exclusive.
    bool OpenReadWriteExclusive(const std::filesystem::path& path);

    bool IsOpen() const { return m_fd >= 0; }
    void Close();

    std::uint64_t GetLength() const;
    std::uint64_t GetPosition() const { return m_positionBytes; }
    // Sets the position from the file start; returns the new position (a position past the
    // end is allowed, as with lseek).
    std::uint64_t Seek(std::uint64_t positionBytes);
    // Reads up to count bytes at the position; fewer only at the end of the file.
    std::size_t Read(void* buffer, std::size_t count);
    // Writes all count bytes at the position. On failure the position has moved past what was
    // written, bytesWritten (when given) holds that much, and CFileError is raised.
    void Write(const void* data, std::size_t count, std::size_t* bytesWritten = nullptr);
    // Cuts or extends the file to lengthBytes.
    void SetLength(std::uint64_t lengthBytes);
    // Puts the file's data on the disk (fdatasync); may wait for the disk.
    void SyncData();

private:
    bool OpenLocked(const std::filesystem::path& path, int flags);
    [[noreturn]] void Raise(const char* operation, int errorNumber) const;

    int m_fd = -1;
    std::uint64_t m_positionBytes = 0;
    std::filesystem::path m_path;
};

}  // namespace sondrel
