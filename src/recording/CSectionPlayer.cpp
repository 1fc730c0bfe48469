#include "recording/CSectionPlayer.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <vector>

#include "audiofile/CWaveReader.h"
#include "platform/IAudioSystem.h"

namespace sondrel {

namespace {

constexpr std::uint32_t kFrameBytes = 4;
// Written a chunk at a time, so the first sound is queued at once and the rest follows.
constexpr std::uint32_t kWriteChunkBytes = 4096;

WAVEFORMATEX CdFormat() {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = kFrameBytes;
    format.nAvgBytesPerSec = 44100 * kFrameBytes;
    return format;
}

}  // namespace

CSectionPlayer::CSectionPlayer(IAudioSystem& audio, const GUID& outputDevice)
    : m_audio(audio), m_outputDevice(outputDevice) {}

CSectionPlayer::~CSectionPlayer() {
    Stop();
}

HRESULT CSectionPlayer::Play(const std::filesystem::path& path, std::uint64_t fromFrame,
                             std::uint64_t toFrame) {
    Stop();
    auto reader = ComPtr<CWaveReader>::Attach(new (std::nothrow) CWaveReader());
    WAVEFORMATEX format{};
    if (!reader || Failed(reader->Open(path, 0)) || Failed(reader->GetFormat(&format, nullptr)) ||
        format.nChannels != 2 || format.wBitsPerSample != 16 || fromFrame >= toFrame)
        return E_FAIL;
    if (Failed(m_output.Open(m_audio, m_outputDevice, kRingBytes, CdFormat())))
        return E_FAIL;
    m_position.store(fromFrame, std::memory_order_release);
    m_playing.store(true, std::memory_order_release);
    try {
        m_worker = std::thread([this, reader, fromFrame, toFrame] {
            try {
                m_position.store(fromFrame, std::memory_order_release);
                Run(reader.Get(), toFrame);
            } catch (...) {
                // Nothing to report: the listening just ends.
            }
            m_output.Stop();
            m_playing.store(false, std::memory_order_release);
        });
    } catch (...) {  // no thread to be had
        m_output.Stop();
        m_playing.store(false, std::memory_order_release);
        return E_FAIL;
    }
    return S_OK;
}

void CSectionPlayer::Stop() {
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = false;
}

bool CSectionPlayer::Pause(int ms) {
    std::unique_lock<std::mutex> hold(m_lock);
    return !m_wake.wait_for(hold, std::chrono::milliseconds(ms), [this] { return m_stopping; });
}

void CSectionPlayer::Run(IPcmReader* reader, std::uint64_t toFrame) {
    std::vector<std::uint8_t> chunk(kWriteChunkBytes);
    const std::uint64_t fromFrame = m_position.load(std::memory_order_acquire);
    std::uint64_t writtenBytes = 0;
    const std::uint64_t totalBytes = (toFrame - fromFrame) * kFrameBytes;
    for (;;) {
        const std::uint32_t queued = m_output.QueuedBytes();
        const std::uint64_t heard = writtenBytes > queued ? writtenBytes - queued : 0;
        m_position.store(fromFrame + heard / kFrameBytes, std::memory_order_release);
        if (heard >= totalBytes)
            return;
        if (writtenBytes < totalBytes && queued < kQueueBytes) {
            const auto bytes = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(kWriteChunkBytes, totalBytes - writtenBytes));
            const auto at = static_cast<std::int64_t>(fromFrame * kFrameBytes + writtenBytes);
            if (Failed(reader->ReadAt(chunk.data(), at, static_cast<std::int32_t>(bytes))))
                return;
            m_output.Write(chunk.data(), bytes);
            writtenBytes += bytes;
            continue;
        }
        if (!Pause(5))
            return;
    }
}

}  // namespace sondrel
