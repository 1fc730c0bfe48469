// The output ring on an ALSA playback PCM, played the way a looping hardware buffer plays:
// while it plays, every call tops ALSA's queue up to a short latency with the ring's bytes
// from the write cursor on, whether the writer has filled them or not. Bytes handed to ALSA
// are cleared in the ring, so a writer that falls behind leaves silence rather than a
// repeat of the audio from one ring ago. Underruns are recovered and counted.
#pragma once

#include <memory>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/alsa/AlsaPcmSetup.h"

namespace sondrel {

// Threading: as IOutputRing.
class CAlsaOutputRing final : public IOutputRing {
public:
    CAlsaOutputRing(AlsaPcmSetup setup, std::uint32_t bufferBytes, std::uint32_t frameBytes,
                    std::uint32_t framesPerSecond, std::shared_ptr<AlsaXrunCounters> counters);
    ~CAlsaOutputRing() override;

    std::uint32_t SizeBytes() const override;
    HRESULT GetCurrentPosition(std::uint32_t& playCursorBytes,
                               std::uint32_t& writeCursorBytes) override;
    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override;
    HRESULT Unlock(const RingRegions& regions) override;
    HRESULT PlayLooping() override;
    HRESULT Stop() override;

private:
    // Frames ALSA holds that have not been played yet (0 when it cannot tell).
    snd_pcm_uframes_t QueuedFrames();
    void Pump();

    AlsaPcmSetup m_setup;
    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_frameBytes;
    snd_pcm_uframes_t m_targetQueuedFrames;
    std::shared_ptr<AlsaXrunCounters> m_counters;
    bool m_playing = false;
    bool m_broken = false;
    std::uint64_t m_sentBytes = 0;
};

}  // namespace sondrel
