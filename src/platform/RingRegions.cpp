#include "platform/RingRegions.h"

#include <algorithm>

namespace sondrel {

bool LockRingRegions(std::span<std::uint8_t> buffer, std::uint32_t offsetBytes, std::uint32_t bytes,
                     RingRegions& regions) {
    regions = RingRegions{};
    const auto size = static_cast<std::uint32_t>(buffer.size());
    if (offsetBytes >= size || bytes > size || bytes == 0)
        return false;
    const std::uint32_t first = std::min(bytes, size - offsetBytes);
    regions.first = buffer.data() + offsetBytes;
    regions.firstBytes = first;
    if (bytes > first) {
        regions.second = buffer.data();
        regions.secondBytes = bytes - first;
    }
    return true;
}

bool RingRegionsInside(std::span<const std::uint8_t> buffer, const RingRegions& regions) {
    const std::uint8_t* begin = buffer.data();
    const std::uint8_t* end = begin + buffer.size();
    const auto inside = [&](const std::uint8_t* p, std::uint32_t n) {
        return n == 0 || (p >= begin && p + n <= end);
    };
    return inside(regions.first, regions.firstBytes) && inside(regions.second, regions.secondBytes);
}

}  // namespace sondrel
