#include "recording/CRecordInputDSound.h"

#include <algorithm>

#include "platform/DebugOutput.h"
#include "platform/IAudioSystem.h"
#include "platform/IThreadServices.h"

namespace sondrel {

CRecordInputDSound::CRecordInputDSound(IAudioSystem& audio, IThreadServices& threads,
                                       const GUID& captureGuid, const GUID& monitorGuid)
    : m_audio(audio), m_threads(threads), m_captureGuid(captureGuid), m_monitorGuid(monitorGuid) {}

CRecordInputDSound::~CRecordInputDSound() {
    // Only reached with a running thread when that thread drops the last reference itself at
    // the very end of its body; it must not be joined from inside.
    if (m_thread.joinable())
        m_thread.detach();
}

HRESULT CRecordInputDSound::OpenCapture(WindowHandle) {
    // One thread per input: a second one would drain the same ring.
    if (m_opened)
        return E_FAIL;
    const WAVEFORMATEX format = CaptureFormat();
    HRESULT hr = m_audio.CreateCaptureRing(m_captureGuid, format, kBufferBytes, m_captureRing);
    if (Failed(hr) || !m_captureRing) {
        m_captureRing.reset();
        return Failed(hr) ? hr : E_FAIL;
    }
    hr = m_monitor.Open(m_audio, m_monitorGuid, kBufferBytes, format);
    if (Failed(hr))
        return hr;

    m_stopRequested.store(false, std::memory_order_relaxed);
    m_threadEnded.store(false, std::memory_order_relaxed);
    AddRef();  // the thread's own reference, dropped at its last act
    try {
        m_thread = std::thread([this] { ThreadBody(); });
    } catch (...) {
        m_threadEnded.store(true, std::memory_order_relaxed);
        Release();
        return E_FAIL;
    }
    m_opened = true;
    return S_OK;
}

void CRecordInputDSound::ThreadBody() {
    try {
        // Told on the user-interface thread at close: nothing here may take the debug lock.
        if (!m_threads.RaiseCurrentThreadPriority())
            m_ordinaryPriority.store(true, std::memory_order_relaxed);
        m_captureRing->StartLooping();
        for (;;) {
            m_threads.SleepMs(kPollMs);
            if (m_stopRequested.load(std::memory_order_acquire))
                break;
            Poll();
        }
        m_captureRing->Stop();
        m_monitor.Stop();
    } catch (...) {
        // Nothing on this thread is meant to throw; should it, the input just stops capturing.
    }
    m_threadEnded.store(true, std::memory_order_release);
    Release();
}

void CRecordInputDSound::Poll() {
    if (DeviceLost())
        return;
    const std::uint32_t sizeBytes = m_captureRing->SizeBytes();
    std::uint32_t captureOffset = 0, readOffset = 0;
    const HRESULT hr = m_captureRing->GetCurrentPosition(captureOffset, readOffset);
    // An overrun leaves a gap in what is written: the recording lost that much.
    const std::uint64_t lostFrames = m_captureRing->TakeLostFrames();
    if (lostFrames > 0 && IsWriting())
        NoteLostBytes(lostFrames * kCaptureBlockAlign);
    if (hr == E_DEVICE_LOST) {
        // Unplugged: the recording ends here and keeps everything captured, as at the end of
        // the side ("Recording Finished").
        NoteDeviceLost();
        return;
    }
    if (Failed(hr))
        return;
    // Everything of a source that has an end was taken at earlier polls: the recording ends
    // with its last frame, as at the end of a side ("Recording Finished").
    if (IsWriting() && m_captureRing->SourceEnded())
        StopWriting();
    std::uint32_t end = readOffset;
    if (end < m_readOffsetBytes)
        end += sizeBytes;
    if (end == m_readOffsetBytes)
        return;
    if (IsWriting() && m_captureRing->WaitsForConsumer()) {
        // Such a ring keeps what the writer's queue cannot take yet; nothing need be lost.
        const auto room =
            static_cast<std::uint32_t>(std::min<std::size_t>(QueueRoomBytes(), sizeBytes) /
                                       kCaptureBlockAlign * kCaptureBlockAlign);
        if (room == 0)
            return;
        end = std::min(end, m_readOffsetBytes + room);
    }

    RingRegions regions;
    if (Failed(m_captureRing->Lock(m_readOffsetBytes, end - m_readOffsetBytes, regions)))
        return;  // the span stays for the next poll
    if (regions.first != nullptr && regions.firstBytes > 0) {
        ProcessRegion(regions.first, regions.firstBytes);
        m_readOffsetBytes += regions.firstBytes;
    }
    if (regions.second != nullptr && regions.secondBytes > 0) {
        ProcessRegion(regions.second, regions.secondBytes);
        m_readOffsetBytes += regions.secondBytes;
    }
    m_captureRing->Unlock(regions);
    m_readOffsetBytes %= sizeBytes;
}

HRESULT CRecordInputDSound::CloseCapture() {
    m_stopRequested.store(true, std::memory_order_release);
    if (m_thread.joinable()) {
        const auto deadline = std::chrono::steady_clock::now() + m_stopTimeout;
        while (!HasThreadEnded() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (HasThreadEnded()) {
            m_thread.join();
        } else {
            // The thread keeps its reference and leaves at its next pass; until then it may
            // still run a region, but the shut gate keeps it off the file.
            m_thread.detach();
        }
    }
    TellOrdinaryPriorityOnce();
    return CRecordInput::CloseCapture();
}

void CRecordInputDSound::TellOrdinaryPriorityOnce() {
    // Once a run: every recording of it is refused alike.
    static std::atomic<bool> told{false};
    if (m_ordinaryPriority.load(std::memory_order_relaxed) && !told.exchange(true)) {
        OutputDebugText(
            "capture thread: real-time scheduling was refused (no RLIMIT_RTPRIO); it ran at "
            "an ordinary priority\n");
    }
}

void CRecordInputDSound::SetSourceFilter(int sourceType) {
    m_equaliser.SetSourceFilter(sourceType);
}

void CRecordInputDSound::Equalise(std::int16_t* samples, std::size_t frames) {
    m_equaliser.Process(samples, frames);
}

void CRecordInputDSound::PlayMonitor(const std::uint8_t* region, std::uint32_t bytes) {
    m_monitor.Write(region, bytes);
}

}  // namespace sondrel
