// One per-user settings store: the named, typed values of one section ("Settings"), standing
// in for a registry key. The program has two: the vendor store and the application profile.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// Vendor store (Brevitt/Calvero).
inline constexpr std::string_view kUserExportFolderValue = "UserExportFolder";
inline constexpr std::string_view kExportFormatValue = "Export Format";
// Application profile (SDRL/<application name>).
inline constexpr std::string_view kRecordLevelValue = "Record Level";
inline constexpr std::string_view kRecordDeviceChannelValue = "Record Device Channel";
inline constexpr std::string_view kRecordDeviceValue = "Record Device";

// Threading: an implementation serialises its own calls, so any thread may use a store.
// Reads never change the store; failed writes are reported but callers may ignore them.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // S_OK when the value exists and is a string; S_FALSE when it is missing; E_FAIL when it
    // holds another type.
    virtual HRESULT ReadString(std::string_view name, std::string& value) = 0;
    // S_OK when the value exists and fits in 32 bits, whatever its stored type (an integer,
    // a number written as text, or at most 4 bytes of binary data, little-endian); S_FALSE
    // when missing; E_FAIL otherwise.
    virtual HRESULT ReadInteger(std::string_view name, std::uint32_t& value) = 0;
    // S_OK when the value exists and is binary data; S_FALSE when missing; E_FAIL otherwise.
    virtual HRESULT ReadBinary(std::string_view name, std::vector<std::uint8_t>& value) = 0;

    virtual HRESULT WriteString(std::string_view name, std::string_view value) = 0;
    virtual HRESULT WriteInteger(std::string_view name, std::uint32_t value) = 0;
    virtual HRESULT WriteBinary(std::string_view name, std::span<const std::uint8_t> value) = 0;
    virtual HRESULT Remove(std::string_view name) = 0;
};

}  // namespace sondrel
