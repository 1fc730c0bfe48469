// Maps a known USB device to its capture device: through the audio system where it knows the
// USB device's own capture device, otherwise by the table row's candidate names (the first
// name that matches exactly one capture device wins).
#pragma once

#include <cstdint>

#include "devices/KnownDevices.h"

namespace sondrel {

class IAudioSystem;

// No row and an all-zero guid when the ids are not in the table or no candidate name
// identifies a single capture device. Main thread only.
IdentifiedDevice IdentifyCaptureDevice(IAudioSystem& audio, std::uint32_t vendorId,
                                       std::uint32_t productId);

}  // namespace sondrel
