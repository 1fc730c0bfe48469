#include "platform/pipewire/CPipeWireOutputRing.h"

#include <pipewire/pipewire.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/RingRegions.h"

namespace sondrel {

struct PipeWireOutputEvents {
    static CPipeWireOutputRing& Ring(void* data) {
        return *static_cast<CPipeWireOutputRing*>(data);
    }
    static void Process(void* data) { Ring(data).Process(); }
    static void StateChanged(void* data, pw_stream_state, pw_stream_state state,
                             const char* error) {
        CPipeWireOutputRing& ring = Ring(data);
        ring.m_state.store(state);
        try {  // called from PipeWire's C code, which nothing may unwind through
            if (state == PW_STREAM_STATE_ERROR)
                ring.m_streamError = error != nullptr ? error : "";
        } catch (...) {
        }
        ring.m_connection.Signal();
    }
    static const pw_stream_events& Events() {
        static const pw_stream_events events = [] {
            pw_stream_events e{};
            e.version = PW_VERSION_STREAM_EVENTS;
            e.process = Process;
            e.state_changed = StateChanged;
            return e;
        }();
        return events;
    }
};

CPipeWireOutputRing::CPipeWireOutputRing(CPipeWireConnection& connection, std::uint32_t bufferBytes,
                                         const WAVEFORMATEX& format,
                                         std::shared_ptr<std::atomic<std::uint64_t>> underruns)
    : m_connection(connection),
      m_buffer(bufferBytes, 0),
      m_format(format),
      m_underruns(std::move(underruns)) {}

CPipeWireOutputRing::~CPipeWireOutputRing() {
    CPipeWireLock lock(m_connection);
    DestroyPipeWireStream(m_stream, m_listener);
}

HRESULT CPipeWireOutputRing::Connect(std::string& error) {
    CPipeWireLock lock(m_connection);
    if (m_connection.ServerGone()) {
        error = "the PipeWire server has stopped";
        return E_FAIL;
    }
    PipeWireStreamSetup setup;
    setup.capture = false;
    setup.nodeName = "sondrel-listen-through";
    setup.description = "Sondrel listen-through";
    m_stream = ConnectPipeWireStream(m_connection, setup, m_format, m_listener,
                                     PipeWireOutputEvents::Events(), this, error);
    if (m_stream == nullptr)
        return E_FAIL;
    // Linking takes a moment; a stream still on its way plays once it is there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (m_state.load() != PW_STREAM_STATE_STREAMING && m_state.load() != PW_STREAM_STATE_ERROR &&
           std::chrono::steady_clock::now() < deadline) {
        m_connection.Wait(100);
    }
    if (m_state.load() != PW_STREAM_STATE_ERROR)
        return S_OK;
    error = "PipeWire refused the listen-through stream: " + m_streamError;
    return E_FAIL;
}

std::uint32_t CPipeWireOutputRing::SizeBytes() const {
    return static_cast<std::uint32_t>(m_buffer.size());
}

HRESULT CPipeWireOutputRing::GetCurrentPosition(std::uint32_t& playCursorBytes,
                                                std::uint32_t& writeCursorBytes) {
    const std::uint64_t heard = m_heardBytes.load(std::memory_order_acquire);
    playCursorBytes = static_cast<std::uint32_t>(heard % m_buffer.size());
    writeCursorBytes = playCursorBytes;
    return m_state.load() == PW_STREAM_STATE_ERROR || m_connection.ServerGone() ? E_FAIL : S_OK;
}

HRESULT CPipeWireOutputRing::Lock(std::uint32_t offsetBytes, std::uint32_t bytes,
                                  RingRegions& regions) {
    return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
}

HRESULT CPipeWireOutputRing::Unlock(const RingRegions& regions) {
    if (!RingRegionsInside(m_buffer, regions) || regions.first == nullptr)
        return E_FAIL;
    const std::uint64_t size = m_buffer.size();
    const std::uint64_t committed = m_committedBytes.load(std::memory_order_relaxed);
    const auto offset = static_cast<std::uint64_t>(regions.first - m_buffer.data());
    // The writer works from the committed end on; a span further ahead leaves silence between.
    const std::uint64_t gap = (offset + size - committed % size) % size;
    if (gap < size / 2) {
        for (std::uint64_t i = 0; i < gap; ++i)
            m_buffer[(committed + i) % size] = 0;
    }
    m_committedBytes.store(committed + gap + regions.firstBytes + regions.secondBytes,
                           std::memory_order_release);
    return S_OK;
}

HRESULT CPipeWireOutputRing::PlayLooping() {
    m_playing.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CPipeWireOutputRing::Stop() {
    m_playing.store(false, std::memory_order_release);
    return S_OK;
}

void CPipeWireOutputRing::Process() {
    pw_buffer* buffer = pw_stream_dequeue_buffer(m_stream);
    if (buffer == nullptr)
        return;
    spa_data& data = buffer->buffer->datas[0];
    if (data.data == nullptr || data.chunk == nullptr) {
        pw_stream_queue_buffer(m_stream, buffer);
        return;
    }
    const std::uint32_t frameBytes = m_format.nBlockAlign;
    std::uint32_t frames = data.maxsize / frameBytes;
    if (buffer->requested > 0)
        frames = static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, buffer->requested));
    const std::uint32_t bytes = frames * frameBytes;
    auto* out = static_cast<std::uint8_t*>(data.data);
    std::uint64_t sent = m_sentBytes.load(std::memory_order_relaxed);
    const std::uint64_t committed = m_committedBytes.load(std::memory_order_acquire);
    // A writer far ahead (a server that stalled) is caught up with rather than heard late.
    const std::uint64_t most = m_buffer.size() / 4;
    if (committed - sent > most)
        sent = committed - most;
    const std::uint64_t heard = sent;
    // A short rest plays only once the writer has stopped adding to it: the end of what it
    // had to say.
    const bool rest = committed > sent && committed == m_lastCommitted;
    m_lastCommitted = committed;
    const std::uint64_t take = committed - sent >= bytes ? bytes : (rest ? committed - sent : 0);
    if (!m_playing.load(std::memory_order_acquire)) {
        std::memset(out, 0, bytes);
    } else {
        Take(out, sent, static_cast<std::uint32_t>(take));
        std::memset(out + take, 0, bytes - take);
        sent += take;
        if (take < bytes)
            m_underruns->fetch_add(1, std::memory_order_relaxed);
    }
    m_sentBytes.store(sent, std::memory_order_release);
    m_heardBytes.store(heard, std::memory_order_release);
    data.chunk->offset = 0;
    data.chunk->stride = static_cast<std::int32_t>(frameBytes);
    data.chunk->size = bytes;
    pw_stream_queue_buffer(m_stream, buffer);
}

void CPipeWireOutputRing::Take(std::uint8_t* out, std::uint64_t sent, std::uint32_t bytes) const {
    const std::uint64_t size = m_buffer.size();
    const std::uint64_t offset = sent % size;
    const std::uint64_t first = std::min<std::uint64_t>(bytes, size - offset);
    std::memcpy(out, m_buffer.data() + offset, first);
    std::memcpy(out + first, m_buffer.data(), bytes - first);
}

}  // namespace sondrel
