#include "platform/UsbHardwareId.h"

#include <cstdint>
#include <cstdio>

#include "base/TextUtil.h"

namespace sondrel {

namespace {

// Reads a number the way "%x" does on upper-cased text: leading blanks, an optional sign and
// "0X", then hex digits up to the first other character. Out-of-range values saturate rather
// than wrap, so an overlong id can never alias a table row.
std::uint32_t ReadHex(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (text.substr(i, 2) == "0X" && i + 2 < text.size() && HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFull)
            value = 0x1FFFFFFFFull;  // keeps saturating, never overflows
    }
    if (value > 0xFFFFFFFFull)
        return 0xFFFFFFFFu;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

std::uint32_t ReadHexAfter(const std::string& upper, std::string_view marker) {
    const std::size_t at = upper.find(marker);
    if (at == std::string::npos)
        return 0;
    return ReadHex(std::string_view(upper).substr(at + marker.size()));
}

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
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
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

UsbIdPair ParseHardwareId(std::string_view hardwareId) {
    // Only ASCII letters matter to the markers and digits; other bytes stay as they are.
    std::string upper(hardwareId);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return {ReadHexAfter(upper, "USB\\VID_"), ReadHexAfter(upper, "&PID_")};
}

std::string FormatHardwareId(std::uint32_t vendorId, std::uint32_t productId,
                             std::optional<std::uint32_t> revision) {
    char text[48];
    if (revision) {
        std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X&REV_%04X", vendorId, productId,
                      *revision);
    } else {
        std::snprintf(text, sizeof text, "USB\\VID_%04X&PID_%04X", vendorId, productId);
    }
    return text;
}

std::string BuildUsbHardwareId(const UsbAttributeLookup& attribute) {
    const std::optional<std::uint16_t> vendor = Attribute(attribute, "idVendor");
    const std::optional<std::uint16_t> product = Attribute(attribute, "idProduct");
    if (!vendor || !product)
        return {};
    return FormatHardwareId(*vendor, *product, Attribute(attribute, "bcdDevice"));
}

}  // namespace sondrel
