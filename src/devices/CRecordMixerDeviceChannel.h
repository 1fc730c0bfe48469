// One source line of a mixer device; its index within its destination is the channel id
// the recorder hands out.
#pragma once

#include <cstdint>
#include <string>

#include "base/CSmartPtrTarget.h"

namespace sondrel {

class CRecordMixerDeviceChannel : public CSmartPtrTarget {
public:
    std::string name;
    std::string deviceName;
    std::uint32_t sourceIndex = 0;
    std::uint32_t componentType = 0;
    std::uint32_t targetType = 0;
    std::uint32_t connections = 0;
    std::uint32_t controls = 0;
};

}  // namespace sondrel
