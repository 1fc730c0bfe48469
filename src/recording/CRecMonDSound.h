// The listen-through monitor: plays the processed capture on the computer's own output by
// writing each region into a looping output ring a little ahead of the device's write cursor.
#pragma once

#include <cstdint>
#include <memory>

#include "base/Guid.h"
#include "base/Result.h"
#include "base/WaveFormat.h"

namespace sondrel {

class IAudioSystem;
class IOutputRing;

// Threads: Open on the user-interface thread before the capture thread starts; Write, Stop and
// QueuedBytes on the capture thread (or the one thread that plays through it) only; the object is
// destroyed once that thread has ended. Write never blocks and never allocates.
class CRecMonDSound {
public:
    // The monitor keeps at least this many bytes (about 23 ms) queued ahead of the device and
    // starts playing only once more than this is queued.
    static constexpr std::uint32_t kLeadBytes = 4096;

    CRecMonDSound();
    ~CRecMonDSound();
    CRecMonDSound(const CRecMonDSound&) = delete;
    CRecMonDSound& operator=(const CRecMonDSound&) = delete;

    // A null deviceId plays on the default output. E_FAIL when the output cannot be had.
    HRESULT Open(IAudioSystem& audio, const GUID& deviceId, std::uint32_t ringBytes,
                 const WAVEFORMATEX& format);
    // Queues a region of captured bytes; nothing without an open ring.
    void Write(const std::uint8_t* region, std::uint32_t bytes);
    void Stop();
    // Bytes queued and not yet played: what a writer that paces itself (the track page's
    // player) keeps topped up. 0 without an open ring.
    std::uint32_t QueuedBytes();

private:
    std::unique_ptr<IOutputRing> m_ring;
    GUID m_deviceId;
    std::uint32_t m_writeOffsetBytes = 0;
    std::uint32_t m_sizeBytes = 0;
    bool m_notPlaying = true;
};

}  // namespace sondrel
