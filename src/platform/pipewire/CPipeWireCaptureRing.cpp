#include "platform/pipewire/CPipeWireCaptureRing.h"

#include <pipewire/pipewire.h>
#include <spa/node/io.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/DebugOutput.h"
#include "platform/RingRegions.h"

namespace sondrel {

struct PipeWireCaptureEvents {
    static CPipeWireCaptureRing& Ring(void* data) {
        return *static_cast<CPipeWireCaptureRing*>(data);
    }
    static void Process(void* data) { Ring(data).Process(); }
    static void StateChanged(void* data, pw_stream_state, pw_stream_state state,
                             const char* error) {
        Ring(data).OnStateChanged(state, error);
    }
    static void IoChanged(void* data, std::uint32_t id, void* area, std::uint32_t) {
        if (id == SPA_IO_Position)
            Ring(data).m_position.store(static_cast<const spa_io_position*>(area));
    }
    static const pw_stream_events& Events() {
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.process = Process;
            e.state_changed = StateChanged;
            e.io_changed = IoChanged;
            return e;
        }();
        return events;
    }
};

CPipeWireCaptureRing::CPipeWireCaptureRing(CPipeWireConnection& connection,
                                           std::uint32_t bufferBytes, const WAVEFORMATEX& format,
                                           std::shared_ptr<std::atomic<int>> loss)
    : m_connection(connection),
      m_buffer(bufferBytes),
      m_format(format),
      m_frameBytes(format.nBlockAlign),
      m_framesPerSecond(format.nSamplesPerSec),
      m_loss(std::move(loss)) {}

CPipeWireCaptureRing::~CPipeWireCaptureRing() {
    CPipeWireLock lock(m_connection);
    if (m_watching)
        m_connection.RemoveWatcher(this);
    DestroyPipeWireStream(m_stream, m_listener);
}

HRESULT CPipeWireCaptureRing::Connect(const PipeWireNodeInfo& node, int timeoutMs,
                                      std::string& error) {
    CPipeWireLock lock(m_connection);
    if (m_connection.ServerGone()) {
        error = "the PipeWire server has stopped";
        return E_FAIL;
    }
    m_nodeId = node.id;
    PipeWireStreamSetup setup;
    setup.capture = true;
    setup.target = node.serial.empty() ? node.name : node.serial;
    setup.nodeName = "sondrel-capture";
    setup.description = "Sondrel recording";
    m_stream = ConnectPipeWireStream(m_connection, setup, m_format, m_listener,
                                     PipeWireCaptureEvents::Events(), this, error);
    if (m_stream == nullptr)
        return E_FAIL;
    m_connection.AddWatcher(this);
    m_watching = true;
    std::string nodeError;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (m_state.load() != PW_STREAM_STATE_STREAMING && m_state.load() != PW_STREAM_STATE_ERROR &&
           !m_lost.load() && !m_connection.NodeFailed(node.id, nodeError)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        m_connection.Wait(static_cast<int>(left.count()));
    }
    if (m_state.load() == PW_STREAM_STATE_STREAMING && !m_lost.load() && nodeError.empty())
        return S_OK;
    if (!nodeError.empty())
        error = "the node \"" + node.description + "\" failed: " + nodeError;
    else if (m_lost.load())
        error = "the node \"" + node.description + "\" went away";
    else if (!m_streamError.empty())
        error = "PipeWire refused the stream: " + m_streamError;
    else
        error = "the node \"" + node.description + "\" did not start within " +
                std::to_string(timeoutMs) +
                " ms: another program may hold its device, or no session manager (such as "
                "WirePlumber) links streams";
    return E_FAIL;
}

std::uint32_t CPipeWireCaptureRing::SizeBytes() const {
    return static_cast<std::uint32_t>(m_buffer.size());
}

HRESULT CPipeWireCaptureRing::StartLooping() {
    m_running.store(true, std::memory_order_release);
    return m_lost.load(std::memory_order_acquire) ? E_FAIL : S_OK;
}

HRESULT CPipeWireCaptureRing::Stop() {
    m_running.store(false, std::memory_order_release);
    return S_OK;
}

HRESULT CPipeWireCaptureRing::GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                                                 std::uint32_t& readOffsetBytes) {
    // The loss is read first: everything produced before it was noticed is handed out.
    const bool lost = m_lost.load(std::memory_order_acquire);
    const std::uint64_t produced = m_producedBytes.load(std::memory_order_acquire);
    captureOffsetBytes = static_cast<std::uint32_t>(produced % m_buffer.size());
    readOffsetBytes = captureOffsetBytes;
    return lost && m_consumedBytes.load(std::memory_order_relaxed) >= produced ? E_DEVICE_LOST
                                                                               : S_OK;
}

HRESULT CPipeWireCaptureRing::Lock(std::uint32_t offsetBytes, std::uint32_t bytes,
                                   RingRegions& regions) {
    return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
}

HRESULT CPipeWireCaptureRing::Unlock(const RingRegions& regions) {
    if (!RingRegionsInside(m_buffer, regions))
        return E_FAIL;
    const std::uint64_t produced = m_producedBytes.load(std::memory_order_acquire);
    const std::uint64_t consumed = m_consumedBytes.load(std::memory_order_relaxed);
    m_consumedBytes.store(std::min(consumed + regions.firstBytes + regions.secondBytes, produced),
                          std::memory_order_release);
    return S_OK;
}

std::uint64_t CPipeWireCaptureRing::TakeLostFrames() {
    return m_lostFrames.exchange(0, std::memory_order_acq_rel);
}

void CPipeWireCaptureRing::Process() {
    pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream);
    if (buffer == nullptr)
        return;
    const spa_data& data = buffer->buffer->datas[0];
    if (!m_running.load(std::memory_order_acquire)) {
        m_clockKnown = false;
    } else if (data.data != nullptr && data.chunk != nullptr) {
        const std::uint32_t offset = std::min(data.chunk->offset, data.maxsize);
        const std::uint32_t size = std::min(data.chunk->size, data.maxsize - offset);
        NoteClock(m_position.load(std::memory_order_acquire));
        Store(static_cast<const std::uint8_t*>(data.data) + offset,
              size / m_frameBytes * m_frameBytes);
    }
    pw_stream_queue_buffer(m_stream, buffer);
}

void CPipeWireCaptureRing::NoteClock(const spa_io_position* position) {
    if (position == nullptr || position->clock.rate.denom == 0)
        return;
    const std::uint64_t tick = position->clock.position;
    if (m_clockKnown && tick > m_nextTick) {
        // Ticks run at the graph's rate; the lost frames are counted at the ring's.
        const spa_fraction rate = position->clock.rate;
        const std::uint64_t frames =
            (tick - m_nextTick) * rate.num * m_framesPerSecond / rate.denom;
        m_lostFrames.fetch_add(frames, std::memory_order_relaxed);
    }
    m_nextTick = tick + position->clock.duration;
    m_clockKnown = true;
}

void CPipeWireCaptureRing::Store(const std::uint8_t* data, std::uint32_t bytes) {
    const std::uint64_t size = m_buffer.size();
    const std::uint64_t produced = m_producedBytes.load(std::memory_order_relaxed);
    const std::uint64_t unconsumed = produced - m_consumedBytes.load(std::memory_order_acquire);
    // One frame stays free: a completely full ring would look empty to the consumer.
    const std::uint64_t room = size - m_frameBytes - std::min(unconsumed, size - m_frameBytes);
    const std::uint64_t taken = std::min<std::uint64_t>(bytes, room / m_frameBytes * m_frameBytes);
    if (taken < bytes)
        m_lostFrames.fetch_add((bytes - taken) / m_frameBytes, std::memory_order_relaxed);
    const std::uint64_t offset = produced % size;
    const std::uint64_t first = std::min(taken, size - offset);
    std::memcpy(m_buffer.data() + offset, data, first);
    std::memcpy(m_buffer.data(), data + first, taken - first);
    m_producedBytes.store(produced + taken, std::memory_order_release);
}

void CPipeWireCaptureRing::OnStateChanged(int state, const char* error) {
    m_state.store(state);
    // The server pauses a stream (on a suspend, an unlink) before it ends it.
    m_streamed = m_streamed || state == PW_STREAM_STATE_STREAMING;
    if (state == PW_STREAM_STATE_ERROR) {
        try {  // called from PipeWire's C code, which nothing may unwind through
            m_streamError = error != nullptr ? error : "";
            OutputDebugText("PipeWire capture stream failed: " + m_streamError + "\n");
        } catch (...) {
        }
    }
    // Once streaming, a stream that errs or is unlinked (its node gone: it is not moved
    // elsewhere) has lost its device.
    if (m_streamed && (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)) {
        MarkLost(PipeWireLoss::StreamEnded);
    }
    m_connection.Signal();
}

void CPipeWireCaptureRing::MarkLost(PipeWireLoss reason) {
    int none = static_cast<int>(PipeWireLoss::None);
    m_loss->compare_exchange_strong(none, static_cast<int>(reason));
    m_lost.store(true, std::memory_order_release);
}

void CPipeWireCaptureRing::OnNodeRemoved(std::uint32_t id) {
    if (id == m_nodeId)
        MarkLost(PipeWireLoss::NodeGone);
}

void CPipeWireCaptureRing::OnServerGone() {
    MarkLost(PipeWireLoss::ServerGone);
}

}  // namespace sondrel
