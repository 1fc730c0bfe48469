// The mark of a recording that a running Sondrel holds: an exclusive flock on the file, kept
// for as long as the recording is in use and dropped by the system when the process ends,
// however it ends. The start-up scan passes over held recordings, and two programs never
// recover the same one.
#pragma once

#include <filesystem>

namespace sondrel {

// Threads: one owner at a time. Movable, not copyable.
class CRecordingLock {
public:
    CRecordingLock() = default;
    CRecordingLock(CRecordingLock&& other) noexcept;
    CRecordingLock& operator=(CRecordingLock&& other) noexcept;
    CRecordingLock(const CRecordingLock&) = delete;
    CRecordingLock& operator=(const CRecordingLock&) = delete;
    ~CRecordingLock() { Release(); }

    // False when the file cannot be opened or someone (this process included, through another
    // opening) holds it already.
    bool Take(const std::filesystem::path& path);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

    // True when some running program holds the file now.
    static bool IsHeldElsewhere(const std::filesystem::path& path);

private:
    int m_fd = -1;
};

}  // namespace sondrel
