// The system version that the mixer and the stereo check consult.
#pragma once

#include <cstdint>

namespace sondrel {

inline constexpr std::uint32_t kPlatformIdNt = 2;

struct SystemVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t platformId = kPlatformIdNt;
};

// Threading: any thread.
class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    virtual SystemVersion GetVersion() = 0;
};

}  // namespace sondrel
