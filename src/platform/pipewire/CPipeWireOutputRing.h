// The output ring on a PipeWire playback stream to the default sink, for listening through.
// The writer commits what it unlocks; the stream's real-time callback plays committed bytes a
// whole block at a time and plays silence (counted as an underrun) while a block is not yet
// there, so a late writer delays the sound instead of chopping it; what is left once the
// writer has stopped adding plays padded with silence. The play cursor is where the block
// the server is playing now began, which keeps the writer's own lead measured from what is
// really heard.
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

namespace sondrel {

// Threading: as IOutputRing; Process on the data thread.
class CPipeWireOutputRing final : public IOutputRing {
public:
    CPipeWireOutputRing(CPipeWireConnection& connection, std::uint32_t bufferBytes,
                        const WAVEFORMATEX& format,
                        std::shared_ptr<std::atomic<std::uint64_t>> underruns);
    ~CPipeWireOutputRing() override;

    // Links a playback stream to the default sink; E_FAIL with the reason when PipeWire
    // refuses it.
    HRESULT Connect(std::string& error);

    std::uint32_t SizeBytes() const override;
    HRESULT GetCurrentPosition(std::uint32_t& playCursorBytes,
                               std::uint32_t& writeCursorBytes) override;
    HRESULT Lock(std::uint32_t offsetBytes, std::uint32_t bytes, RingRegions& regions) override;
    HRESULT Unlock(const RingRegions& regions) override;
    HRESULT PlayLooping() override;
    HRESULT Stop() override;

private:
    friend struct PipeWireOutputEvents;
    void Process();
    // Copies bytes of the committed audio from the ring at the server's position.
    void Take(std::uint8_t* out, std::uint64_t sent, std::uint32_t bytes) const;

    CPipeWireConnection& m_connection;
    std::vector<std::uint8_t> m_buffer;
    WAVEFORMATEX m_format;
    std::shared_ptr<std::atomic<std::uint64_t>> m_underruns;
    pw_stream* m_stream = nullptr;
    spa_hook m_listener{};
    std::atomic<int> m_state{0};
    std::string m_streamError;

    std::atomic<bool> m_playing{false};
    std::atomic<std::uint64_t> m_committedBytes{0};  // the writer's
    std::atomic<std::uint64_t> m_sentBytes{0};       // the data thread's
    std::atomic<std::uint64_t> m_heardBytes{0};      // sent before the block now taken
    std::uint64_t m_lastCommitted = 0;               // the data thread's, at its last cycle
};

}  // namespace sondrel
