#include "platform/alsa/CAlsaAudioSystem.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/CaptureHolder.h"
#include "platform/DebugOutput.h"
#include "platform/alsa/CAlsaCaptureRing.h"
#include "platform/alsa/CAlsaOutputRing.h"

namespace sondrel {

namespace {

std::vector<AudioDeviceEntry> Entries(const std::vector<AlsaDeviceInfo>& devices) {
    std::vector<AudioDeviceEntry> entries;
    entries.reserve(devices.size());
    for (const AlsaDeviceInfo& device : devices)
        entries.push_back({device.description, device.id});
    return entries;
}

// The format of a capture stream that is running on a card device right now.
std::optional<std::uint16_t> RunningStreamChannels(const AlsaDeviceInfo& device) {
    if (device.cardId.empty())
        return std::nullopt;
    const int card = snd_card_get_index(device.cardId.c_str());
    if (card < 0)
        return std::nullopt;
    std::ifstream file("/proc/asound/card" + std::to_string(card) + "/pcm" +
                       std::to_string(device.deviceNumber) + "c/sub0/hw_params");
    if (!file)
        return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    return ParseProcHwParamsChannels(text);
}

}  // namespace

std::string CAlsaAudioSystem::CaptureDeviceHolder(const GUID& deviceId) {
    const std::vector<AlsaDeviceInfo> devices = CaptureDevices();
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const AlsaDeviceInfo& d) { return d.id == deviceId; });
    if (device == devices.end() || device->cardId.empty() || device->deviceNumber < 0)
        return {};
    const int card = snd_card_get_index(device->cardId.c_str());
    if (card < 0)
        return {};
    return FindCaptureHolder("/proc/asound", card, device->deviceNumber);
}

CAlsaAudioSystem::CAlsaAudioSystem(HintSource hints)
    : m_hints(hints ? std::move(hints) : HintSource(ReadAlsaPcmHints)),
      m_counters(std::make_shared<AlsaXrunCounters>()) {}

std::vector<AlsaDeviceInfo> CAlsaAudioSystem::CaptureDevices() const {
    return BuildAlsaDeviceList(m_hints(), AlsaDirection::Capture);
}

std::vector<AlsaDeviceInfo> CAlsaAudioSystem::OutputDevices() const {
    return BuildAlsaDeviceList(m_hints(), AlsaDirection::Output);
}

HRESULT CAlsaAudioSystem::EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) {
    devices = Entries(CaptureDevices());
    return S_OK;
}

HRESULT CAlsaAudioSystem::EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) {
    devices = Entries(OutputDevices());
    return S_OK;
}

HRESULT CAlsaAudioSystem::OpenRingPcm(const GUID& deviceId, AlsaDirection direction,
                                      const WAVEFORMATEX& format, std::uint32_t bufferBytes,
                                      AlsaPcmSetup& setup) {
    const bool capture = direction == AlsaDirection::Capture;
    const std::vector<AlsaDeviceInfo> devices = capture ? CaptureDevices() : OutputDevices();
    const auto device = std::find_if(devices.begin(), devices.end(),
                                     [&](const AlsaDeviceInfo& d) { return d.id == deviceId; });
    if (device == devices.end()) {
        m_lastError = std::string("No ALSA ") + (capture ? "capture" : "output") +
                      " device with id " + deviceId.ToString();
    } else {
        const HRESULT hr =
            OpenAlsaPcm(device->pcmName, direction, format, bufferBytes, setup, m_lastError);
        if (Succeeded(hr))
            return S_OK;
        OutputDebugText(m_lastError + "\n");
        return hr == E_DEVICE_BUSY ? hr : E_FAIL;
    }
    OutputDebugText(m_lastError + "\n");
    return E_FAIL;
}

HRESULT CAlsaAudioSystem::CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                            std::uint32_t bufferBytes,
                                            std::unique_ptr<ICaptureRing>& ring) {
    ring.reset();
    AlsaPcmSetup setup;
    const HRESULT hr = OpenRingPcm(deviceId, AlsaDirection::Capture, format, bufferBytes, setup);
    if (Failed(hr))
        return hr;
    ring = std::make_unique<CAlsaCaptureRing>(std::move(setup), bufferBytes, format.nBlockAlign,
                                              m_counters);
    return S_OK;
}

HRESULT CAlsaAudioSystem::CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                           std::uint32_t bufferBytes,
                                           std::unique_ptr<IOutputRing>& ring) {
    ring.reset();
    AlsaPcmSetup setup;
    if (Failed(OpenRingPcm(deviceId, AlsaDirection::Output, format, bufferBytes, setup)))
        return E_FAIL;
    ring = std::make_unique<CAlsaOutputRing>(std::move(setup), bufferBytes, format.nBlockAlign,
                                             format.nSamplesPerSec, m_counters);
    return S_OK;
}

std::uint16_t CAlsaAudioSystem::ProbeCaptureChannels(const AlsaDeviceInfo& device) {
    if (const std::optional<std::uint16_t> running = RunningStreamChannels(device))
        return *running;
    snd_pcm_t* raw = nullptr;
    if (snd_pcm_open(&raw, device.probeName.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK) <
        0) {
        return 0;
    }
    AlsaPcmPtr pcm(raw);
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    if (snd_pcm_hw_params_any(pcm.get(), hw) < 0)
        return 0;
    if (snd_pcm_hw_params_test_channels(pcm.get(), hw, 2) == 0)
        return 2;
    unsigned channels = 0;
    if (snd_pcm_hw_params_get_channels_min(hw, &channels) < 0 || channels > 0xFFFF)
        return 0;
    return static_cast<std::uint16_t>(channels);
}

HRESULT CAlsaAudioSystem::EnumerateActiveCaptureEndpoints(
    std::vector<CaptureEndpointInfo>& endpoints) {
    endpoints.clear();
    for (const AlsaDeviceInfo& device : CaptureDevices()) {
        if (device.id.IsNull())
            continue;
        endpoints.push_back({device.description, ProbeCaptureChannels(device)});
    }
    return S_OK;
}

}  // namespace sondrel
