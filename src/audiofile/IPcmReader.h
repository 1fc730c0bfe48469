// The reader interface: opens a PCM audio file, reports its format and size, and reads byte
// ranges of its sample data padded with silence outside the data. Reference counted like every
// interface-style engine object; one thread at a time uses a reader.
#pragma once

#include <cstdint>
#include <filesystem>

#include "base/CUnknownStandAlone.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

// The slot order below is part of the interface; do not reorder.
struct IPcmReader : IUnknown {
    // Opens and parses the file; the second argument is not used. A reader opens once.
    virtual HRESULT Open(const std::filesystem::path& path, std::uint32_t reserved) = 0;
    // Copies the format. A record whose extra size is 22 receives all 40 bytes as stored;
    // any other receives 18 bytes with extra size 0 and an extensible PCM or float tag
    // replaced by 1 or 3. bitsPerSecond (may be null) receives average bytes per second x 8.
    // E_FAIL when not open or when block align is 0 (the copy is made in that case too).
    virtual HRESULT GetFormat(WAVEFORMATEX* format, std::uint32_t* bitsPerSecond) = 0;
    // S_OK when open, S_FALSE otherwise.
    virtual HRESULT IsOpen() = 0;
    virtual HRESULT GetDataSize(std::uint64_t* bytes) = 0;
    // Data size / block align, 0 when block align is 0.
    virtual HRESULT GetFrameCount(std::uint64_t* frames) = 0;
    // E_FAIL with an output of 1 when the stored rate is 0.
    virtual HRESULT GetSampleRate(std::uint32_t* framesPerSecond) = 0;
    // Fills countBytes bytes: silence for positions before the first data byte, then data,
    // then silence past the data end. positionBytes is relative to the first data byte.
    virtual HRESULT ReadAt(void* buffer, std::int64_t positionBytes, std::int32_t countBytes) = 0;
    // The number of audio streams in the file.
    virtual std::int32_t GetStreamCount() = 0;
    virtual HRESULT Reserved11(void* first, void* second) = 0;
    virtual HRESULT Reserved12() = 0;
    virtual HRESULT Reserved13(void* first, void* second) = 0;
    virtual ~IPcmReader() = default;
};

}  // namespace sondrel
