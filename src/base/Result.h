// COM-style 32-bit result codes used between every engine part; negative values are failures.
#pragma once

#include <cstdint>

namespace sondrel {

using HRESULT = std::int32_t;

inline constexpr HRESULT S_OK = 0;
// Nothing at this index, not open, or still running.
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);

constexpr bool Succeeded(HRESULT hr) {
    return hr >= 0;
}
constexpr bool Failed(HRESULT hr) {
    return hr < 0;
}

}  // namespace sondrel
