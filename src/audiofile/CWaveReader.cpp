#include "audiofile/CWaveReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace sondrel {

namespace {

constexpr std::uint32_t FourCc(const char (&text)[5]) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[3])) << 24;
}

std::uint32_t GetU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

constexpr std::uint32_t kRiff = FourCc("RIFF");
constexpr std::uint32_t kWave = FourCc("WAVE");
constexpr std::uint32_t kFmt = FourCc("fmt ");
constexpr std::uint32_t kData = FourCc("data");
constexpr std::uint64_t kLargestOffset = 0xFFFFFFFFu;

}  // namespace

CWaveReader::CWaveReader() {
    m_refCount.store(1, std::memory_order_relaxed);
}

CWaveReader::~CWaveReader() {
    if (m_fd >= 0)
        ::close(m_fd);
}

HRESULT CWaveReader::QueryInterface(const GUID&, void** object) {
    if (object)
        *object = nullptr;
    return E_NOINTERFACE;
}

std::uint32_t CWaveReader::AddRef() {
    return static_cast<std::uint32_t>(m_refCount.fetch_add(1, std::memory_order_relaxed) + 1);
}

std::uint32_t CWaveReader::Release() {
    const std::int32_t count = m_refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 0)
        delete this;
    return static_cast<std::uint32_t>(count);
}

HRESULT CWaveReader::Open(const std::filesystem::path& path, std::uint32_t) {
    if (m_fd >= 0 || m_memory || m_open)
        return E_FAIL;
    // Not through a link (see CFile); not waiting for a writer when the name is a pipe.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return E_FAIL;
    return Adopt(fd);
}

HRESULT CWaveReader::OpenDescriptor(int fd) {
    if (m_fd >= 0 || m_memory || m_open)
        return E_FAIL;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return E_FAIL;
    return Adopt(own);
}

HRESULT CWaveReader::Adopt(int fd) {
    struct stat info {};
    // A directory opens on Linux and then fails every read; a pipe cannot be read at offsets.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return E_FAIL;
    }
    m_fd = fd;
    m_sourceSizeBytes = static_cast<std::uint64_t>(info.st_size);
    m_buffer.reset(new (std::nothrow) std::uint8_t[kBufferBytes]);
    if (!m_buffer)
        return E_FAIL;
    return Parse();
}

HRESULT CWaveReader::OpenMemory(const void* bytes, std::size_t sizeBytes) {
    if (m_fd >= 0 || m_memory || m_open)
        return E_FAIL;
    // A non-null pointer marks the reader as used even for an empty image.
    static const std::uint8_t kEmpty = 0;
    m_memory = bytes ? static_cast<const std::uint8_t*>(bytes) : &kEmpty;
    m_sourceSizeBytes = bytes ? sizeBytes : 0;
    return Parse();
}

std::int64_t CWaveReader::ReadSource(std::uint64_t offset, void* out, std::size_t count) {
    if (m_memory) {
        if (offset >= m_sourceSizeBytes)
            return 0;
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(count, m_sourceSizeBytes - offset));
        std::memcpy(out, m_memory + offset, n);
        return static_cast<std::int64_t>(n);
    }
    if (m_fd < 0)
        return -1;
    auto* dest = static_cast<std::uint8_t*>(out);

    // Read straight from the file: used for large reads and to refill the buffer.
    auto readFile = [this](std::uint64_t at, std::uint8_t* to, std::size_t n) -> std::int64_t {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(m_fd, to + done, n - done, static_cast<off_t>(at + done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            if (got == 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return static_cast<std::int64_t>(done);
    };

    if (count >= kBufferBytes)
        return readFile(offset, dest, count);
    const bool inBuffer =
        offset >= m_bufferStartBytes && offset + count <= m_bufferStartBytes + m_bufferFilledBytes;
    if (!inBuffer) {
        m_bufferFilledBytes = 0;
        const std::int64_t got = readFile(offset, m_buffer.get(), kBufferBytes);
        if (got < 0)
            return -1;
        m_bufferStartBytes = offset;
        m_bufferFilledBytes = static_cast<std::size_t>(got);
    }
    const std::uint64_t skip = offset - m_bufferStartBytes;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(
        count, m_bufferFilledBytes > skip ? m_bufferFilledBytes - skip : 0));
    std::memcpy(dest, m_buffer.get() + skip, n);
    return static_cast<std::int64_t>(n);
}

bool CWaveReader::FindChunk(std::uint64_t begin, std::uint64_t end, std::uint32_t id,
                            Chunk* found) {
    std::uint64_t pos = begin;
    // Each step moves at least 8 bytes forward, so the walk always ends.
    while (pos + 8 <= end) {
        std::uint8_t header[8];
        if (ReadSource(pos, header, sizeof header) != 8)
            return false;
        const std::uint64_t size = GetU32(header + 4);
        if (GetU32(header) == id) {
            found->id = id;
            found->sizeBytes = size;
            found->dataOffsetBytes = pos + 8;
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

HRESULT CWaveReader::Parse() {
    // The "WAVE" form among the top-level chunks.
    std::uint64_t pos = 0;
    std::uint64_t formBegin = 0;
    std::uint64_t formEnd = 0;
    for (;;) {
        Chunk riff;
        if (!FindChunk(pos, m_sourceSizeBytes, kRiff, &riff))
            return E_FAIL;
        std::uint8_t formType[4];
        if (ReadSource(riff.dataOffsetBytes, formType, 4) != 4)
            return E_FAIL;
        if (riff.dataOffsetBytes == 8)
            m_startsWithWaveForm = GetU32(formType) == kWave;
        if (GetU32(formType) == kWave && riff.sizeBytes >= 4) {
            formBegin = riff.dataOffsetBytes + 4;
            // A size that claims more than the file holds ends the search at the file's end.
            formEnd = std::min(riff.dataOffsetBytes + riff.sizeBytes, m_sourceSizeBytes);
            break;
        }
        pos = riff.dataOffsetBytes + riff.sizeBytes + (riff.sizeBytes & 1);
    }

    Chunk fmt;
    if (!FindChunk(formBegin, formEnd, kFmt, &fmt))
        return E_FAIL;
    WAVEFORMATEXTENSIBLE format{};
    const std::size_t formatBytes =
        static_cast<std::size_t>(std::min<std::uint64_t>(fmt.sizeBytes, sizeof format));
    if (ReadSource(fmt.dataOffsetBytes, &format, formatBytes) !=
        static_cast<std::int64_t>(formatBytes)) {
        return E_FAIL;
    }
    m_format = format;
    m_is8Bit = format.Format.wBitsPerSample == 8;
    if (format.Format.nBlockAlign == 0)
        return E_FAIL;

    Chunk data;
    const std::uint64_t afterFmt = fmt.dataOffsetBytes + fmt.sizeBytes + (fmt.sizeBytes & 1);
    if (!FindChunk(afterFmt, formEnd, kData, &data))
        return E_FAIL;
    // ReadAt cannot address data that starts past the 32-bit range anyway.
    if (data.dataOffsetBytes > kLargestOffset)
        return E_FAIL;
    m_dataSizeBytes = data.sizeBytes;
    m_dataOffsetBytes = static_cast<std::uint32_t>(data.dataOffsetBytes);
    m_open = true;
    return S_OK;
}

HRESULT CWaveReader::GetFormat(WAVEFORMATEX* format, std::uint32_t* bitsPerSecond) {
    if (!m_open || !format)
        return E_FAIL;
    if (format->cbSize == kExtensibleExtraSize) {
        std::memcpy(format, &m_format, sizeof(WAVEFORMATEXTENSIBLE));
    } else {
        WAVEFORMATEX copy;
        std::memcpy(&copy, &m_format.Format, sizeof copy);
        copy.cbSize = 0;
        if (copy.wFormatTag == WAVE_FORMAT_EXTENSIBLE) {
            if (m_format.SubFormat == KSDATAFORMAT_SUBTYPE_PCM) {
                copy.wFormatTag = WAVE_FORMAT_PCM;
            } else if (m_format.SubFormat == KSDATAFORMAT_SUBTYPE_IEEE_FLOAT) {
                copy.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
            }
        }
        std::memcpy(format, &copy, sizeof copy);
    }
    if (bitsPerSecond)
        *bitsPerSecond = m_format.Format.nAvgBytesPerSec * 8u;
    return m_format.Format.nBlockAlign != 0 ? S_OK : E_FAIL;
}

HRESULT CWaveReader::ReadAt(void* buffer, std::int64_t positionBytes, std::int32_t countBytes) {
    if (!m_open || !buffer)
        return E_FAIL;
    std::int64_t lead = 0;
    std::int64_t pos = positionBytes;
    std::int64_t n = countBytes;
    if (pos < 0) {
        // Compared before negating: -INT64_MIN does not exist.
        if (pos < -static_cast<std::int64_t>(countBytes) || countBytes < 0)
            return E_FAIL;
        lead = -pos;
        pos = 0;
        n = countBytes - lead;
    }
    if (n < 0)
        return E_FAIL;

    const std::uint64_t fileOffset = m_dataOffsetBytes + static_cast<std::uint64_t>(pos);
    if (fileOffset > kLargestOffset)
        return E_FAIL;
    if (static_cast<std::uint64_t>(pos) + static_cast<std::uint64_t>(n) > kLargestOffset) {
        return E_FAIL;
    }
    bool shortRead = false;
    if (static_cast<std::uint64_t>(pos + n) > m_dataSizeBytes) {
        n = static_cast<std::int64_t>(m_dataSizeBytes) - pos;
        shortRead = true;
    }
    if (n < 0 || n > countBytes)
        return E_FAIL;

    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::uint8_t silence = m_is8Bit ? 0x80 : 0x00;
    if (shortRead || lead > 0)
        std::memset(out, silence, static_cast<std::size_t>(countBytes));
    const std::int64_t got = ReadSource(fileOffset, out + lead, static_cast<std::size_t>(n));
    if (got < 0)
        return E_FAIL;
    // A data chunk that claims more than the file holds: silence, not stale buffer contents.
    if (got < n)
        std::memset(out + lead + got, silence, static_cast<std::size_t>(n - got));
    return S_OK;
}

}  // namespace sondrel
