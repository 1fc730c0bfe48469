// The audio system through the user's PipeWire server: capture devices are its source nodes,
// the USB device's node is known by its USB ids, recording is a stream linked to that node,
// and listening through is a stream to the default sink. No sound card is opened directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/ICaptureEndpoints.h"
#include "platform/pipewire/CPipeWireConnection.h"

namespace sondrel {

// Threading: as IAudioSystem and ICaptureEndpoints (main thread); the counters may be read
// from any thread.
class CPipeWireAudioSystem final : public IAudioSystem, public ICaptureEndpoints {
public:
    // The connection to the server that answered; procAsound is where the kernel tells who
    // holds a sound card (another root for tests).
    explicit CPipeWireAudioSystem(std::unique_ptr<CPipeWireConnection> connection,
                                  std::filesystem::path procAsound = "/proc/asound");
    ~CPipeWireAudioSystem() override;

    // Capture: every source node (monitors of sinks are no sources); output: only the default
    // entry, the sink the user chose in the desktop's settings.
    HRESULT EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) override;
    HRESULT EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) override;
    // E_DEVICE_BUSY when another program holds the node's card (the server cannot open it);
    // E_FAIL when the node is missing or the stream does not start (LastError says why).
    HRESULT CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                              std::uint32_t bufferBytes,
                              std::unique_ptr<ICaptureRing>& ring) override;
    HRESULT CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                             std::uint32_t bufferBytes,
                             std::unique_ptr<IOutputRing>& ring) override;
    std::optional<GUID> FindUsbCaptureDevice(std::uint32_t vendorId, std::uint32_t productId,
                                             std::span<const char* const> names) override;
    std::string CaptureLossReason() override;
    // The program that holds the card of the node deviceId names, as ALSA tells it.
    std::string CaptureDeviceHolder(const GUID& deviceId) override;
    // Each source node with the channel count the node says it records with.
    HRESULT EnumerateActiveCaptureEndpoints(std::vector<CaptureEndpointInfo>& endpoints) override;

    // (description, ALSA card number) of each source node that is a sound card's: where the
    // card's own mixer is.
    std::vector<std::pair<std::string, std::string>> CaptureCards();

    std::uint64_t OutputUnderruns() const { return m_underruns->load(); }
    const std::string& LastError() const { return m_lastError; }
    const std::string& ServerDescription() const { return m_connection->ServerDescription(); }

private:
    // The current capture nodes; false when the server does not answer.
    bool CaptureNodes(std::vector<PipeWireNodeInfo>& nodes,
                      std::vector<PipeWireDeviceInfo>* devices = nullptr);
    std::string CardHolder(const PipeWireNodeInfo& node) const;
    HRESULT Refuse(HRESULT hr, std::string error);

    std::unique_ptr<CPipeWireConnection> m_connection;
    std::filesystem::path m_procAsound;
    std::shared_ptr<std::atomic<int>> m_loss;
    std::shared_ptr<std::atomic<std::uint64_t>> m_underruns;
    std::string m_lostNode;  // the description of the node the last capture ring recorded
    std::string m_lastError;
};

}  // namespace sondrel
