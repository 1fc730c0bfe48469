// Locking a span of a ring buffer as one or two regions, shared by every backend's rings.
#pragma once

#include <cstdint>
#include <span>

#include "platform/IAudioSystem.h"

namespace sondrel {

// The span [offsetBytes, offsetBytes + bytes) of buffer, wrapping at its end. False (and
// empty regions) when the offset lies outside the ring or the span is empty or too long.
bool LockRingRegions(std::span<std::uint8_t> buffer, std::uint32_t offsetBytes, std::uint32_t bytes,
                     RingRegions& regions);

// Whether both regions lie inside buffer, as regions that Lock handed out must.
bool RingRegionsInside(std::span<const std::uint8_t> buffer, const RingRegions& regions);

}  // namespace sondrel
