#include "platform/alsa/CAlsaCaptureRing.h"

#include "platform/RingRegions.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace sondrel {

namespace {

// Enough passes to drain a full ALSA buffer in period-sized reads plus a wrap of the ring.
constexpr int kMaxReadsPerPump = 64;

}  // namespace

CAlsaCaptureRing::CAlsaCaptureRing(AlsaPcmSetup setup, std::uint32_t bufferBytes,
                                   std::uint32_t frameBytes,
                                   std::shared_ptr<AlsaXrunCounters> counters)
    : m_setup(std::move(setup)),
      m_buffer(bufferBytes),
      m_frameBytes(frameBytes),
      m_counters(std::move(counters)) {}

CAlsaCaptureRing::~CAlsaCaptureRing() {
    if (m_setup.pcm)
        snd_pcm_drop(m_setup.pcm.get());
}

std::uint32_t CAlsaCaptureRing::SizeBytes() const {
    return static_cast<std::uint32_t>(m_buffer.size());
}

HRESULT CAlsaCaptureRing::StartLooping() {
    if (m_running)
        return S_OK;
    snd_pcm_t* pcm = m_setup.pcm.get();
    if (snd_pcm_state(pcm) != SND_PCM_STATE_PREPARED && snd_pcm_prepare(pcm) < 0)
        return E_FAIL;
    if (snd_pcm_start(pcm) < 0)
        return E_FAIL;
    m_running = true;
    m_broken = false;
    m_availTime = std::chrono::steady_clock::now();
    m_unreadFrames = 0;
    return S_OK;
}

HRESULT CAlsaCaptureRing::Stop() {
    if (!m_running)
        return S_OK;
    Pump();
    snd_pcm_drop(m_setup.pcm.get());
    m_running = false;
    return S_OK;
}

HRESULT CAlsaCaptureRing::GetCurrentPosition(std::uint32_t& captureOffsetBytes,
                                             std::uint32_t& readOffsetBytes) {
    Pump();
    captureOffsetBytes = static_cast<std::uint32_t>(m_producedBytes % m_buffer.size());
    readOffsetBytes = captureOffsetBytes;
    // -ENODEV (unplugged) and whatever snd_pcm_recover cannot mend end the device for good,
    // but only once what was read before has been handed over: the recording keeps it.
    return m_broken && m_consumedBytes >= m_producedBytes ? E_DEVICE_LOST : S_OK;
}

std::uint64_t CAlsaCaptureRing::TakeLostFrames() {
    return std::exchange(m_lostFrames, 0);
}

HRESULT CAlsaCaptureRing::Lock(std::uint32_t offsetBytes, std::uint32_t bytes,
                               RingRegions& regions) {
    return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
}

HRESULT CAlsaCaptureRing::Unlock(const RingRegions& regions) {
    if (!RingRegionsInside(m_buffer, regions))
        return E_FAIL;
    m_consumedBytes =
        std::min(m_consumedBytes + regions.firstBytes + regions.secondBytes, m_producedBytes);
    return S_OK;
}

void CAlsaCaptureRing::Pump() {
    if (!m_running || m_broken)
        return;
    snd_pcm_t* pcm = m_setup.pcm.get();
    const std::uint64_t size = m_buffer.size();
    for (int pass = 0; pass < kMaxReadsPerPump; ++pass) {
        // One frame stays free: a completely full ring would look empty to the consumer.
        const std::uint64_t unconsumed = m_producedBytes - m_consumedBytes;
        const std::uint64_t roomBytes =
            size - m_frameBytes - std::min(unconsumed, size - m_frameBytes);
        const std::uint64_t offset = m_producedBytes % size;
        const std::uint64_t contiguousBytes = std::min(roomBytes, size - offset);
        const auto wantFrames = static_cast<snd_pcm_uframes_t>(contiguousBytes / m_frameBytes);
        if (wantFrames == 0)
            return;
        const snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
        if (avail < 0) {
            if (!Recover(static_cast<int>(avail)))
                return;
            continue;
        }
        m_availTime = std::chrono::steady_clock::now();
        m_unreadFrames = static_cast<std::uint64_t>(avail);
        if (avail == 0) {
            // An unplugged device's stream merely stops giving; only its state tells why (or
            // that its state cannot even be read any more).
            const int state = static_cast<int>(snd_pcm_state(pcm));
            if (state == SND_PCM_STATE_DISCONNECTED || state < 0)
                m_broken = true;
            return;
        }
        // Some plugins (the file plugin among them) refuse reads longer than their buffer.
        const snd_pcm_uframes_t frames =
            std::min({wantFrames, static_cast<snd_pcm_uframes_t>(avail), m_setup.bufferFrames});
        const snd_pcm_sframes_t read = snd_pcm_readi(pcm, m_buffer.data() + offset, frames);
        if (read == -EAGAIN)
            return;
        if (read < 0) {
            if (!Recover(static_cast<int>(read)))
                return;
            continue;
        }
        m_unreadFrames -= std::min(m_unreadFrames, static_cast<std::uint64_t>(read));
        m_producedBytes += static_cast<std::uint64_t>(read) * m_frameBytes;
        if (static_cast<snd_pcm_uframes_t>(read) < frames)
            return;
    }
}

bool CAlsaCaptureRing::Recover(int error) {
    if (!RecoverAlsaPcm(m_setup.pcm.get(), error, true)) {
        m_broken = true;
        return false;
    }
    m_counters->captureOverruns.fetch_add(1, std::memory_order_relaxed);
    // The restart drops what ALSA held; the device went on capturing all the while.
    const auto now = std::chrono::steady_clock::now();
    const std::int64_t elapsedUs = std::max<std::int64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(now - m_availTime).count(), 0);
    m_lostFrames += m_unreadFrames + static_cast<std::uint64_t>(elapsedUs) * m_setup.rate / 1000000;
    m_availTime = now;
    m_unreadFrames = 0;
    return true;
}

}  // namespace sondrel
