// What the PipeWire backend knows of the server's audio nodes and devices, and how it picks
// the USB device's capture node among them: by the USB ids on the node or on its device, else
// by a description that starts with one of the device's capture names.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Guid.h"

namespace sondrel {

// PipeWire's "no object" id.
inline constexpr std::uint32_t kNoPipeWireId = 0xFFFFFFFFu;

struct PipeWireNodeInfo {
    std::uint32_t id = kNoPipeWireId;
    std::string serial;       // object.serial
    std::string name;         // node.name
    std::string description;  // node.description (node.nick or node.name when it has none)
    std::string mediaClass;   // "Audio/Source", "Audio/Sink", ...
    std::uint32_t deviceId = kNoPipeWireId;
    std::string vendorId;        // device.vendor.id as the node carries it ("0x08bb"), else empty
    std::string productId;       // device.product.id
    std::string alsaCard;        // the ALSA card number of a sound-card node, else empty
    int alsaDevice = -1;         // the card's PCM device the node opens, -1 when it does not say
    std::uint16_t channels = 0;  // audio.channels, 0 when the node does not say
    bool suspended = false;      // the node has closed its device (and holds nothing)
    bool failed = false;         // the node is in its error state...
    std::string error;           // ...for this reason
};

struct PipeWireDeviceInfo {
    std::uint32_t id = kNoPipeWireId;
    std::string vendorId;
    std::string productId;
};

// A USB id as PipeWire writes it: hexadecimal, with or without "0x".
std::optional<std::uint32_t> ParsePipeWireUsbId(std::string_view text);

// Nodes that record: sources and duplex nodes, never a sink's monitor.
bool IsPipeWireCaptureNode(const PipeWireNodeInfo& node);

// The capture node whose USB ids, or whose device's, are these; failing that the one capture
// node whose description starts with the first of names that begins exactly one description.
// nullptr when neither finds one.
const PipeWireNodeInfo* FindPipeWireUsbCaptureNode(std::span<const PipeWireNodeInfo> nodes,
                                                   std::span<const PipeWireDeviceInfo> devices,
                                                   std::uint32_t vendorId, std::uint32_t productId,
                                                   std::span<const char* const> names);

// The id a node keeps for as long as its name stays: what the engine's device lists carry.
GUID PipeWireNodeGuid(const PipeWireNodeInfo& node);

}  // namespace sondrel
