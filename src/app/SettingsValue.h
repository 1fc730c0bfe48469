// How a settings store turns a stored value of another type into the 32-bit integer asked
// for: the rules every store shares, so the file-backed and the in-memory store read alike.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace sondrel {

// Reads a 32-bit number from text as a settings file stores it: decimal, optionally signed
// (a negative number is kept as its two's-complement bits), or hexadecimal with "0x".
bool ParseSettingsInteger(std::string_view text, std::uint32_t& value);

// Binary data of at most 4 bytes read as a little-endian number; false for longer data.
bool SettingsIntegerFromBytes(std::span<const std::uint8_t> bytes, std::uint32_t& value);

}  // namespace sondrel
