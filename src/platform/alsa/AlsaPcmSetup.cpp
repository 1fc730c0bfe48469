#include "platform/alsa/AlsaPcmSetup.h"

#include <algorithm>
#include <cerrno>

#include "platform/IAudioSystem.h"

namespace sondrel {

namespace {

// Near a capture thread's 10 ms poll interval without asking hardware for tiny periods.
constexpr unsigned kPeriodMicroseconds = 20000;

std::string Describe(const std::string& pcmName, const char* step, int error) {
    return "ALSA device \"" + pcmName + "\": " + step + ": " + snd_strerror(error);
}

// 16-bit PCM, with a ring of at least two whole frames.
bool IsSupported(const WAVEFORMATEX& format, std::uint32_t bufferBytes) {
    return format.wFormatTag == WAVE_FORMAT_PCM && format.wBitsPerSample == 16 &&
           format.nChannels != 0 && format.nSamplesPerSec != 0 &&
           format.nBlockAlign == format.nChannels * 2 && bufferBytes >= 2u * format.nBlockAlign &&
           bufferBytes % format.nBlockAlign == 0;
}

// Wakes the caller once a period is ready; returns ALSA's error, or 0.
int SetSoftwareParams(snd_pcm_t* pcm, snd_pcm_uframes_t periodFrames) {
    snd_pcm_sw_params_t* sw = nullptr;
    snd_pcm_sw_params_alloca(&sw);
    snd_pcm_uframes_t boundary = 0;
    int rc = 0;
    if ((rc = snd_pcm_sw_params_current(pcm, sw)) < 0 ||
        (rc = snd_pcm_sw_params_get_boundary(sw, &boundary)) < 0 ||
        (rc = snd_pcm_sw_params_set_avail_min(pcm, sw,
                                              std::max<snd_pcm_uframes_t>(periodFrames, 1))) < 0 ||
        // The rings start their streams themselves, after the first pump.
        (rc = snd_pcm_sw_params_set_start_threshold(pcm, sw, boundary)) < 0 ||
        (rc = snd_pcm_sw_params(pcm, sw)) < 0) {
        return rc;
    }
    return 0;
}

}  // namespace

HRESULT OpenAlsaPcm(const std::string& pcmName, AlsaDirection direction, const WAVEFORMATEX& format,
                    std::uint32_t bufferBytes, AlsaPcmSetup& setup, std::string& error) {
    setup = AlsaPcmSetup{};
    if (!IsSupported(format, bufferBytes)) {
        error = "ALSA device \"" + pcmName + "\": unsupported format or ring size";
        return E_FAIL;
    }
    const snd_pcm_stream_t stream =
        direction == AlsaDirection::Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
    snd_pcm_t* raw = nullptr;
    int rc = snd_pcm_open(&raw, pcmName.c_str(), stream, SND_PCM_NONBLOCK);
    if (rc < 0) {
        error = Describe(pcmName, "cannot open", rc);
        return rc == -EBUSY ? E_DEVICE_BUSY : E_FAIL;
    }
    AlsaPcmPtr pcm(raw);

    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned rate = format.nSamplesPerSec;
    const snd_pcm_uframes_t ringFrames = bufferBytes / format.nBlockAlign;
    snd_pcm_uframes_t bufferFrames = ringFrames;
    unsigned periodMicroseconds = kPeriodMicroseconds;
    const char* step = "hardware parameters";
    if ((rc = snd_pcm_hw_params_any(pcm.get(), hw)) < 0 ||
        (rc = snd_pcm_hw_params_set_access(pcm.get(), hw, SND_PCM_ACCESS_RW_INTERLEAVED)) < 0 ||
        (step = "16-bit samples",
         (rc = snd_pcm_hw_params_set_format(pcm.get(), hw, SND_PCM_FORMAT_S16_LE)) < 0) ||
        (step = "channel count",
         (rc = snd_pcm_hw_params_set_channels(pcm.get(), hw, format.nChannels)) < 0) ||
        (step = "sample rate",
         (rc = snd_pcm_hw_params_set_rate_near(pcm.get(), hw, &rate, nullptr)) < 0)) {
        error = Describe(pcmName, step, rc);
        return E_FAIL;
    }
    if (rate != format.nSamplesPerSec) {
        error = "ALSA device \"" + pcmName + "\": offers " + std::to_string(rate) +
                " Hz instead of " + std::to_string(format.nSamplesPerSec) + " Hz";
        return E_FAIL;
    }
    // Sizes are wishes: hardware rounds them, and whatever it grants works.
    snd_pcm_hw_params_set_period_time_near(pcm.get(), hw, &periodMicroseconds, nullptr);
    snd_pcm_hw_params_set_buffer_size_near(pcm.get(), hw, &bufferFrames);
    if ((rc = snd_pcm_hw_params(pcm.get(), hw)) < 0) {
        error = Describe(pcmName, "cannot apply hardware parameters", rc);
        return E_FAIL;
    }
    snd_pcm_hw_params_get_buffer_size(hw, &setup.bufferFrames);
    snd_pcm_hw_params_get_period_size(hw, &setup.periodFrames, nullptr);

    if ((rc = SetSoftwareParams(pcm.get(), setup.periodFrames)) < 0) {
        error = Describe(pcmName, "software parameters", rc);
        return E_FAIL;
    }
    setup.rate = rate;
    setup.pcm = std::move(pcm);
    return S_OK;
}

bool RecoverAlsaPcm(snd_pcm_t* pcm, int error, bool start) {
    if (snd_pcm_recover(pcm, error, 1) < 0)
        return false;
    const snd_pcm_state_t state = snd_pcm_state(pcm);
    if (!start)
        return state == SND_PCM_STATE_PREPARED || state == SND_PCM_STATE_RUNNING;
    if (state == SND_PCM_STATE_PREPARED)
        return snd_pcm_start(pcm) >= 0;
    return state == SND_PCM_STATE_RUNNING;
}

}  // namespace sondrel
