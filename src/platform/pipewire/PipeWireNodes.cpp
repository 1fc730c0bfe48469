#include "platform/pipewire/PipeWireNodes.h"

#include <algorithm>
#include <charconv>

namespace sondrel {

namespace {

bool HasUsbIds(const std::string& vendor, const std::string& product, std::uint32_t vendorId,
               std::uint32_t productId) {
    return ParsePipeWireUsbId(vendor) == vendorId && ParsePipeWireUsbId(product) == productId;
}

bool BelongsToUsbDevice(const PipeWireNodeInfo& node, std::span<const PipeWireDeviceInfo> devices,
                        std::uint32_t vendorId, std::uint32_t productId) {
    if (HasUsbIds(node.vendorId, node.productId, vendorId, productId))
        return true;
    return std::any_of(devices.begin(), devices.end(), [&](const PipeWireDeviceInfo& device) {
        return device.id == node.deviceId && node.deviceId != kNoPipeWireId &&
               HasUsbIds(device.vendorId, device.productId, vendorId, productId);
    });
}

}  // namespace

std::optional<std::uint32_t> ParsePipeWireUsbId(std::string_view text) {
    if (text.starts_with("0x") || text.starts_with("0X"))
        text.remove_prefix(2);
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [last, ec] = std::from_chars(text.data(), end, value, 16);
    if (text.empty() || ec != std::errc() || last != end || value > 0xFFFF)
        return std::nullopt;
    return value;
}

bool IsPipeWireCaptureNode(const PipeWireNodeInfo& node) {
    return node.mediaClass == "Audio/Source" || node.mediaClass == "Audio/Duplex";
}

const PipeWireNodeInfo* FindPipeWireUsbCaptureNode(std::span<const PipeWireNodeInfo> nodes,
                                                   std::span<const PipeWireDeviceInfo> devices,
                                                   std::uint32_t vendorId, std::uint32_t productId,
                                                   std::span<const char* const> names) {
    for (const PipeWireNodeInfo& node : nodes) {
        if (IsPipeWireCaptureNode(node) && BelongsToUsbDevice(node, devices, vendorId, productId))
            return &node;
    }
    for (const char* name : names) {
        if (name == nullptr)
            continue;
        const PipeWireNodeInfo* found = nullptr;
        int count = 0;
        for (const PipeWireNodeInfo& node : nodes) {
            if (IsPipeWireCaptureNode(node) && node.description.starts_with(name)) {
                found = &node;
                ++count;
            }
        }
        if (count == 1)
            return found;
    }
    return nullptr;
}

GUID PipeWireNodeGuid(const PipeWireNodeInfo& node) {
    return GUID::FromName("pipewire:" + node.name);
}

}  // namespace sondrel
