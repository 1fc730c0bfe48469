// A record input: one opening of one capture device. This base owns what does not depend on
// the device: the temporary file's writer, the level meter, the float converter, the gain, the
// track detector, the marks and the per-region processing chain that the capture thread runs.
// CRecordInputDSound adds the capture ring, the monitor, the equaliser and the thread itself.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "audiofile/CPcmFmtConverter.h"
#include "audiofile/CWaveProcessWriter.h"
#include "base/CUnknownStandAlone.h"
#include "base/Result.h"
#include "base/WaveFormat.h"
#include "recording/CInputGain.h"
#include "recording/CLevelMeter.h"
#include "recording/CSpscByteQueue.h"
#include "recording/CTrackDetector.h"
#include "recording/IRecorder.h"

namespace sondrel {

// Threads. The user-interface thread makes every call below. The capture thread only runs
// ProcessRegion (through the derived class's loop). The file belongs to the input's own writer
// thread, started by OpenFile and ended by CloseCapture: the capture thread hands it the bytes
// through a pre-sized queue and never waits for the disk. What the threads share:
// - m_writing, m_detecting: atomics, read once per region, so a change lands at the next one.
//   m_detecting is stored with release after the detector was prepared and loaded with acquire
//   before the detector is fed.
// - m_bytesWrittenAtomic: the bytes handed to the file so far, stored by the capture thread;
//   AddMark and GetStatus read it. They land in the file in that order, so a mark at this
//   count is a byte offset in the finished file.
// - the queue (see CSpscByteQueue); bytes that find it full are lost, and counted.
// - the meter: lock-free (see CLevelMeter).
// - the writer: the writer thread's alone until CloseCapture has joined that thread.
// - the detector: reached by the capture thread only inside the file gate (m_fileGate).
//   CloseCapture shuts the gate and waits until no region is inside before it ends the
//   writer thread and finishes the file, so a capture thread that is late to end never feeds
//   a file that is being finished; the object itself stays alive while that thread holds its
//   reference.
// - write failures: kept in atomics (m_writeFailed, m_writeErrorNumber, m_keptBytes).
// - the file's limit: m_dataLimitBytes (stored with release by the user-interface thread,
//   loaded with acquire per region), m_fileFull (stored with release once, by the capture
//   thread) and m_pastLimitBytes (a relaxed count, added to by the capture thread only).
// - m_fileOpen: stored with release by OpenFile once the writer thread runs, loaded with
//   acquire by the capture thread inside the file gate; CloseCapture clears it with the gate
//   shut.
class CRecordInput : public CUnknownStandAlone<IUnknown> {
public:
    static constexpr std::uint32_t kBufferBytes = kCaptureBytesPerSecond;  // one second
    static constexpr std::uint32_t kFloatBufferBytes = 2 * kBufferBytes;
    // What the writer thread may fall behind before audio is lost: a disk that stalls for
    // seconds (a spinning-up drive, a busy USB stick) costs nothing.
    static constexpr std::uint32_t kQueueBytes = 16 * kCaptureBytesPerSecond;
    // The header is brought up to date this often, and the data put on the disk.
    static constexpr std::chrono::milliseconds kHeaderInterval{500};
    static constexpr std::chrono::milliseconds kSyncInterval{2000};

    CRecordInput();

    virtual HRESULT StartWriting();
    virtual HRESULT StopWriting();
    // Opens the capture device, the monitor and the capture thread. E_FAIL here.
    virtual HRESULT OpenCapture(WindowHandle owner);
    // Finishes the file: hands the histogram to the writer's processing, closes the writer and
    // ends a list of manual marks with the final byte count. Once only.
    virtual HRESULT CloseCapture();
    virtual void SetSourceFilter(int sourceType) = 0;

    // Creates the writer's file (truncating it) with the capture format and starts the writer
    // thread. The file stays locked (flock) until it is finished.
    HRESULT OpenFile(const std::filesystem::path& path);
    // Lowers the most the file takes (the WAV format's limit, about 6 h 45 min); reaching it
    // ends writing as the end of the side does. After OpenFile (which sets the format's limit),
    // before StartWriting: the capture thread reads it with acquire and stops handing the
    // writer bytes there.
    void SetFileLimitBytes(std::uint64_t limitBytes);
    // Runs on the writer thread before each write: tests make the disk slow with it. Before
    // OpenFile.
    void SetBeforeWriteHook(std::function<void()> hook) { m_beforeWrite = std::move(hook); }
    void SetProcessingFlags(bool flag1, bool flag2);
    HRESULT SetGain(float gainDb);
    float GainFactor() const { return m_gain.Factor(); }
    // Call before StartWriting; arming prepares the detector afresh.
    HRESULT SetDetection(bool on);
    bool IsDetecting() const { return m_detecting.load(std::memory_order_relaxed); }
    // S_OK and a mark at the current end of the written data; S_FALSE (nothing added) while
    // detection is on.
    HRESULT AddMark();
    // After CloseCapture: the marks, with the detected tracks' ends when detecting.
    HRESULT TakeMarks(std::vector<std::uint64_t>& marks);
    HRESULT GetStatus(std::uint32_t& seconds, bool& writing, std::uint32_t& markCount,
                      std::uint32_t& reserved) const;
    HRESULT ReadLevels(float& recentLeftDb, float& recentRightDb, float& holdLeftDb,
                       float& holdRightDb, bool active);
    // The loudest peak and the level the histogram holds (handed to the writer at close).
    void ReadHistogram(float& maxPeakDb, float& levelDb) const;

    bool IsWriting() const { return m_writing.load(std::memory_order_acquire); }
    std::uint64_t BytesWritten() const {
        return m_bytesWrittenAtomic.load(std::memory_order_acquire);
    }
    // True once the capture device was lost (unplugged) while this input was open; writing
    // stopped there. Any thread.
    bool DeviceLost() const { return m_deviceLost.load(std::memory_order_acquire); }
    // True once writing stopped because the file took the most it may (any thread).
    bool FileLimitReached() const { return m_fileFull.load(std::memory_order_acquire); }
    // Bytes the device delivered from the moment the file was full until the capture closed:
    // audio that was played but is not in the recording (any thread).
    std::uint64_t BytesPastFileLimit() const {
        return m_pastLimitBytes.load(std::memory_order_relaxed);
    }
    // Bytes of audio lost while writing: they found the writer's queue full, or the capture
    // device overran (any thread).
    std::uint64_t LostBytes() const { return m_lostBytes.load(std::memory_order_relaxed); }
    // S_OK with the errno value (EIO when there was none) once writing the file has failed,
    // on the capture thread or while finishing it; S_FALSE while nothing failed.
    HRESULT GetWriteError(int& errorNumber) const;

protected:
    ~CRecordInput() override;

    // Capture thread: gain, equaliser, file queue, meter, monitor and detection for one region
    // of whole 4-byte frames, in place. Never allocates, never blocks, never throws.
    void ProcessRegion(std::uint8_t* region, std::uint32_t bytes);
    // Capture thread: the device is gone; stops writing.
    void NoteDeviceLost() {
        m_deviceLost.store(true, std::memory_order_release);
        StopWriting();
    }
    // Capture thread: audio the device captured but could not deliver.
    void NoteLostBytes(std::uint64_t bytes) {
        m_lostBytes.fetch_add(bytes, std::memory_order_relaxed);
    }
    // Capture thread: how many bytes the writer's queue takes now (for capture rings that
    // wait for their consumer, which then need not lose anything).
    std::size_t QueueRoomBytes() const { return m_queue.FreeBytes(); }
    virtual void Equalise(std::int16_t* /*samples*/, std::size_t /*frames*/) {}
    virtual void PlayMonitor(const std::uint8_t* /*region*/, std::uint32_t /*bytes*/) {}

    // Keeps the capture thread away from the writer and the detector from now on, waiting for
    // a region that is inside to leave. Idempotent.
    void ShutFileGate();

private:
    static constexpr std::uint32_t kGateShut = 0x80000000u;

    bool EnterFileGate();
    void LeaveFileGate();
    void NoteWriteError(int errorNumber);
    void WriterBody();
    void StopWriterThread();

    CWaveProcessWriter m_writer;
    CSpscByteQueue m_queue{kQueueBytes};
    std::thread m_writerThread;
    std::function<void()> m_beforeWrite;
    std::atomic<bool> m_writerStop{false};
    std::atomic<std::uint64_t> m_dataLimitBytes{kWaveMaxDataBytes};
    std::atomic<std::uint64_t> m_lostBytes{0};
    std::atomic<bool> m_deviceLost{false};
    std::atomic<bool> m_fileFull{false};
    std::atomic<std::uint64_t> m_pastLimitBytes{0};
    std::atomic<std::uint64_t> m_keptBytes{0};
    std::atomic<bool> m_fileOpen{false};
    bool m_fileFinished = false;
    CLevelMeter m_meter;
    CPcmFmtConverter m_converter;
    std::unique_ptr<float[]> m_floatBuffer;
    CInputGain m_gain;
    CTrackDetector m_detector;
    std::vector<DetectedTrack> m_detectedTracks;
    std::vector<std::uint64_t> m_marks;
    bool m_processingFlag1 = true;
    bool m_processingFlag2 = false;

    std::atomic<bool> m_writing{false};
    std::atomic<bool> m_detecting{false};
    std::atomic<std::uint64_t> m_bytesWrittenAtomic{0};
    std::atomic<std::uint32_t> m_fileGate{0};
    std::atomic<bool> m_writeFailed{false};
    std::atomic<int> m_writeErrorNumber{0};
};

}  // namespace sondrel
