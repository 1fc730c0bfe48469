#include "platform/udev/UsbHardwareId.h"

#include <cstdint>

#include "devices/KnownDevices.h"

namespace sondrel {

namespace {

// sysfs attributes end with a newline; some tools hand them over with blanks as well.
std::string_view Trimmed(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint16_t> ParseHex16(std::string_view text) {
    text = Trimmed(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 4)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(digit);
    }
    return static_cast<std::uint16_t>(value);
}

std::optional<std::uint16_t> Attribute(const UsbAttributeLookup& attribute, std::string_view name) {
    const std::optional<std::string> text = attribute(name);
    if (!text)
        return std::nullopt;
    return ParseHex16(*text);
}

}  // namespace

std::string BuildUsbHardwareId(const UsbAttributeLookup& attribute) {
    const std::optional<std::uint16_t> vendor = Attribute(attribute, "idVendor");
    const std::optional<std::uint16_t> product = Attribute(attribute, "idProduct");
    if (!vendor || !product)
        return {};
    return FormatHardwareId(*vendor, *product, Attribute(attribute, "bcdDevice"));
}

}  // namespace sondrel
