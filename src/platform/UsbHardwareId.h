// Hardware ids of USB devices in the Windows form "USB\VID_15E4&PID_0174&REV_0100", the form
// every device list hands on: reading the ids back, writing one, and building one from the
// attributes the kernel reports for a device (idVendor, idProduct, bcdDevice).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace sondrel {

// (vendorId, productId).
using UsbIdPair = std::pair<std::uint32_t, std::uint32_t>;

// Reads the hexadecimal numbers after the first "USB\VID_" and the first "&PID_" (any case);
// a missing marker or number gives 0.
UsbIdPair ParseHardwareId(std::string_view hardwareId);
// The hardware id of a USB device with these ids: upper-case hex padded to four digits; without
// a revision the "&REV_" part is left out.
std::string FormatHardwareId(std::uint32_t vendorId, std::uint32_t productId,
                             std::optional<std::uint32_t> revision = std::nullopt);

// Looks up one attribute of a device by name; nullopt when the device has none.
using UsbAttributeLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The hardware id, upper-case hex padded to four digits. An empty string when the vendor or
// the product id is missing or not a 16-bit hexadecimal number (such an entry matches no
// known device). A missing or unreadable bcdDevice leaves out the "&REV_" part.
std::string BuildUsbHardwareId(const UsbAttributeLookup& attribute);

}  // namespace sondrel
