#include "platform/alsa/CAlsaOutputRing.h"

#include "platform/RingRegions.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sondrel {

namespace {

// ALSA's queue is kept about this full: long enough to ride out a capture thread that
// wakes late, short enough that listening through stays close to the record.
constexpr std::uint32_t kQueuedMilliseconds = 60;
constexpr int kMaxWritesPerPump = 64;

}  // namespace

CAlsaOutputRing::CAlsaOutputRing(AlsaPcmSetup setup, std::uint32_t bufferBytes,
                                 std::uint32_t frameBytes, std::uint32_t framesPerSecond,
                                 std::shared_ptr<AlsaXrunCounters> counters)
    : m_setup(std::move(setup)),
      m_buffer(bufferBytes, 0),
      m_frameBytes(frameBytes),
      m_counters(std::move(counters)) {
    const snd_pcm_uframes_t wanted = framesPerSecond * kQueuedMilliseconds / 1000;
    // Never more than ALSA can hold, nor more than half the ring (the writer works ahead of
    // the write cursor within that half).
    m_targetQueuedFrames = std::min({wanted, m_setup.bufferFrames,
                                     static_cast<snd_pcm_uframes_t>(bufferBytes / 2 / frameBytes)});
}

CAlsaOutputRing::~CAlsaOutputRing() {
    if (m_setup.pcm)
        snd_pcm_drop(m_setup.pcm.get());
}

std::uint32_t CAlsaOutputRing::SizeBytes() const {
    return static_cast<std::uint32_t>(m_buffer.size());
}

HRESULT CAlsaOutputRing::GetCurrentPosition(std::uint32_t& playCursorBytes,
                                            std::uint32_t& writeCursorBytes) {
    Pump();
    const std::uint64_t size = m_buffer.size();
    const std::uint64_t queuedBytes =
        m_playing
            ? std::min<std::uint64_t>(QueuedFrames() * std::uint64_t{m_frameBytes}, m_sentBytes)
            : 0;
    writeCursorBytes = static_cast<std::uint32_t>(m_sentBytes % size);
    playCursorBytes = static_cast<std::uint32_t>((m_sentBytes - queuedBytes) % size);
    return m_broken ? E_FAIL : S_OK;
}

HRESULT CAlsaOutputRing::Lock(std::uint32_t offsetBytes, std::uint32_t bytes,
                              RingRegions& regions) {
    return LockRingRegions(m_buffer, offsetBytes, bytes, regions) ? S_OK : E_FAIL;
}

HRESULT CAlsaOutputRing::Unlock(const RingRegions& regions) {
    if (!RingRegionsInside(m_buffer, regions))
        return E_FAIL;
    Pump();
    return S_OK;
}

HRESULT CAlsaOutputRing::PlayLooping() {
    if (m_playing)
        return S_OK;
    snd_pcm_t* pcm = m_setup.pcm.get();
    if (snd_pcm_state(pcm) != SND_PCM_STATE_PREPARED && snd_pcm_prepare(pcm) < 0)
        return E_FAIL;
    m_playing = true;
    m_broken = false;
    Pump();
    return m_broken ? E_FAIL : S_OK;
}

HRESULT CAlsaOutputRing::Stop() {
    if (!m_playing)
        return S_OK;
    snd_pcm_drop(m_setup.pcm.get());
    m_playing = false;
    return S_OK;
}

snd_pcm_uframes_t CAlsaOutputRing::QueuedFrames() {
    snd_pcm_t* pcm = m_setup.pcm.get();
    const snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
    if (avail < 0) {
        if (!RecoverAlsaPcm(pcm, static_cast<int>(avail), false)) {
            m_broken = true;
            return 0;
        }
        m_counters->outputUnderruns.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    const auto free = static_cast<snd_pcm_uframes_t>(avail);
    return free >= m_setup.bufferFrames ? 0 : m_setup.bufferFrames - free;
}

void CAlsaOutputRing::Pump() {
    if (!m_playing || m_broken)
        return;
    snd_pcm_t* pcm = m_setup.pcm.get();
    const std::uint64_t size = m_buffer.size();
    for (int pass = 0; pass < kMaxWritesPerPump; ++pass) {
        const snd_pcm_uframes_t queued = QueuedFrames();
        if (m_broken)
            return;
        if (queued >= m_targetQueuedFrames)
            break;
        const std::uint64_t offset = m_sentBytes % size;
        const auto frames = static_cast<snd_pcm_uframes_t>(std::min<std::uint64_t>(
            (m_targetQueuedFrames - queued), (size - offset) / m_frameBytes));
        if (frames == 0)
            break;
        const snd_pcm_sframes_t written = snd_pcm_writei(pcm, m_buffer.data() + offset, frames);
        if (written == -EAGAIN)
            break;
        if (written < 0) {
            if (!RecoverAlsaPcm(pcm, static_cast<int>(written), false)) {
                m_broken = true;
                return;
            }
            m_counters->outputUnderruns.fetch_add(1, std::memory_order_relaxed);
            continue;
        }
        const std::uint64_t bytes = static_cast<std::uint64_t>(written) * m_frameBytes;
        std::memset(m_buffer.data() + offset, 0, bytes);
        m_sentBytes += bytes;
        if (static_cast<snd_pcm_uframes_t>(written) < frames)
            break;
        // A sink that plays instantly (a null device) never fills up: one top-up per call.
        if (queued == 0 && QueuedFrames() == 0)
            break;
    }
    if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED && m_sentBytes > 0)
        snd_pcm_start(pcm);
}

}  // namespace sondrel
