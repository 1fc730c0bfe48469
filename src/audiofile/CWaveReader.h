// Reads RIFF/WAVE files: finds the "WAVE" form, its "fmt " and "data" chunks (skipping any
// others, sizes padded to even), and serves byte ranges of the data through a 128 KiB buffer.
// Hostile files end in E_FAIL or silence, never in a read outside the file or the buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "audiofile/CPcmReader.h"

namespace sondrel {

class CWaveReader : public CPcmReader {
public:
    static constexpr std::size_t kBufferBytes = 0x20000;

    // Holds the creator's reference.
    CWaveReader();

    HRESULT QueryInterface(const GUID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // A path whose last part is a symbolic link is refused, as CFile does; resolve a link the
    // user gave on purpose first.
    HRESULT Open(const std::filesystem::path& path, std::uint32_t reserved) override;
    // Parses the regular file open on fd, through a duplicate: the caller keeps fd (and may
    // write through it) after the reader is gone.
    HRESULT OpenDescriptor(int fd);
    // Parses a file image held in memory; the bytes must outlive the reader.
    HRESULT OpenMemory(const void* bytes, std::size_t sizeBytes);

    // Whether the source begins with a RIFF chunk of the WAVE form; known even when Open
    // failed further on, so that a caller can tell a file that is not WAV from a broken one.
    bool StartsWithWaveForm() const { return m_startsWithWaveForm; }
    // Where the data chunk's bytes begin in the source; 0 until Open succeeded. The data size
    // the header claims may lag what the file holds (a writer that was killed): a caller that
    // trusts the file's length reads from here to its end.
    std::uint64_t DataOffsetBytes() const { return m_dataOffsetBytes; }
    // The bytes of sample data the file holds (after Open).
    std::uint64_t DataSizeBytes() const { return m_dataSizeBytes; }

    HRESULT GetFormat(WAVEFORMATEX* format, std::uint32_t* bitsPerSecond) override;
    HRESULT ReadAt(void* buffer, std::int64_t positionBytes, std::int32_t countBytes) override;
    std::int32_t GetStreamCount() override { return 1; }

    ~CWaveReader() override;

private:
    struct Chunk {
        std::uint32_t id = 0;
        std::uint64_t sizeBytes = 0;
        std::uint64_t dataOffsetBytes = 0;  // first byte after the 8-byte chunk header
    };

    // Takes ownership of fd, which must be a regular file, and parses it.
    HRESULT Adopt(int fd);
    HRESULT Parse();
    // Looks for chunk id among the chunks from begin up to end; returns false if none.
    bool FindChunk(std::uint64_t begin, std::uint64_t end, std::uint32_t id, Chunk* found);
    // Reads up to count bytes at offset; fewer at the end of the source, -1 on an I/O error.
    std::int64_t ReadSource(std::uint64_t offset, void* out, std::size_t count);

    int m_fd = -1;
    const std::uint8_t* m_memory = nullptr;
    std::uint64_t m_sourceSizeBytes = 0;
    std::uint32_t m_dataOffsetBytes = 0;
    bool m_is8Bit = false;
    bool m_startsWithWaveForm = false;

    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint64_t m_bufferStartBytes = 0;
    std::size_t m_bufferFilledBytes = 0;
};

}  // namespace sondrel
