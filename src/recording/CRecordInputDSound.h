// The record input over the platform's audio system: the capture ring the capture thread
// drains every 10 ms, the listen-through monitor and the source equaliser.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

#include "base/Guid.h"
#include "recording/CRecMonDSound.h"
#include "recording/CRecordInput.h"
#include "recording/CSourceEqualiser.h"

namespace sondrel {

class IAudioSystem;
class ICaptureRing;
class IThreadServices;

// Threads: created, opened, closed and released on the user-interface thread. OpenCapture
// starts the capture thread, which holds its own reference until its loop has ended, so the
// input outlives a thread that is late to end. The audio system and thread services must
// outlive the input.
class CRecordInputDSound final : public CRecordInput {
public:
    static constexpr std::uint32_t kPollMs = 10;
    static constexpr std::chrono::milliseconds kDefaultStopTimeout{10000};

    // The creator holds the first reference. Null GUIDs select the default devices.
    CRecordInputDSound(IAudioSystem& audio, IThreadServices& threads, const GUID& captureGuid,
                       const GUID& monitorGuid);

    HRESULT OpenCapture(WindowHandle owner) override;
    // Stops the capture thread (waiting for it up to the stop timeout; a thread that is still
    // running then is shut out of the file) and finishes the file.
    HRESULT CloseCapture() override;
    void SetSourceFilter(int sourceType) override;

    bool IsOpened() const { return m_opened; }
    // How long CloseCapture waits for the capture thread (10 s).
    void SetStopTimeout(std::chrono::milliseconds timeout) { m_stopTimeout = timeout; }
    // True once the capture thread has left its loop (or when none was started).
    bool HasThreadEnded() const { return m_threadEnded.load(std::memory_order_acquire); }

protected:
    ~CRecordInputDSound() override;
    void Equalise(std::int16_t* samples, std::size_t frames) override;
    void PlayMonitor(const std::uint8_t* region, std::uint32_t bytes) override;

private:
    void ThreadBody();
    void TellOrdinaryPriorityOnce();
    void Poll();

    IAudioSystem& m_audio;
    IThreadServices& m_threads;
    GUID m_captureGuid;
    GUID m_monitorGuid;
    std::unique_ptr<ICaptureRing> m_captureRing;
    CRecMonDSound m_monitor;
    CSourceEqualiser m_equaliser;
    std::uint32_t m_readOffsetBytes = 0;  // capture thread only, once started
    bool m_opened = false;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_threadEnded{true};
    std::atomic<bool> m_ordinaryPriority{false};  // set by the capture thread
    std::chrono::milliseconds m_stopTimeout = kDefaultStopTimeout;
};

}  // namespace sondrel
