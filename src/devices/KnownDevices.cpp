#include "devices/KnownDevices.h"

#include <cstdio>
#include <string>

#include "platform/DebugOutput.h"
#include "platform/IUsbDeviceList.h"

namespace sondrel {

// clang-format off
const std::array<KnownDevice, kKnownDeviceCount> kKnownDevices{{
    {0x08BB, 0x2900, {"USB Audio Codec", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
    {0x0D8C, 0x0121, {"USB PnP Device", nullptr, "USB PnP Audio Device"}, true, true, true},
    {0x08BB, 0x29B0, {"USB Audio Codec", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
    {0x0C76, 0x1600, {"USB PnP Audio Device", "USB Audio Device", "SSS USB Audio Device"}, true, true, false},
    {0x0D8C, 0x0131, {"USB PnP Audio Device", "USB Audio Device", "USB Audio Codec"}, true, true, true},
    {0x0DBC, 0x0121, {"USB PnP Audio Device", "USB Audio Device", "USB Audio Codec"}, true, true, true},
    {0x2034, 0x0105, {"USB PnP Audio Device", "USB Microphone", "USB Audio Codec"}, false, false, false},
    {0xEB1A, 0x5051, {"USB PnP Audio Device", "USB 2861 Device", "USB Audio Codec"}, false, false, false},
    {0x15E4, 0x0174, {"USB PnP Audio Device", "KORVELL PLATTER", "USB Audio Codec"}, false, false, false},
    {0x15E4, 0x0179, {"USB PnP Audio Device", "KORVELL CASSETTE", "USB Audio Codec"}, false, false, false},
    {0x0D8C, 0x0016, {"USB Audio Codec", "USB Audio Device", "USB Audio Codec"}, false, false, false},
    {0x08BB, 0x29C0, {"USB AUDIO  CODEC", "USB Audio Device", "Microphone (USB Audio Codec )"}, false, false, true},
}};
// clang-format on

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

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
    if (text.substr(i, 2) == "0X" && i + 2 < text.size() && HexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = HexDigit(text[i]);
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

}  // namespace

const KnownDevice* FindKnownDevice(std::uint32_t vendorId, std::uint32_t productId) {
    for (const KnownDevice& row : kKnownDevices) {
        if (row.vendorId == vendorId && row.productId == productId)
            return &row;
    }
    return nullptr;
}

bool IsKnownDevice(const UsbIdPair& ids) {
    return FindKnownDevice(ids.first, ids.second) != nullptr;
}

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

std::vector<UsbIdPair> FindKnownDevices(IUsbDeviceList& usb) {
    std::vector<UsbIdPair> found;
    std::vector<std::string> hardwareIds;
    if (Failed(usb.EnumeratePresentDevices(hardwareIds)))
        return found;
    for (const std::string& id : hardwareIds) {
        const UsbIdPair ids = ParseHardwareId(id);
        if (IsKnownDevice(ids)) {
            OutputDebugText("Found known device:" + id + "\n");
            found.push_back(ids);
        } else {
            OutputDebugText("Found unknown device:" + id + "\n");
        }
    }
    return found;
}

}  // namespace sondrel
