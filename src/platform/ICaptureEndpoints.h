// The active capture endpoints with the channel count of the format each one is set to,
// for the stereo check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

struct CaptureEndpointInfo {
    std::string friendlyName;          // UTF-8
    std::uint16_t formatChannels = 0;  // 0 when the endpoint's format cannot be read
};

// Threading: main thread only.
class ICaptureEndpoints {
public:
    virtual ~ICaptureEndpoints() = default;

    // Replaces endpoints with the active capture endpoints in the system's order; E_FAIL when
    // they cannot be listed.
    virtual HRESULT EnumerateActiveCaptureEndpoints(
        std::vector<CaptureEndpointInfo>& endpoints) = 0;
};

}  // namespace sondrel
