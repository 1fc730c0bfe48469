#include "recording/CRecordInput.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "audiofile/CFileError.h"

namespace sondrel {

CRecordInput::CRecordInput() : m_floatBuffer(new float[kFloatBufferBytes / sizeof(float)]) {
    m_converter.SetSourceFormat(CaptureFormat());
    m_converter.SetDestFormat(FloatStreamFormat());
    m_converter.ResetState();
    m_detectedTracks.reserve(64);
}

CRecordInput::~CRecordInput() {
    StopWriterThread();
}

HRESULT CRecordInput::StartWriting() {
    m_writing.store(true, std::memory_order_release);
    return S_OK;
}

HRESULT CRecordInput::StopWriting() {
    m_writing.store(false, std::memory_order_release);
    return S_OK;
}

HRESULT CRecordInput::OpenCapture(WindowHandle) {
    return E_FAIL;
}

HRESULT CRecordInput::OpenFile(const std::filesystem::path& path) {
    if (m_fileOpen.load(std::memory_order_relaxed) || m_fileFinished)
        return E_FAIL;
    const WAVEFORMATEX format = CaptureFormat();
    if (Failed(m_writer.Create(path, format)))
        return E_FAIL;
    m_dataLimitBytes.store(kWaveMaxDataBytes / kCaptureBlockAlign * kCaptureBlockAlign,
                           std::memory_order_relaxed);
    m_bytesWrittenAtomic.store(0, std::memory_order_release);
    m_writerStop.store(false, std::memory_order_relaxed);
    try {
        m_writerThread = std::thread([this] { WriterBody(); });
    } catch (...) {
        try {
            m_writer.Close();
        } catch (...) {
        }
        return E_FAIL;
    }
    // Published after the writer thread exists: a capture thread that sees it open finds the
    // queue's consumer running.
    m_fileOpen.store(true, std::memory_order_release);
    return S_OK;
}

void CRecordInput::SetFileLimitBytes(std::uint64_t limitBytes) {
    // Only the capture thread's share of the file is limited: it never hands the writer more,
    // so the writer, which may already be running, is not touched and keeps the format's own
    // limit as its backstop.
    m_dataLimitBytes.store(
        std::min(limitBytes, kWaveMaxDataBytes) / kCaptureBlockAlign * kCaptureBlockAlign,
        std::memory_order_release);
}

void CRecordInput::WriterBody() {
    using Clock = std::chrono::steady_clock;
    auto lastHeader = Clock::now();
    auto lastSync = lastHeader;
    std::uint64_t headerBytes = 0;
    std::uint64_t syncedBytes = 0;
    bool failed = false;
    const auto fail = [&](int errorNumber) {
        failed = true;
        std::uint64_t kept = 0;
        m_writer.GetBytesWritten(&kept);
        m_keptBytes.store(kept, std::memory_order_relaxed);
        NoteWriteError(errorNumber);  // publishes m_keptBytes with it
    };
    for (;;) {
        // Seen before the last drain: once stopping, nothing more is queued.
        const bool stop = m_writerStop.load(std::memory_order_acquire);
        std::size_t bytes = 0;
        for (const std::uint8_t* data = m_queue.Peek(bytes); bytes > 0;
             data = m_queue.Peek(bytes)) {
            if (!failed) {
                if (m_beforeWrite)
                    m_beforeWrite();
                try {
                    m_writer.Write(data, bytes);
                } catch (const CFileError& error) {
                    fail(error.ErrorNumber());
                } catch (...) {
                    fail(EIO);
                }
            }
            m_queue.Consume(bytes);
        }
        if (stop)
            break;
        const auto now = Clock::now();
        std::uint64_t written = 0;
        m_writer.GetBytesWritten(&written);
        if (!failed && written != headerBytes && now - lastHeader >= kHeaderInterval) {
            // A run that is killed now still leaves a WAV file that says how much it holds.
            const bool sync = written != syncedBytes && now - lastSync >= kSyncInterval;
            try {
                m_writer.UpdateHeader(sync);
            } catch (const CFileError& error) {
                fail(error.ErrorNumber());
            }
            headerBytes = written;
            lastHeader = now;
            if (sync) {
                syncedBytes = written;
                lastSync = now;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void CRecordInput::StopWriterThread() {
    if (!m_writerThread.joinable())
        return;
    m_writerStop.store(true, std::memory_order_release);
    m_writerThread.join();
}

void CRecordInput::SetProcessingFlags(bool flag1, bool flag2) {
    m_processingFlag1 = flag1;
    m_processingFlag2 = flag2;
}

HRESULT CRecordInput::SetGain(float gainDb) {
    return m_gain.SetGainDb(gainDb);
}

HRESULT CRecordInput::SetDetection(bool on) {
    if (!on) {
        m_detecting.store(false, std::memory_order_release);
        return S_OK;
    }
    // Disarm first: the capture thread must not feed a detector that is being reset.
    m_detecting.store(false, std::memory_order_release);
    m_detectedTracks.clear();
    const HRESULT hr =
        m_detector.Prepare(static_cast<float>(kCaptureFramesPerSecond), &m_detectedTracks);
    m_detecting.store(true, std::memory_order_release);
    return hr;
}

HRESULT CRecordInput::AddMark() {
    if (m_detecting.load(std::memory_order_relaxed))
        return S_FALSE;
    m_marks.push_back(BytesWritten());
    return S_OK;
}

HRESULT CRecordInput::TakeMarks(std::vector<std::uint64_t>& marks) {
    HRESULT hr = S_OK;
    if (m_detecting.load(std::memory_order_relaxed)) {
        hr = m_detector.Segment();
        for (const DetectedTrack& track : m_detectedTracks) {
            const std::int64_t endFrame = track.EndFrame();
            m_marks.push_back(
                endFrame > 0 ? static_cast<std::uint64_t>(endFrame) * kCaptureBlockAlign : 0);
        }
    }
    marks = m_marks;
    m_detectedTracks.clear();
    return hr;
}

HRESULT CRecordInput::GetStatus(std::uint32_t& seconds, bool& writing, std::uint32_t& markCount,
                                std::uint32_t& reserved) const {
    const std::uint64_t bytes = BytesWritten();
    std::int64_t sinceMark = static_cast<std::int64_t>(bytes);
    if (!m_marks.empty())
        sinceMark -= static_cast<std::int64_t>(m_marks.back());
    const std::int64_t wholeSeconds = sinceMark / static_cast<std::int64_t>(kCaptureBytesPerSecond);
    seconds = static_cast<std::uint32_t>(wholeSeconds < 0 ? 0 : wholeSeconds);
    writing = IsWriting();
    markCount = static_cast<std::uint32_t>(m_marks.size());
    reserved = 0;
    return S_OK;
}

HRESULT CRecordInput::ReadLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                                 float& holdRightDb, bool active) {
    return m_meter.ReadLevels(recentLeftDb, recentRightDb, holdLeftDb, holdRightDb, active);
}

void CRecordInput::ReadHistogram(float& maxPeakDb, float& levelDb) const {
    m_meter.ReadHistogram(maxPeakDb, levelDb);
}

HRESULT CRecordInput::GetWriteError(int& errorNumber) const {
    if (!m_writeFailed.load(std::memory_order_acquire)) {
        errorNumber = 0;
        return S_FALSE;
    }
    errorNumber = m_writeErrorNumber.load(std::memory_order_relaxed);
    return S_OK;
}

void CRecordInput::NoteWriteError(int errorNumber) {
    // The first failure is the one worth reporting; later ones follow from it.
    if (!m_writeFailed.load(std::memory_order_relaxed)) {
        m_writeErrorNumber.store(errorNumber != 0 ? errorNumber : EIO, std::memory_order_relaxed);
        m_writeFailed.store(true, std::memory_order_release);
    }
}

HRESULT CRecordInput::CloseCapture() {
    ShutFileGate();
    StopWriterThread();
    // The gate is shut: no capture thread reads this any more.
    if (!m_fileOpen.load(std::memory_order_relaxed))
        return m_fileFinished ? S_OK : E_FAIL;
    m_fileOpen.store(false, std::memory_order_relaxed);
    m_fileFinished = true;

    float maxPeakDb = 0.0f, levelDb = 0.0f;
    m_meter.ReadHistogram(maxPeakDb, levelDb);
    m_writer.SetProcessing(m_processingFlag1, m_processingFlag2, maxPeakDb, levelDb);
    HRESULT hr;
    try {
        hr = m_writer.Close();
    } catch (const CFileError& error) {
        // The writer has closed the file; what it holds is still a readable recording.
        NoteWriteError(error.ErrorNumber());
        hr = E_FAIL;
    } catch (...) {
        NoteWriteError(EIO);
        hr = E_FAIL;
    }
    std::uint64_t finalBytes = 0;
    m_writer.GetBytesWritten(&finalBytes);
    m_bytesWrittenAtomic.store(finalBytes, std::memory_order_release);
    if (!m_marks.empty())
        m_marks.push_back(finalBytes);
    m_detectedTracks.clear();
    return hr;
}

bool CRecordInput::EnterFileGate() {
    if (m_fileGate.fetch_add(1, std::memory_order_acquire) & kGateShut) {
        m_fileGate.fetch_sub(1, std::memory_order_release);
        return false;
    }
    return true;
}

void CRecordInput::LeaveFileGate() {
    m_fileGate.fetch_sub(1, std::memory_order_release);
}

void CRecordInput::ShutFileGate() {
    m_fileGate.fetch_or(kGateShut, std::memory_order_acq_rel);
    // A region inside takes at most one write of a second of audio; wait it out.
    while ((m_fileGate.load(std::memory_order_acquire) & ~kGateShut) != 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void CRecordInput::ProcessRegion(std::uint8_t* region, std::uint32_t bytes) {
    bytes -= bytes % kCaptureBlockAlign;
    if (bytes == 0)
        return;
    auto* samples = reinterpret_cast<std::int16_t*>(region);
    const std::size_t sampleCount = bytes / sizeof(std::int16_t);
    const std::size_t frames = bytes / kCaptureBlockAlign;

    m_gain.Apply(samples, sampleCount);
    Equalise(samples, frames);

    bool writing = m_writing.load(std::memory_order_acquire);
    if (writing && m_writeFailed.load(std::memory_order_acquire)) {
        // The file took no more: keep what it did take, and stop, as a full disk would.
        m_bytesWrittenAtomic.store(m_keptBytes.load(std::memory_order_relaxed),
                                   std::memory_order_release);
        StopWriting();
        writing = false;
    }
    bool written = false;
    std::size_t writtenSamples = sampleCount;
    if (writing && EnterFileGate()) {
        if (m_fileOpen.load(std::memory_order_acquire)) {
            const std::uint64_t before = m_bytesWrittenAtomic.load(std::memory_order_relaxed);
            const std::uint64_t limit = m_dataLimitBytes.load(std::memory_order_acquire);
            const std::uint64_t room = limit > before ? limit - before : 0;
            const std::uint32_t taken = bytes < room ? bytes : static_cast<std::uint32_t>(room);
            if (m_queue.Push(region, taken)) {
                m_bytesWrittenAtomic.store(before + taken, std::memory_order_release);
                writtenSamples = taken / sizeof(std::int16_t);
                written = true;
            } else {
                m_lostBytes.fetch_add(taken, std::memory_order_relaxed);
            }
            // A full file is the end of the recording: "Recording Finished". What the device
            // delivers from here on is counted, so the user can be told what is missing.
            if (taken < bytes || taken == room) {
                StopWriting();
                m_pastLimitBytes.fetch_add(bytes - taken, std::memory_order_relaxed);
                m_fileFull.store(true, std::memory_order_release);
            }
        }
        LeaveFileGate();
    } else if (m_fileFull.load(std::memory_order_relaxed)) {
        m_pastLimitBytes.fetch_add(bytes, std::memory_order_relaxed);
    }

    const std::size_t floatFrames =
        m_converter.Convert(region, bytes, m_floatBuffer.get(), kFloatBufferBytes);
    m_meter.Feed(m_floatBuffer.get(), floatFrames, writing);

    PlayMonitor(region, bytes);

    if (written && m_detecting.load(std::memory_order_acquire) && EnterFileGate()) {
        if (m_detector.Feed(samples, writtenSamples))
            StopWriting();
        LeaveFileGate();
    }
}

}  // namespace sondrel
