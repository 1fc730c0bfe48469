#include "audiofile/CWaveWriter.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "audiofile/CFileError.h"

namespace sondrel {

namespace {

void PutU16(std::uint8_t* at, std::uint16_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::array<std::uint8_t, kWaveHeaderBytes> BuildWaveHeader(const WAVEFORMATEX& format,
                                                           std::uint64_t fileLengthBytes) {
    std::array<std::uint8_t, kWaveHeaderBytes> header{};
    std::uint8_t* h = header.data();
    std::memcpy(h + 0, "RIFF", 4);
    PutU32(h + 4, static_cast<std::uint32_t>(fileLengthBytes - 8));
    std::memcpy(h + 8, "WAVE", 4);
    std::memcpy(h + 12, "fmt ", 4);
    PutU32(h + 16, 16);
    PutU16(h + 20, format.wFormatTag);
    PutU16(h + 22, format.nChannels);
    PutU32(h + 24, format.nSamplesPerSec);
    PutU32(h + 28, format.nAvgBytesPerSec);
    PutU16(h + 32, format.nBlockAlign);
    PutU16(h + 34, format.wBitsPerSample);
    std::memcpy(h + 36, "data", 4);
    PutU32(h + 40, static_cast<std::uint32_t>(fileLengthBytes - kWaveHeaderBytes));
    return header;
}

CWaveWriter::~CWaveWriter() {
    m_file.Close();
}

HRESULT CWaveWriter::Create(const std::filesystem::path& path, const WAVEFORMATEX& format) {
    std::memcpy(&m_format, &format, sizeof(WAVEFORMATEX));
    if (!m_file.OpenCreateExclusive(path))
        return E_FAIL;
    m_bytesWritten = 0;
    m_writeFailed = false;
    m_full = false;
    SetDataLimitBytes(kWaveMaxDataBytes);
    try {
        const auto header = BuildWaveHeader(m_format, kWaveHeaderBytes);
        m_file.Write(header.data(), header.size());
    } catch (const CFileError&) {
        m_file.Close();
        return E_FAIL;
    }
    m_path = path;
    m_dataStartBytes = m_file.GetPosition();
    return S_OK;
}

void CWaveWriter::SetDataLimitBytes(std::uint64_t limitBytes) {
    const std::uint64_t frameBytes = m_format.nBlockAlign ? m_format.nBlockAlign : 1;
    m_dataLimitBytes = std::min(limitBytes, kWaveMaxDataBytes) / frameBytes * frameBytes;
}

std::uint64_t CWaveWriter::Write(const void* data, std::size_t count) {
    if (m_full)
        return m_bytesWritten;
    const std::uint64_t room =
        m_dataLimitBytes > m_bytesWritten ? m_dataLimitBytes - m_bytesWritten : 0;
    if (count >= room) {
        // Past the limit the header would wrap and the audio be lost; the file ends here.
        count = static_cast<std::size_t>(room);
        m_full = true;
    }
    std::size_t written = 0;
    try {
        m_file.Write(data, count, &written);
    } catch (const CFileError&) {
        // Keep whole frames only: the next write then starts on a frame boundary, and Close
        // cuts any partial frame off before it writes the header.
        const std::uint64_t frameBytes = m_format.nBlockAlign ? m_format.nBlockAlign : 1;
        m_bytesWritten = (m_bytesWritten + written) / frameBytes * frameBytes;
        m_writeFailed = true;
        if (m_file.IsOpen())
            m_file.Seek(m_dataStartBytes + m_bytesWritten);
        throw;
    }
    m_bytesWritten += count;
    return m_bytesWritten;
}

void CWaveWriter::UpdateHeader(bool sync) {
    const std::uint64_t position = m_file.GetPosition();
    const auto header = BuildWaveHeader(m_format, m_dataStartBytes + m_bytesWritten);
    m_file.Seek(0);
    try {
        m_file.Write(header.data(), header.size());
    } catch (...) {
        m_file.Seek(position);
        throw;
    }
    m_file.Seek(position);
    if (sync)
        m_file.SyncData();
}

HRESULT CWaveWriter::GetBytesWritten(std::uint64_t* bytes) const {
    if (bytes)
        *bytes = m_bytesWritten;
    return S_OK;
}

HRESULT CWaveWriter::GetDurationSeconds(std::uint32_t* seconds) const {
    if (m_format.nAvgBytesPerSec == 0) {
        if (seconds)
            *seconds = 0;
        return E_FAIL;
    }
    if (seconds)
        *seconds = static_cast<std::uint32_t>(m_bytesWritten / m_format.nAvgBytesPerSec);
    return S_OK;
}

HRESULT CWaveWriter::Close() {
    if (!m_file.IsOpen())
        return E_FAIL;
    try {
        if (m_writeFailed) {
            // What a failed write left past the last whole frame is not audio.
            const std::uint64_t end = m_dataStartBytes + m_bytesWritten;
            if (m_file.GetLength() > end)
                m_file.SetLength(end);
        }
        const std::uint64_t lengthBytes = m_file.GetLength();
        if (lengthBytes >= kWaveHeaderBytes) {
            const auto header = BuildWaveHeader(m_format, lengthBytes);
            m_file.Seek(0);
            m_file.Write(header.data(), header.size());
        }
        Process();
    } catch (...) {
        m_file.Close();
        throw;
    }
    m_file.Close();
    return WaitUntilUsable();
}

HRESULT CWaveWriter::WaitUntilUsable() const {
    for (int attempt = 0; attempt < kUsableAttempts; ++attempt) {
        CFile probe;
        if (probe.OpenReadWriteExclusive(m_path)) {
            try {
                probe.GetLength();
                return S_OK;
            } catch (const CFileError&) {
            }
        }
        std::this_thread::sleep_for(m_retryPause);
    }
    return E_FAIL;
}

}  // namespace sondrel
