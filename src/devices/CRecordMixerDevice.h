// One mixer device with its source lines: those feeding the wave-in (record) destination
// and those of every other destination.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/CSmartPtrTarget.h"
#include "devices/CRecordMixerDeviceChannel.h"

namespace sondrel {

class CRecordMixerDevice : public CSmartPtrTarget {
public:
    std::string name;
    std::uint32_t index = 0;
    // Where a chosen channel is applied. Always 0: devices whose wave-in destination is
    // elsewhere are still addressed there.
    std::uint32_t recordDestination = 0;
    std::vector<ComPtr<CRecordMixerDeviceChannel>> otherChannels;
    std::vector<ComPtr<CRecordMixerDeviceChannel>> recordChannels;
};

}  // namespace sondrel
