// The format-independent half of a PCM reader: the reference count, the open flag, the data
// size and the stored format record, and the queries that need nothing more.
#pragma once

#include <atomic>
#include <cstdint>

#include "audiofile/IPcmReader.h"

namespace sondrel {

class CPcmReader : public IPcmReader {
public:
    CPcmReader() = default;
    CPcmReader(const CPcmReader&) = delete;
    CPcmReader& operator=(const CPcmReader&) = delete;

    HRESULT IsOpen() override;
    HRESULT GetDataSize(std::uint64_t* bytes) override;
    HRESULT GetFrameCount(std::uint64_t* frames) override;
    HRESULT GetSampleRate(std::uint32_t* framesPerSecond) override;
    HRESULT Reserved11(void* first, void* second) override;
    HRESULT Reserved12() override;
    HRESULT Reserved13(void* first, void* second) override;

protected:
    // Starts at 0; the concrete reader's constructor takes the creator's reference.
    std::atomic<std::int32_t> m_refCount{0};
    bool m_open = false;
    std::uint64_t m_dataSizeBytes = 0;
    WAVEFORMATEXTENSIBLE m_format{};
};

}  // namespace sondrel
