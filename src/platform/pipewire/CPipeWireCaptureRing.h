// The capture ring on a PipeWire stream linked to one source node. The stream's process
// callback, on the server's real-time data thread, copies each block into the ring; the
// capture thread takes it from there. The two meet only in atomics: the callback never
// allocates, locks or overwrites what was not taken (it drops and counts instead). Blocks the
// graph skipped show as a jump in its clock and count as lost frames too.
#pragma once

#include <spa/utils/hook.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/IAudioSystem.h"
#include "platform/pipewire/CPipeWireConnection.h"
#include "platform/pipewire/PipeWireStream.h"

struct pw_stream;
struct spa_io_position;

namespace sondrel {

// Threading: as ICaptureRing; Process on the data thread, the other callbacks on the
// connection's thread.
class CPipeWireCaptureRing final : public ICaptureRing, private IPipeWireWatcher {
public:
    // loss receives why the device was lost, for the messages after the ring is gone.
    CPipeWireCaptureRing(CPipeWireConnection& connection, std::uint32_t bufferBytes,
                         const WAVEFORMATEX& format, std::shared_ptr<std::atomic<int>> loss);
    ~CPipeWireCaptureRing() override;

    // Links a stream to the node and waits until it streams: E_FAIL with the reason when it
    // does not within timeoutMs (the node failed, went away or was never linked).
    HRESULT Connect(const PipeWireNodeInfo& node, int timeoutMs, std::string& error);

    std::uint32_t SizeBytes() const override;
    HRESULT StartLooping() override;
    HRESULT Stop() override;
    HRESULT GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                               std::uint32_t& readOffsetBytes) override;
    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override;
    HRESULT Unlock(const RingRegions& regions) override;
    std::uint64_t TakeLostFrames() override;

private:
    friend struct PipeWireCaptureEvents;
    void Process();
    // Counts the frames of graph cycles that never reached the stream.
    void NoteClock(const spa_io_position* position);
    void Store(const std::uint8_t* data, std::uint32_t bytes);
    void OnStateChanged(int state, const char* error);
    void MarkLost(PipeWireLoss reason);
    void OnNodeRemoved(std::uint32_t id) override;
    void OnServerGone() override;

    CPipeWireConnection& m_connection;
    std::vector<std::uint8_t> m_buffer;
    WAVEFORMATEX m_format;
    std::uint32_t m_frameBytes;
    std::uint32_t m_framesPerSecond;
    std::shared_ptr<std::atomic<int>> m_loss;
    pw_stream* m_stream = nullptr;
    spa_hook m_listener{};
    bool m_watching = false;
    std::uint32_t m_nodeId = kNoPipeWireId;
    std::string m_streamError;  // on the connection's thread, read with its lock

    std::atomic<int> m_state{0};
    bool m_streamed = false;  // the connection thread's: the stream has been streaming
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_lost{false};
    std::atomic<const spa_io_position*> m_position{nullptr};
    std::atomic<std::uint64_t> m_producedBytes{0};
    std::atomic<std::uint64_t> m_consumedBytes{0};
    std::atomic<std::uint64_t> m_lostFrames{0};
    // The data thread's own: where the graph's clock is expected at the next block.
    bool m_clockKnown = false;
    std::uint64_t m_nextTick = 0;
};

}  // namespace sondrel
