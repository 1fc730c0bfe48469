// The devices' legacy mixers: destinations (wave-in is the record destination), their source
// lines, the record-source multiplexer and line volume controls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Result.h"

namespace sondrel {

// Line component types and control types, with the values the mixer interface defines.
inline constexpr std::uint32_t kMixerDstSpeakers = 4;
inline constexpr std::uint32_t kMixerDstWaveIn = 7;
inline constexpr std::uint32_t kMixerSrcDigital = 0x1001;
inline constexpr std::uint32_t kMixerSrcLine = 0x1002;
inline constexpr std::uint32_t kMixerSrcMicrophone = 0x1003;
inline constexpr std::uint32_t kMixerSrcCompactDisc = 0x1005;
inline constexpr std::uint32_t kMixerSrcWaveOut = 0x1008;
inline constexpr std::uint32_t kMixerSrcAnalog = 0x100A;
inline constexpr std::uint32_t kMixerControlMux = 0x70010001;
inline constexpr std::uint32_t kMixerControlVolume = 0x50030001;

struct MixerLineInfo {
    std::string name;  // the line's full name
    std::uint32_t componentType = 0;
    std::uint32_t targetType = 0;
    std::uint32_t channels = 0;
    std::uint32_t connections = 0;  // for a destination: how many source lines it has
    std::uint32_t controls = 0;
};

struct MixerControlInfo {
    std::uint32_t controlId = 0;
    std::uint32_t controlType = 0;
    std::uint32_t multipleItems = 0;  // items of a multiplexer, 0 for a plain control
    std::uint32_t minimum = 0;
    std::uint32_t maximum = 0;
};

// One opened mixer; closing is destroying it.
// Threading: main thread only, like IMixerSystem.
class IMixerDevice {
public:
    virtual ~IMixerDevice() = default;

    virtual HRESULT GetCaps(std::string& productName, std::uint32_t& destinations) = 0;
    virtual HRESULT GetDestination(std::uint32_t destination, MixerLineInfo& line) = 0;
    virtual HRESULT GetSource(std::uint32_t destination, std::uint32_t source,
                              MixerLineInfo& line) = 0;
    // The first control of the given type on a destination line / on a source line.
    virtual HRESULT GetDestinationControl(std::uint32_t destination, std::uint32_t controlType,
                                          MixerControlInfo& control) = 0;
    virtual HRESULT GetSourceControl(std::uint32_t destination, std::uint32_t source,
                                     std::uint32_t controlType, MixerControlInfo& control) = 0;
    // Values are laid out channel by channel, each channel holding max(items, 1) values:
    // values[channel * items + item]. A multiplexer's values are booleans (0 or 1) per item.
    virtual HRESULT GetControlValues(std::uint32_t controlId, std::uint32_t channels,
                                     std::uint32_t items, std::vector<std::uint32_t>& values) = 0;
    virtual HRESULT SetControlValues(std::uint32_t controlId, std::uint32_t channels,
                                     std::uint32_t items,
                                     const std::vector<std::uint32_t>& values) = 0;
};

// Threading: main thread only; calls may block briefly.
class IMixerSystem {
public:
    virtual ~IMixerSystem() = default;

    virtual std::uint32_t GetDeviceCount() = 0;
    // E_FAIL when the index is out of range or the mixer cannot be opened.
    virtual HRESULT Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) = 0;
};

}  // namespace sondrel
