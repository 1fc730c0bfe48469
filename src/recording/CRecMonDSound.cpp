#include "recording/CRecMonDSound.h"

#include <algorithm>
#include <cstring>

#include "platform/IAudioSystem.h"

namespace sondrel {

CRecMonDSound::CRecMonDSound() = default;
CRecMonDSound::~CRecMonDSound() = default;

HRESULT CRecMonDSound::Open(IAudioSystem& audio, const GUID& deviceId, std::uint32_t ringBytes,
                            const WAVEFORMATEX& format) {
    m_ring.reset();
    m_deviceId = deviceId;
    m_writeOffsetBytes = 0;
    m_notPlaying = true;
    const HRESULT hr = audio.CreateOutputRing(deviceId, format, ringBytes, m_ring);
    if (Failed(hr) || !m_ring) {
        m_ring.reset();
        return Failed(hr) ? hr : E_FAIL;
    }
    m_sizeBytes = m_ring->SizeBytes();
    return S_OK;
}

void CRecMonDSound::Write(const std::uint8_t* region, std::uint32_t bytes) {
    if (!m_ring || bytes == 0 || m_sizeBytes == 0)
        return;
    // A region larger than the ring cannot be queued whole; its newest part is what matters.
    if (bytes > m_sizeBytes) {
        region += bytes - m_sizeBytes;
        bytes = m_sizeBytes;
    }
    std::uint32_t playCursor = 0, writeCursor = 0;
    if (Failed(m_ring->GetCurrentPosition(playCursor, writeCursor)))
        return;
    std::int64_t ahead = static_cast<std::int64_t>(m_writeOffsetBytes) - writeCursor;
    if (m_writeOffsetBytes < writeCursor)
        ahead += m_sizeBytes;
    // More than half a ring ahead means the device has overtaken us: we are behind.
    if (ahead > m_sizeBytes / 2)
        ahead -= m_sizeBytes;
    if (ahead < static_cast<std::int64_t>(kLeadBytes))
        m_writeOffsetBytes = (writeCursor + kLeadBytes) % m_sizeBytes;

    RingRegions regions;
    if (Failed(m_ring->Lock(m_writeOffsetBytes, bytes, regions)))
        return;
    std::uint32_t copied = 0;
    if (regions.first != nullptr && regions.firstBytes > 0 && bytes >= regions.firstBytes) {
        std::memcpy(regions.first, region, regions.firstBytes);
        copied = regions.firstBytes;
    }
    if (regions.second != nullptr && regions.secondBytes > 0 && bytes != regions.firstBytes) {
        const std::uint32_t rest = std::min(bytes - copied, regions.secondBytes);
        std::memcpy(regions.second, region + copied, rest);
        copied += rest;
    }
    m_ring->Unlock(regions);
    m_writeOffsetBytes = static_cast<std::uint32_t>((m_writeOffsetBytes + copied) % m_sizeBytes);
    if (m_notPlaying && m_writeOffsetBytes > kLeadBytes) {
        m_ring->PlayLooping();
        m_notPlaying = false;
    }
}

std::uint32_t CRecMonDSound::QueuedBytes() {
    std::uint32_t playCursor = 0, writeCursor = 0;
    if (!m_ring || m_sizeBytes == 0 || Failed(m_ring->GetCurrentPosition(playCursor, writeCursor)))
        return 0;
    std::int64_t queued = static_cast<std::int64_t>(m_writeOffsetBytes) - playCursor;
    if (queued < 0)
        queued += m_sizeBytes;
    // As in Write: more than half a ring means the device has played past what was queued.
    return queued > m_sizeBytes / 2 ? 0 : static_cast<std::uint32_t>(queued);
}

void CRecMonDSound::Stop() {
    if (m_ring)
        m_ring->Stop();
}

}  // namespace sondrel
