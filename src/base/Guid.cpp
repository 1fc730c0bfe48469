#include "base/Guid.h"

#include <cstdio>

#include "base/TextUtil.h"

namespace sondrel {

std::string GUID::ToString() const {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(data1), static_cast<unsigned>(data2),
                  static_cast<unsigned>(data3), data4[0], data4[1], data4[2], data4[3], data4[4],
                  data4[5], data4[6], data4[7]);
    return text;
}

namespace {}  // namespace

std::optional<GUID> GUID::Parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}') {
        text = text.substr(1, 36);
    }
    if (text.size() != 36)
        return std::nullopt;
    std::uint8_t bytes[16];
    std::size_t byteIndex = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int hi = HexDigitValue(text[i]);
        const int lo = HexDigitValue(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[byteIndex++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    GUID g;
    g.data1 = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
              (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.data4[i] = bytes[8 + i];
    return g;
}

GUID GUID::FromName(std::string_view name) {
    // Two independent FNV-1a passes give 128 bits; good enough for telling devices apart.
    std::uint64_t h1 = 0xcbf29ce484222325ull;
    std::uint64_t h2 = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        h1 = (h1 ^ c) * 0x100000001b3ull;
        h2 = (h2 ^ static_cast<unsigned char>(c + 0x5a)) * 0x100000001b3ull;
    }
    GUID g;
    g.data1 = static_cast<std::uint32_t>(h1 >> 32);
    g.data2 = static_cast<std::uint16_t>(h1 >> 16);
    g.data3 = static_cast<std::uint16_t>((h1 & 0x0fff) | 0x5000);
    for (int i = 0; i < 8; ++i)
        g.data4[i] = static_cast<std::uint8_t>(h2 >> (8 * (7 - i)));
    g.data4[0] = static_cast<std::uint8_t>((g.data4[0] & 0x3f) | 0x80);
    return g;
}

}  // namespace sondrel
