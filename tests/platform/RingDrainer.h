// Drains a capture ring the way the capture thread does, for the ring tests of every backend.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/IAudioSystem.h"

namespace sondrel::test {

// Everything from its own offset up to the read position, as one or two regions, then unlock.
class RingDrainer {
public:
    explicit RingDrainer(ICaptureRing& ring) : m_ring(ring) {}

    // Appends what was available (at most maxBytes) to out; returns the bytes taken.
    std::uint32_t Poll(std::vector<std::int16_t>& out, std::uint32_t maxBytes = ~0u) {
        std::uint32_t capture = 0, read = 0;
        const HRESULT hr = m_ring.GetCurrentPosition(capture, read);
        if (hr == E_DEVICE_LOST) {
            m_deviceLost = true;
            return 0;
        }
        EXPECT_EQ(hr, S_OK);
        std::uint32_t end = read;
        if (end < m_offset)
            end += m_ring.SizeBytes();
        const std::uint32_t bytes = std::min(end - m_offset, maxBytes);
        if (bytes == 0)
            return 0;
        RingRegions regions;
        EXPECT_EQ(m_ring.Lock(m_offset, bytes, regions), S_OK);
        EXPECT_EQ(regions.firstBytes + regions.secondBytes, bytes);
        Append(regions.first, regions.firstBytes, out);
        Append(regions.second, regions.secondBytes, out);
        EXPECT_EQ(m_ring.Unlock(regions), S_OK);
        m_offset = (m_offset + bytes) % m_ring.SizeBytes();
        return bytes;
    }

    // True once the ring has answered that its device is gone.
    bool DeviceLost() const { return m_deviceLost; }

private:
    static void Append(const std::uint8_t* data, std::uint32_t bytes,
                       std::vector<std::int16_t>& out) {
        if (bytes == 0)
            return;
        const std::size_t at = out.size();
        out.resize(at + bytes / 2);
        std::memcpy(out.data() + at, data, bytes);
    }

    ICaptureRing& m_ring;
    std::uint32_t m_offset = 0;
    bool m_deviceLost = false;
};

}  // namespace sondrel::test
