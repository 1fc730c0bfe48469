// The table of supported USB turntables and cassette decks, recognising them among the
// present USB devices by the vendor and product ids in their hardware ids.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Guid.h"
#include "platform/UsbHardwareId.h"

namespace sondrel {

class IUsbDeviceList;

struct KnownDevice {
    std::uint32_t vendorId;
    std::uint32_t productId;
    // Capture device names tried in order when the capture device is looked up; nullptr when
    // a row has no name in that place.
    std::array<const char*, 3> captureNames;
    bool offersTurntable;
    bool offersTape;
    // For a turntable recording: true gives the RIAA equaliser, false the bass-lift one.
    bool turntableRiaa;
};

inline constexpr std::size_t kKnownDeviceCount = 12;
extern const std::array<KnownDevice, kKnownDeviceCount> kKnownDevices;

// A table row (or none) and the capture device it was found under (all zero when none).
struct IdentifiedDevice {
    const KnownDevice* row = nullptr;
    GUID captureGuid;
};

// The first row with both ids equal, or nullptr.
const KnownDevice* FindKnownDevice(std::uint32_t vendorId, std::uint32_t productId);
bool IsKnownDevice(const UsbIdPair& ids);

// The id pairs of the present USB devices that are in the table, in the system's order
// (a device listed twice is returned twice). Every device is reported on the debug output as
// known or unknown. An enumeration failure gives an empty list.
std::vector<UsbIdPair> FindKnownDevices(IUsbDeviceList& usb);

}  // namespace sondrel
