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
    // Parses a file image held in memory; the bytes must outlive the reader.
    HRESULT OpenMemory(const void* bytes, std::size_t sizeBytes);

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

    std::unique_ptr<std::uint8_t[]> m_buffer;
    std::uint64_t m_bufferStartBytes = 0;
    std::size_t m_bufferFilledBytes = 0;
};

}  // namespace sondrel
