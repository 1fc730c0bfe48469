#include "app/SettingsValue.h"

#include <charconv>

namespace sondrel {

bool ParseSettingsInteger(std::string_view text, std::uint32_t& value) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty())
        return false;
    bool negative = false;
    if (text.front() == '-' || text.front() == '+') {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc{} || end != text.data() + text.size())
        return false;
    if (negative) {
        if (magnitude > 0x80000000ull)
            return false;
        value = static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(magnitude));
        return true;
    }
    if (magnitude > 0xFFFFFFFFull)
        return false;
    value = static_cast<std::uint32_t>(magnitude);
    return true;
}

bool SettingsIntegerFromBytes(std::span<const std::uint8_t> bytes, std::uint32_t& value) {
    if (bytes.size() > 4)
        return false;
    std::uint32_t number = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        number |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    value = number;
    return true;
}

}  // namespace sondrel
