// The audio system on ALSA: capture and output device lists from the PCM name hints, the
// capture and output rings on ALSA PCMs, and the capture endpoints with the channel count
// each device records with (for the stereo check).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/ICaptureEndpoints.h"
#include "platform/alsa/AlsaDeviceNames.h"
#include "platform/alsa/AlsaPcmSetup.h"

namespace sondrel {

// Threading: as IAudioSystem and ICaptureEndpoints (main thread); the counters may be read
// from any thread.
class CAlsaAudioSystem final : public IAudioSystem, public ICaptureEndpoints {
public:
    using HintSource = std::function<std::vector<AlsaHint>()>;

    // The hint source defaults to the system's (ReadAlsaPcmHints).
    explicit CAlsaAudioSystem(HintSource hints = {});

    HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) override;
    HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) override;
    HRESULT CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                              std::uint32_t bufferBytes,
                              std::unique_ptr<ICaptureRing>& ring) override;
    HRESULT CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                             std::uint32_t bufferBytes,
                             std::unique_ptr<IOutputRing>& ring) override;

    // From the owner_pid of the device's substreams in /proc/asound and the owner's name.
    std::string CaptureDeviceHolder(const GUID& deviceId) override;

    // Each capture device (default entry left out) with the channels it records with: the
    // channels of the stream running on it when another program (or this one) has it open,
    // otherwise 2 when the device offers stereo capture and else the fewest it offers; 0 when
    // it cannot be asked. A mono-only device thus reads 1, as a mono endpoint would.
    HRESULT EnumerateActiveCaptureEndpoints(std::vector<CaptureEndpointInfo>& endpoints) override;

    // Capture devices by the hints as they are now, default entry first.
    std::vector<AlsaDeviceInfo> CaptureDevices() const;
    std::vector<AlsaDeviceInfo> OutputDevices() const;

    // Recovered capture overruns and output underruns since start-up: audio the user lost.
    std::uint64_t CaptureOverruns() const { return m_counters->captureOverruns.load(); }
    std::uint64_t OutputUnderruns() const { return m_counters->outputUnderruns.load(); }

    // The reason the last ring could not be created (ALSA's words), for diagnostics.
    const std::string& LastError() const { return m_lastError; }

    // The channel count a capture device records with, as described above.
    static std::uint16_t ProbeCaptureChannels(const AlsaDeviceInfo& device);

private:
    // Opens the PCM that an id stands for in the current device list. E_FAIL when the device is
    // absent or refuses the ring; the reason is then in LastError and on the debug output.
    HRESULT OpenRingPcm(const GUID& deviceId, AlsaDirection direction, const WAVEFORMATEX& format,
                        std::uint32_t bufferBytes, AlsaPcmSetup& setup);

    HintSource m_hints;
    std::shared_ptr<AlsaXrunCounters> m_counters;
    std::string m_lastError;
};

}  // namespace sondrel
