// Listening on the track page: plays a stretch of the recording file through the
// listen-through output, so the user hears where a cut falls before moving it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>

#include "base/Guid.h"
#include "base/Result.h"
#include "recording/CRecMonDSound.h"

namespace sondrel {

class IAudioSystem;
struct IPcmReader;

// Threads: Play, Stop and the destructor on the user-interface thread (they open and close
// the output ring, which the audio system wants there); IsPlaying and PositionFrame from any
// thread. One worker thread per Play reads the file and keeps about 90 ms queued in the ring;
// it waits on a condition variable, so Stop returns within one pause.
class CSectionPlayer {
public:
    // The ring the player writes into (about 740 ms) and how much it keeps queued: well under
    // a quarter of the ring, which a sound server's output takes for a writer far ahead.
    static constexpr std::uint32_t kRingBytes = 131072;
    static constexpr std::uint32_t kQueueBytes = 16384;

    // Plays on outputDevice of audio (a null id: the default output). Both must outlive it.
    CSectionPlayer(IAudioSystem& audio, const GUID& outputDevice);
    ~CSectionPlayer();
    CSectionPlayer(const CSectionPlayer&) = delete;
    CSectionPlayer& operator=(const CSectionPlayer&) = delete;

    // Stops what plays and plays frames [fromFrame, toFrame) of the 16-bit stereo WAV file
    // at path. E_FAIL when the file or the output cannot be had.
    HRESULT Play(const std::filesystem::path& path, std::uint64_t fromFrame, std::uint64_t toFrame);
    void Stop();
    bool IsPlaying() const { return m_playing.load(std::memory_order_acquire); }
    // The frame being heard now; after the end or a stop, where it was left.
    std::uint64_t PositionFrame() const { return m_position.load(std::memory_order_acquire); }

private:
    void Run(IPcmReader* reader, std::uint64_t toFrame);
    // Waits ms or until Stop; false once stopping.
    bool Pause(int ms);

    IAudioSystem& m_audio;
    const GUID m_outputDevice;
    CRecMonDSound m_output;
    std::thread m_worker;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stopping = false;  // under m_lock
    std::atomic<bool> m_playing{false};
    std::atomic<std::uint64_t> m_position{0};
};

}  // namespace sondrel
