// Writes a RIFF/WAVE file: a canonical 44-byte header, then the sample bytes exactly as given.
// Close patches the header from the file's real length, runs the Process hook (the
// normalisation pass of CWaveProcessWriter) and waits until the file can be reopened.
//
// One thread at a time; no locks. Write does not allocate; it waits only for the file system,
// so the recording's own writer thread calls it, never the capture thread. A failing write
// raises CFileError.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "audiofile/CFile.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

inline constexpr std::uint32_t kWaveHeaderBytes = 44;
// The most sample data a canonical WAV header can describe: its RIFF size (data + 36) is 32 bits.
inline constexpr std::uint64_t kWaveMaxDataBytes = 0xFFFFFFFFull - (kWaveHeaderBytes - 8);

// The 44-byte header for a file of fileLengthBytes: RIFF size length - 8 and data size
// length - 44, both truncated to 32 bits; only the first 16 bytes of the format are stored.
std::array<std::uint8_t, kWaveHeaderBytes> BuildWaveHeader(const WAVEFORMATEX& format,
                                                           std::uint64_t fileLengthBytes);

class CWaveWriter {
public:
    static constexpr int kUsableAttempts = 10;

    CWaveWriter() = default;
    CWaveWriter(const CWaveWriter&) = delete;
    CWaveWriter& operator=(const CWaveWriter&) = delete;
    // Closes a file that is still open without patching its header.
    virtual ~CWaveWriter();

    // Creates (or truncates) the file, exclusively, and writes the header of an empty file.
    HRESULT Create(const std::filesystem::path& path, const WAVEFORMATEX& format);

    // Appends count bytes and returns the total written so far. Raises CFileError when the file
    // takes fewer bytes; the whole frames it did take stay counted and later writes continue
    // right after them, so the channels stay in step. At the data limit the file is full:
    // Write keeps the whole frames that fit and drops the rest (IsFull tells).
    std::uint64_t Write(const void* data, std::size_t count);
    // True once a write reached the data limit; nothing more is written after that.
    bool IsFull() const { return m_full; }
    // The most sample data the file takes, cut to whole frames (kWaveMaxDataBytes unless
    // lowered, which tests do). Call after Create.
    void SetDataLimitBytes(std::uint64_t limitBytes);

    // Brings the header's sizes up to the data written so far, so that the file reads as a
    // whole WAV file at any moment; with sync the data then goes to the disk (fdatasync).
    // Raises CFileError.
    void UpdateHeader(bool sync);

    HRESULT GetBytesWritten(std::uint64_t* bytes) const;
    // Bytes written / average bytes per second; E_FAIL (and 0) when the average is 0.
    HRESULT GetDurationSeconds(std::uint32_t* seconds) const;

    // Patches the header, runs Process, closes the file, then tries up to kUsableAttempts times
    // to reopen it exclusively, pausing between attempts. S_OK once it reopens, E_FAIL when it
    // never does or when no file is open. CFileError from the header write or from Process is
    // raised after the file has been closed.
    HRESULT Close();

    // The pause after each failed reopen attempt in Close (1000 ms unless changed).
    void SetRetryPause(std::chrono::milliseconds pause) { m_retryPause = pause; }

protected:
    // Runs after the header is final and before the file is closed. Nothing here.
    virtual void Process() {}

    CFile& File() { return m_file; }
    const WAVEFORMATEX& Format() const { return m_format; }
    std::uint64_t DataStartBytes() const { return m_dataStartBytes; }
    std::uint64_t BytesWritten() const { return m_bytesWritten; }

private:
    HRESULT WaitUntilUsable() const;

    CFile m_file;
    WAVEFORMATEX m_format{};
    std::uint64_t m_bytesWritten = 0;
    std::uint64_t m_dataStartBytes = 0;
    std::filesystem::path m_path;
    bool m_writeFailed = false;
    bool m_full = false;
    std::uint64_t m_dataLimitBytes = kWaveMaxDataBytes;
    std::chrono::milliseconds m_retryPause{1000};
};

}  // namespace sondrel
