// Builds the Windows-form hardware id "USB\VID_15E4&PID_0174&REV_0100" of a USB device from
// the attributes the kernel reports for it (idVendor, idProduct, bcdDevice), so that the
// known-device table recognises udev's devices with the same parser as everywhere else.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sondrel {

// Looks up one attribute of a device by name; nullopt when the device has none.
using UsbAttributeLookup = std::function<std::optional<std::string>(std::string_view name)>;

// The hardware id, upper-case hex padded to four digits. An empty string when the vendor or
// the product id is missing or not a 16-bit hexadecimal number (such an entry matches no
// known device). A missing or unreadable bcdDevice leaves out the "&REV_" part.
std::string BuildUsbHardwareId(const UsbAttributeLookup& attribute);

}  // namespace sondrel
