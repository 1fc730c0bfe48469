#include "platform/pipewire/CPipeWireAudioSystem.h"

#include <algorithm>
#include <cstdlib>

#include "base/TextUtil.h"
#include "platform/CaptureHolder.h"
#include "platform/DebugOutput.h"
#include "platform/pipewire/CPipeWireCaptureRing.h"
#include "platform/pipewire/CPipeWireOutputRing.h"

namespace sondrel {

namespace {

// Long enough for a session manager to link the stream and the node to start its device.
constexpr int kStartTimeoutMs = 4000;

}  // namespace

CPipeWireAudioSystem::CPipeWireAudioSystem(std::unique_ptr<CPipeWireConnection> connection,
                                           std::filesystem::path procAsound)
    : m_connection(std::move(connection)),
      m_procAsound(std::move(procAsound)),
      m_loss(std::make_shared<std::atomic<int>>(0)),
      m_underruns(std::make_shared<std::atomic<std::uint64_t>>(0)) {}

CPipeWireAudioSystem::~CPipeWireAudioSystem() = default;

bool CPipeWireAudioSystem::CaptureNodes(std::vector<PipeWireNodeInfo>& nodes,
                                        std::vector<PipeWireDeviceInfo>* devices) {
    std::vector<PipeWireDeviceInfo> all;
    if (!m_connection->Snapshot(nodes, all))
        return false;
    std::erase_if(nodes, [](const PipeWireNodeInfo& node) { return !IsPipeWireCaptureNode(node); });
    if (devices != nullptr)
        *devices = std::move(all);
    return true;
}

HRESULT CPipeWireAudioSystem::EnumerateCaptureDevices(std::vector<AudioDeviceEntry>& devices) {
    devices.clear();
    std::vector<PipeWireNodeInfo> nodes;
    if (!CaptureNodes(nodes))
        return E_FAIL;
    devices.push_back({"Default source (PipeWire)", GUID{}});
    for (const PipeWireNodeInfo& node : nodes)
        devices.push_back({node.description, PipeWireNodeGuid(node)});
    return S_OK;
}

HRESULT CPipeWireAudioSystem::EnumerateOutputDevices(std::vector<AudioDeviceEntry>& devices) {
    devices.assign(1, {"Default output (PipeWire)", GUID{}});
    return m_connection->ServerGone() ? E_FAIL : S_OK;
}

std::optional<GUID> CPipeWireAudioSystem::FindUsbCaptureDevice(std::uint32_t vendorId,
                                                               std::uint32_t productId,
                                                               std::span<const char* const> names) {
    std::vector<PipeWireNodeInfo> nodes;
    std::vector<PipeWireDeviceInfo> devices;
    if (!CaptureNodes(nodes, &devices))
        return GUID{};
    const PipeWireNodeInfo* node =
        FindPipeWireUsbCaptureNode(nodes, devices, vendorId, productId, names);
    if (node == nullptr) {
        OutputDebugText("PipeWire: no source node belongs to the USB device\n");
        return GUID{};
    }
    OutputDebugText("PipeWire: the USB device records from node " + std::to_string(node->id) +
                    " \"" + node->description + "\" (" + node->name + ")\n");
    return PipeWireNodeGuid(*node);
}

HRESULT CPipeWireAudioSystem::Refuse(HRESULT hr, std::string error) {
    m_lastError = std::move(error);
    OutputDebugText("PipeWire: " + m_lastError + "\n");
    return hr;
}

HRESULT CPipeWireAudioSystem::CreateCaptureRing(const GUID& deviceId, const WAVEFORMATEX& format,
                                                std::uint32_t bufferBytes,
                                                std::unique_ptr<ICaptureRing>& ring) {
    ring.reset();
    std::vector<PipeWireNodeInfo> nodes;
    if (!CaptureNodes(nodes))
        return Refuse(E_FAIL, "the server does not answer");
    const auto node = std::find_if(nodes.begin(), nodes.end(), [&](const PipeWireNodeInfo& n) {
        return PipeWireNodeGuid(n) == deviceId;
    });
    if (node == nodes.end())
        return Refuse(E_FAIL, "no source node with id " + deviceId.ToString());
    // A suspended node has closed its card, so whoever has it open is another program; the
    // server would only wait for it (and log why), so say so at once.
    const std::string holder = node->suspended ? CardHolder(*node) : std::string();
    if (!holder.empty())
        return Refuse(E_DEVICE_BUSY,
                      "the card of \"" + node->description + "\" is held by " + holder);
    m_loss->store(0);
    m_lostNode = node->description;
    auto capture =
        std::make_unique<CPipeWireCaptureRing>(*m_connection, bufferBytes, format, m_loss);
    std::string error;
    if (Succeeded(capture->Connect(*node, kStartTimeoutMs, error))) {
        ring = std::move(capture);
        return S_OK;
    }
    // A node that cannot open its card says why; a card another program holds is busy.
    const bool busy = ContainsNoCase(error, "resource busy") || !CardHolder(*node).empty();
    return Refuse(busy ? E_DEVICE_BUSY : E_FAIL, error);
}

HRESULT CPipeWireAudioSystem::CreateOutputRing(const GUID& /*deviceId*/, const WAVEFORMATEX& format,
                                               std::uint32_t bufferBytes,
                                               std::unique_ptr<IOutputRing>& ring) {
    ring.reset();
    auto output =
        std::make_unique<CPipeWireOutputRing>(*m_connection, bufferBytes, format, m_underruns);
    std::string error;
    if (Failed(output->Connect(error)))
        return Refuse(E_FAIL, error);
    ring = std::move(output);
    return S_OK;
}

std::string CPipeWireAudioSystem::CaptureLossReason() {
    switch (static_cast<PipeWireLoss>(m_loss->load())) {
        case PipeWireLoss::NodeGone:
            return "its PipeWire node \"" + m_lostNode + "\" went away";
        case PipeWireLoss::ServerGone:
            return "the PipeWire server stopped";
        case PipeWireLoss::StreamEnded:
            return "PipeWire ended the stream from \"" + m_lostNode + "\"";
        case PipeWireLoss::None:
            break;
    }
    return {};
}

std::string CPipeWireAudioSystem::CardHolder(const PipeWireNodeInfo& node) const {
    if (node.alsaCard.empty())
        return {};
    return FindCaptureHolder(m_procAsound, std::atoi(node.alsaCard.c_str()), node.alsaDevice);
}

std::string CPipeWireAudioSystem::CaptureDeviceHolder(const GUID& deviceId) {
    std::vector<PipeWireNodeInfo> nodes;
    CaptureNodes(nodes);
    for (const PipeWireNodeInfo& node : nodes) {
        if (PipeWireNodeGuid(node) == deviceId)
            return CardHolder(node);
    }
    return {};
}

HRESULT CPipeWireAudioSystem::EnumerateActiveCaptureEndpoints(
    std::vector<CaptureEndpointInfo>& endpoints) {
    endpoints.clear();
    std::vector<PipeWireNodeInfo> nodes;
    if (!CaptureNodes(nodes))
        return E_FAIL;
    for (const PipeWireNodeInfo& node : nodes)
        endpoints.push_back({node.description, node.channels});
    return S_OK;
}

std::vector<std::pair<std::string, std::string>> CPipeWireAudioSystem::CaptureCards() {
    std::vector<std::pair<std::string, std::string>> cards;
    std::vector<PipeWireNodeInfo> nodes;
    CaptureNodes(nodes);
    for (const PipeWireNodeInfo& node : nodes) {
        if (!node.alsaCard.empty())
            cards.emplace_back(node.description, node.alsaCard);
    }
    return cards;
}

}  // namespace sondrel
