// Opening an ALSA PCM for one of the rings: non-blocking, interleaved, the ring's sample
// format, rate and channels, with ALSA's own buffer sized like the ring so that a late
// capture thread loses nothing ALSA could have held.
#pragma once

#include <alsa/asoundlib.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "base/Result.h"
#include "base/WaveFormat.h"
#include "platform/alsa/AlsaDeviceNames.h"

namespace sondrel {

struct AlsaPcmCloser {
    void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using AlsaPcmPtr = std::unique_ptr<snd_pcm_t, AlsaPcmCloser>;

// Overruns (capture) and underruns (output) that were recovered, for telling the user that
// audio was lost. Shared by the audio system and its rings; any thread may read.
struct AlsaXrunCounters {
    std::atomic<std::uint64_t> captureOverruns{0};
    std::atomic<std::uint64_t> outputUnderruns{0};
};

struct AlsaPcmSetup {
    AlsaPcmPtr pcm;
    snd_pcm_uframes_t bufferFrames = 0;
    snd_pcm_uframes_t periodFrames = 0;
    unsigned rate = 0;
};

// Only 16-bit PCM formats are taken (the capture format and its relatives). On failure the
// error text names the PCM and ALSA's reason.
HRESULT OpenAlsaPcm(const std::string& pcmName, AlsaDirection direction, const WAVEFORMATEX& format,
                    std::uint32_t bufferBytes, AlsaPcmSetup& setup, std::string& error);

// Brings a stream back after an overrun, underrun or suspend (-EPIPE, -ESTRPIPE); with start
// it is also started again (an output stream waits until it has been refilled). False when it
// cannot be recovered.
bool RecoverAlsaPcm(snd_pcm_t* pcm, int error, bool start);

}  // namespace sondrel
