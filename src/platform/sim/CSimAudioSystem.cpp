#include "platform/sim/CSimAudioSystem.h"

#include "platform/RingRegions.h"

#include <algorithm>
#include <cstring>

namespace sondrel {

namespace {

constexpr std::uint32_t kFrameBytes = 4;
// How far the simulated output's write cursor runs ahead of its play cursor (about 15 ms).
constexpr std::uint32_t kWriteLeadBytes = 2640;

// Capture ring fed by the deck (or silence for other devices). It produces audio whenever
// its position is asked for: in lossless mode up to what the consumer has room for, in
// paced mode what the wall clock says has been recorded since the start. A lossless ring
// stops at the end of the deck's side until the consumer has taken all of it; from then on
// the side has ended and the silence after it comes at the pace of the clock, as it would
// from a deck, instead of as fast as the consumer takes it.
class CSimCaptureRing final : public ICaptureRing {
public:
    CSimCaptureRing(std::uint32_t bufferBytes, CSimDeck* deck, IThreadServices& threads,
                    SimCaptureMode mode)
        : m_buffer(bufferBytes), m_deck(deck), m_threads(threads), m_mode(mode) {}

    std::uint32_t SizeBytes() const override { return static_cast<std::uint32_t>(m_buffer.size()); }

    HRESULT StartLooping() override {
        if (!m_running) {
            m_running = true;
            m_startMs = m_threads.MonotonicMs();
            m_producedAtStartBytes = m_producedBytes;
        }
        return S_OK;
    }

    HRESULT Stop() override {
        Produce();
        m_running = false;
        return S_OK;
    }

    HRESULT GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                               std::uint32_t& readOffsetBytes) override {
        // The deck is gone once everything it played before vanishing was handed over: a
        // consumer that took only part of it at the last poll (its queue was full) still gets
        // the rest, as from a real device's buffer.
        const bool vanished = m_deck != nullptr && m_deck->HasVanished();
        if (vanished && m_consumedBytes >= m_producedBytes)
            return E_DEVICE_LOST;
        if (!vanished)
            Produce();
        captureOffsetBytes = static_cast<std::uint32_t>(m_producedBytes % m_buffer.size());
        readOffsetBytes = captureOffsetBytes;
        return S_OK;
    }

    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override {
        return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
    }

    bool WaitsForConsumer() const override { return m_mode == SimCaptureMode::Lossless; }

    bool SourceEnded() const override { return m_sideEnded && m_carriedSide; }

    HRESULT Unlock(const RingRegions& regions) override {
        if (!RingRegionsInside(m_buffer, regions))
            return E_FAIL;
        m_consumedBytes += regions.firstBytes + regions.secondBytes;
        if (m_deck != nullptr)
            m_deck->NoteRingDrained(m_consumedBytes >= m_producedBytes);
        return S_OK;
    }

private:
    void Produce() {
        if (!m_running)
            return;
        if (m_mode == SimCaptureMode::Lossless && m_deck != nullptr) {
            // Over while the deck stands at the side's end; starting the deck again lifts it.
            const bool over = m_deck->IsSideOver();
            if (!over) {
                m_sideEnded = false;
            } else if (!m_sideEnded && m_consumedBytes >= m_producedBytes) {
                m_sideEnded = true;
                m_startMs = m_threads.MonotonicMs();
                m_producedAtStartBytes = m_producedBytes;
            }
            if (over && !m_sideEnded)
                return;  // the side's last frames wait for the consumer, followed by nothing
        }
        const std::uint64_t size = m_buffer.size();
        std::uint64_t target;
        if (m_mode == SimCaptureMode::Lossless && !m_sideEnded) {
            // One frame stays free: a completely full ring would look empty to the consumer.
            const std::uint64_t consumed = std::min(m_consumedBytes, m_producedBytes);
            target = consumed + size - kFrameBytes;
            // A held deck has nothing more to give; the ring waits for it.
            if (m_deck != nullptr && target > m_producedBytes) {
                const std::uint64_t renderable = m_deck->RenderableFrames();
                if (renderable < (target - m_producedBytes) / kFrameBytes) {
                    target = m_producedBytes + renderable * kFrameBytes;
                }
            }
        } else {
            const std::uint64_t elapsedMs = m_threads.MonotonicMs() - m_startMs;
            target =
                m_producedAtStartBytes + elapsedMs * kCaptureFramesPerSecond / 1000 * kFrameBytes;
            // Lossless still: what the consumer has not taken is never overwritten.
            if (m_mode == SimCaptureMode::Lossless) {
                target = std::min(target,
                                  std::min(m_consumedBytes, m_producedBytes) + size - kFrameBytes);
            }
        }
        target -= target % kFrameBytes;
        while (m_producedBytes < target) {
            // Whatever the consumer left behind more than a ring ago is overwritten, as on
            // real hardware.
            const std::uint64_t offset = m_producedBytes % size;
            const std::uint64_t bytes = std::min(target - m_producedBytes, size - offset);
            auto* out = reinterpret_cast<std::int16_t*>(m_buffer.data() + offset);
            const auto frames = static_cast<std::uint32_t>(bytes / kFrameBytes);
            if (m_deck != nullptr) {
                if (m_deck->Render(out, frames) > 0)
                    m_carriedSide = true;
            } else {
                std::memset(out, 0, bytes);
            }
            m_producedBytes += bytes;
            if (m_deck != nullptr)
                m_deck->NoteRingDrained(false);
        }
    }

    // 4-byte frames of native 16-bit samples; the vector's storage is suitably aligned.
    std::vector<std::uint8_t> m_buffer;
    CSimDeck* m_deck;
    IThreadServices& m_threads;
    SimCaptureMode m_mode;
    bool m_running = false;
    std::uint64_t m_startMs = 0;
    std::uint64_t m_producedAtStartBytes = 0;
    std::uint64_t m_producedBytes = 0;
    std::uint64_t m_consumedBytes = 0;
    // Lossless: this ring handed on frames of the side, and the side has ended since.
    bool m_carriedSide = false;
    bool m_sideEnded = false;
};

class CSimOutputRing final : public IOutputRing {
public:
    CSimOutputRing(std::uint32_t bufferBytes, std::uint32_t bytesPerSecond,
                   std::uint32_t blockAlign, IThreadServices& threads, SimOutputRecord& record)
        : m_buffer(bufferBytes),
          m_bytesPerSecond(bytesPerSecond),
          m_blockAlign(blockAlign),
          m_threads(threads),
          m_record(record) {}

    std::uint32_t SizeBytes() const override { return static_cast<std::uint32_t>(m_buffer.size()); }

    HRESULT GetCurrentPosition(std::uint32_t& playCursorBytes,
                               std::uint32_t& writeCursorBytes) override {
        const std::uint64_t size = m_buffer.size();
        const std::uint64_t play = PlayedBytes() % size;
        playCursorBytes = static_cast<std::uint32_t>(play);
        writeCursorBytes = m_playing ? static_cast<std::uint32_t>((play + kWriteLeadBytes) % size)
                                     : playCursorBytes;
        return S_OK;
    }

    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override {
        return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
    }

    HRESULT Unlock(const RingRegions& regions) override {
        if (!RingRegionsInside(m_buffer, regions))
            return E_FAIL;
        Keep(regions.first, regions.firstBytes);
        Keep(regions.second, regions.secondBytes);
        return S_OK;
    }

    HRESULT PlayLooping() override {
        if (!m_playing) {
            m_playing = true;
            m_playStartMs = m_threads.MonotonicMs();
        }
        return S_OK;
    }

    HRESULT Stop() override {
        m_stoppedAtBytes = PlayedBytes();
        m_playing = false;
        return S_OK;
    }

private:
    std::uint64_t PlayedBytes() const {
        if (!m_playing)
            return m_stoppedAtBytes;
        const std::uint64_t elapsedMs = m_threads.MonotonicMs() - m_playStartMs;
        std::uint64_t bytes = elapsedMs * m_bytesPerSecond / 1000;
        bytes -= bytes % m_blockAlign;
        return m_stoppedAtBytes + bytes;
    }

    void Keep(const std::uint8_t* data, std::uint32_t bytes) {
        if (bytes == 0)
            return;
        std::vector<std::uint8_t>& kept = m_record.bytes;
        const std::size_t room = kept.capacity() - kept.size();
        const std::size_t taken = std::min<std::size_t>(room, bytes);
        kept.insert(kept.end(), data, data + taken);
        if (taken < bytes)
            m_record.droppedBytes.fetch_add(bytes - taken);
    }

    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_bytesPerSecond;
    std::uint32_t m_blockAlign;
    IThreadServices& m_threads;
    SimOutputRecord& m_record;
    bool m_playing = false;
    std::uint64_t m_playStartMs = 0;
    std::uint64_t m_stoppedAtBytes = 0;
};

}  // namespace

CSimAudioSystem::CSimAudioSystem(const SimSystemDescription& description, CSimDeck& deck,
                                 IThreadServices& threads)
    : m_description(description),
      m_deck(deck),
      m_threads(threads),
      m_mode(description.captureMode) {
    for (const SimCaptureDevice& device : description.captureDevices) {
        if (device.deck && !device.id.IsNull()) {
            m_deckDevice = device.id;
            break;
        }
    }
    if (m_deckDevice.IsNull())
        m_deckDevice = DefaultCaptureDevice();
}

HRESULT CSimAudioSystem::EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) {
    devices.clear();
    for (const SimCaptureDevice& device : m_description.captureDevices) {
        devices.push_back({device.description, device.id});
    }
    return S_OK;
}

HRESULT CSimAudioSystem::EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) {
    devices.clear();
    for (const SimOutputDevice& device : m_description.outputDevices) {
        devices.push_back({device.description, device.id});
    }
    return S_OK;
}

GUID CSimAudioSystem::DefaultCaptureDevice() const {
    for (const SimCaptureDevice& device : m_description.captureDevices) {
        if (!device.id.IsNull())
            return device.id;
    }
    return GUID{};
}

GUID CSimAudioSystem::DefaultOutputDevice() const {
    for (const SimOutputDevice& device : m_description.outputDevices) {
        if (!device.id.IsNull())
            return device.id;
    }
    return GUID{};
}

HRESULT CSimAudioSystem::CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                           std::uint32_t bufferBytes,
                                           std::unique_ptr<ICaptureRing>& ring) {
    ring.reset();
    const GUID id = deviceId.IsNull() ? DefaultCaptureDevice() : deviceId;
    const auto device =
        std::find_if(m_description.captureDevices.begin(), m_description.captureDevices.end(),
                     [&](const SimCaptureDevice& d) { return !d.id.IsNull() && d.id == id; });
    if (device == m_description.captureDevices.end() || device->broken)
        return E_FAIL;
    if (!device->heldBy.empty())
        return E_DEVICE_BUSY;
    const WAVEFORMATEX capture = CaptureFormat();
    if (std::memcmp(&format, &capture, sizeof capture) != 0)
        return E_FAIL;
    if (bufferBytes < 2 * kFrameBytes || bufferBytes % kFrameBytes != 0)
        return E_FAIL;
    ring = std::make_unique<CSimCaptureRing>(bufferBytes, id == m_deckDevice ? &m_deck : nullptr,
                                             m_threads, m_mode);
    return S_OK;
}

std::string CSimAudioSystem::CaptureDeviceHolder(const GUID& deviceId) {
    const GUID id = deviceId.IsNull() ? DefaultCaptureDevice() : deviceId;
    for (const SimCaptureDevice& device : m_description.captureDevices) {
        if (!device.id.IsNull() && device.id == id)
            return device.heldBy;
    }
    return {};
}

HRESULT CSimAudioSystem::CreateOutputRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                          std::uint32_t bufferBytes,
                                          std::unique_ptr<IOutputRing>& ring) {
    ring.reset();
    const GUID id = deviceId.IsNull() ? DefaultOutputDevice() : deviceId;
    const auto device =
        std::find_if(m_description.outputDevices.begin(), m_description.outputDevices.end(),
                     [&](const SimOutputDevice& d) { return !d.id.IsNull() && d.id == id; });
    if (device == m_description.outputDevices.end() || device->broken)
        return E_FAIL;
    if (format.wFormatTag != WAVE_FORMAT_PCM || format.nBlockAlign == 0 ||
        format.nAvgBytesPerSec == 0 || bufferBytes == 0 || bufferBytes % format.nBlockAlign != 0) {
        return E_FAIL;
    }
    auto state = std::find_if(m_outputs.begin(), m_outputs.end(),
                              [&](const OutputState& s) { return s.id == id; });
    if (state == m_outputs.end()) {
        m_outputs.push_back({id, std::make_unique<SimOutputRecord>()});
        state = m_outputs.end() - 1;
    }
    SimOutputRecord& record = *state->record;
    if (record.bytes.capacity() < m_outputRecordLimit)
        record.bytes.reserve(m_outputRecordLimit);
    ring = std::make_unique<CSimOutputRing>(bufferBytes, format.nAvgBytesPerSec, format.nBlockAlign,
                                            m_threads, record);
    return S_OK;
}

const SimOutputRecord* CSimAudioSystem::OutputRecord(const GUID& deviceId) const {
    const GUID id = deviceId.IsNull() ? DefaultOutputDevice() : deviceId;
    for (const OutputState& state : m_outputs) {
        if (state.id == id)
            return state.record.get();
    }
    return nullptr;
}

void CSimAudioSystem::ClearOutputRecords() {
    for (OutputState& state : m_outputs) {
        state.record->bytes.clear();
        state.record->droppedBytes = 0;
    }
}

}  // namespace sondrel
