// 16-byte GUIDs in the Windows memory layout, used for device ids and interface ids.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sondrel {

struct GUID {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend bool operator==(const GUID&, const GUID&) = default;
    friend auto operator<=>(const GUID&, const GUID&) = default;

    bool IsNull() const { return *this == GUID{}; }

    // "{00000001-0000-0010-8000-00AA00389B71}" form, upper-case hex.
    std::string ToString() const;
    // Accepts the form above with or without braces, any hex case.
    static std::optional<GUID> Parse(std::string_view text);
    // A name-based GUID (FNV-1a over the name, version 5 style bits), stable across runs;
    // used where a device has a name but no id of its own.
    static GUID FromName(std::string_view name);
};
static_assert(sizeof(GUID) == 16);

}  // namespace sondrel
