// The capture ring on an ALSA capture PCM. There is no thread of its own: every position
// query pulls whatever ALSA has captured into the ring (non-blocking, no allocation), never
// overwriting bytes the consumer has not unlocked yet. ALSA's own buffer, sized like the
// ring, holds the audio in between; if it overflows anyway the overrun is recovered, the
// frames it cost are estimated and capturing goes on.
#pragma once

#include <chrono>
#include <memory>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/alsa/AlsaPcmSetup.h"

namespace sondrel {

// Threading: as ICaptureRing.
class CAlsaCaptureRing final : public ICaptureRing {
public:
    CAlsaCaptureRing(AlsaPcmSetup setup, std::uint32_t bufferBytes, std::uint32_t frameBytes,
                     std::shared_ptr<AlsaXrunCounters> counters);
    ~CAlsaCaptureRing() override;

    std::uint32_t SizeBytes() const override;
    HRESULT StartLooping() override;
    HRESULT Stop() override;
    HRESULT GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                               std::uint32_t& readOffsetBytes) override;
    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override;
    HRESULT Unlock(const RingRegions& regions) override;
    std::uint64_t TakeLostFrames() override;

private:
    void Pump();
    // After a failed avail or read: false (and the device lost) when it cannot be mended.
    bool Recover(int error);

    AlsaPcmSetup m_setup;
    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_frameBytes;
    std::shared_ptr<AlsaXrunCounters> m_counters;
    bool m_running = false;
    bool m_broken = false;
    std::uint64_t m_producedBytes = 0;
    std::uint64_t m_consumedBytes = 0;
    // When ALSA last told how much it held, and how much of that is still unread: an
    // overrun loses those frames and everything captured after them until the restart.
    std::chrono::steady_clock::time_point m_availTime;
    std::uint64_t m_unreadFrames = 0;
    std::uint64_t m_lostFrames = 0;
};

}  // namespace sondrel
