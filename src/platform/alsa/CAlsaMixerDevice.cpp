#include "platform/alsa/CAlsaMixerDevice.h"

#include <algorithm>

#include "base/TextUtil.h"

namespace sondrel {

namespace {

// Names of capture-source enumerations, best first; any other capture enumeration is used
// when none of these exists.
constexpr std::string_view kSourceEnumNames[] = {"Capture Source", "Input Source",
                                                 "PCM Capture Source"};

}  // namespace

std::uint32_t CAlsaMixerDevice::ComponentTypeForName(std::string_view name) {
    if (ContainsNoCase(name, "mic"))
        return kMixerSrcMicrophone;
    if (ContainsNoCase(name, "line"))
        return kMixerSrcLine;
    if (ContainsNoCase(name, "cd"))
        return kMixerSrcCompactDisc;
    if (ContainsNoCase(name, "iec958") || ContainsNoCase(name, "spdif") ||
        ContainsNoCase(name, "digital")) {
        return kMixerSrcDigital;
    }
    return kMixerSrcAnalog;
}

HRESULT CAlsaMixerDevice::Create(std::string productName, std::unique_ptr<IAlsaMixerAccess> access,
                                 std::unique_ptr<IMixerDevice>& device) {
    device.reset();
    std::vector<AlsaMixerElement> elements;
    if (!access || !access->Read(elements))
        return E_FAIL;
    device.reset(
        new CAlsaMixerDevice(std::move(productName), std::move(access), std::move(elements)));
    return S_OK;
}

CAlsaMixerDevice::CAlsaMixerDevice(std::string productName,
                                   std::unique_ptr<IAlsaMixerAccess> access,
                                   std::vector<AlsaMixerElement> elements)
    : m_productName(std::move(productName)),
      m_access(std::move(access)),
      m_elements(std::move(elements)) {
    for (std::string_view wanted : kSourceEnumNames) {
        for (std::size_t e = 0; e < m_elements.size() && m_muxElement < 0; ++e) {
            if (m_elements[e].isCaptureEnum && EqualsNoCase(m_elements[e].name, wanted))
                m_muxElement = static_cast<int>(e);
        }
    }
    for (std::size_t e = 0; e < m_elements.size() && m_muxElement < 0; ++e) {
        if (m_elements[e].isCaptureEnum && !m_elements[e].items.empty())
            m_muxElement = static_cast<int>(e);
    }

    const auto sourceFor = [&](std::string name, int volumeElement) {
        Source source;
        source.componentType = ComponentTypeForName(name);
        source.name = std::move(name);
        source.volumeElement = volumeElement;
        if (volumeElement >= 0) {
            const auto channels =
                m_elements[static_cast<std::size_t>(volumeElement)].volumes.size();
            source.channels = static_cast<std::uint32_t>(std::max<std::size_t>(channels, 1));
        }
        return source;
    };
    if (m_muxElement >= 0) {
        // Each item of the enumeration is a line; its volume is the capture volume element
        // of the same name ("Mic", "Line"), when the card has one.
        for (const std::string& item : m_elements[static_cast<std::size_t>(m_muxElement)].items) {
            int volume = -1;
            for (std::size_t e = 0; e < m_elements.size() && volume < 0; ++e) {
                if (m_elements[e].hasCaptureVolume && EqualsNoCase(m_elements[e].name, item))
                    volume = static_cast<int>(e);
            }
            m_sources.push_back(sourceFor(item, volume));
        }
    } else {
        for (std::size_t e = 0; e < m_elements.size(); ++e) {
            if (m_elements[e].hasCaptureVolume)
                m_sources.push_back(sourceFor(m_elements[e].name, static_cast<int>(e)));
        }
    }
}

HRESULT CAlsaMixerDevice::GetCaps(std::string& productName, std::uint32_t& destinations) {
    productName = m_productName;
    destinations = 1;
    return S_OK;
}

HRESULT CAlsaMixerDevice::GetDestination(std::uint32_t destination, MixerLineInfo& line) {
    if (destination != 0)
        return E_FAIL;
    line = MixerLineInfo{};
    line.name = "Capture";
    line.componentType = kMixerDstWaveIn;
    // The multiplexer is uniform: one selection for every channel.
    line.channels = 1;
    line.connections = static_cast<std::uint32_t>(m_sources.size());
    line.controls = m_muxElement >= 0 ? 1 : 0;
    return S_OK;
}

HRESULT CAlsaMixerDevice::GetSource(std::uint32_t destination, std::uint32_t source,
                                    MixerLineInfo& line) {
    if (destination != 0 || source >= m_sources.size())
        return E_FAIL;
    const Source& s = m_sources[source];
    line = MixerLineInfo{};
    line.name = s.name;
    line.componentType = s.componentType;
    line.targetType = 0;
    line.channels = s.channels;
    line.connections = 0;
    line.controls = s.volumeElement >= 0 ? 1 : 0;
    return S_OK;
}

HRESULT CAlsaMixerDevice::GetDestinationControl(std::uint32_t destination,
                                                std::uint32_t controlType,
                                                MixerControlInfo& control) {
    if (destination != 0 || controlType != kMixerControlMux || m_muxElement < 0)
        return E_FAIL;
    control = MixerControlInfo{};
    control.controlId = kMuxControlId;
    control.controlType = kMixerControlMux;
    control.multipleItems = static_cast<std::uint32_t>(m_sources.size());
    control.minimum = 0;
    control.maximum = 1;
    return S_OK;
}

HRESULT CAlsaMixerDevice::GetSourceControl(std::uint32_t destination, std::uint32_t source,
                                           std::uint32_t controlType, MixerControlInfo& control) {
    if (destination != 0 || source >= m_sources.size() || controlType != kMixerControlVolume)
        return E_FAIL;
    const Source& s = m_sources[source];
    if (s.volumeElement < 0)
        return E_FAIL;
    const AlsaMixerElement& element = m_elements[static_cast<std::size_t>(s.volumeElement)];
    control = MixerControlInfo{};
    control.controlId = kFirstVolumeControlId + source;
    control.controlType = kMixerControlVolume;
    control.minimum = 0;
    control.maximum = static_cast<std::uint32_t>(element.volumeMax - element.volumeMin);
    return S_OK;
}

const CAlsaMixerDevice::Source* CAlsaMixerDevice::VolumeSource(std::uint32_t controlId) const {
    if (controlId < kFirstVolumeControlId || controlId - kFirstVolumeControlId >= m_sources.size())
        return nullptr;
    const Source& source = m_sources[controlId - kFirstVolumeControlId];
    return source.volumeElement >= 0 ? &source : nullptr;
}

// The multiplexer lists the sources last-first, as the legacy mixers of USB audio devices
// do; callers reverse the items to line them up with source indices.
HRESULT CAlsaMixerDevice::GetControlValues(std::uint32_t controlId, std::uint32_t channels,
                                           std::uint32_t items,
                                           std::vector<std::uint32_t>& values) {
    values.clear();
    if (channels == 0 || !m_access->Read(m_elements))
        return E_FAIL;
    if (controlId == kMuxControlId && m_muxElement >= 0) {
        const auto count = static_cast<std::uint32_t>(m_sources.size());
        if (items != count)
            return E_FAIL;
        const unsigned selected = m_elements[static_cast<std::size_t>(m_muxElement)].selectedItem;
        for (std::uint32_t c = 0; c < channels; ++c) {
            for (std::uint32_t item = 0; item < count; ++item)
                values.push_back(count - 1 - item == selected ? 1 : 0);
        }
        return S_OK;
    }
    const Source* source = VolumeSource(controlId);
    if (source == nullptr || items != 0 || (channels != 1 && channels != source->channels))
        return E_FAIL;
    const AlsaMixerElement& element = m_elements[static_cast<std::size_t>(source->volumeElement)];
    if (element.volumes.empty())
        return E_FAIL;
    for (std::uint32_t c = 0; c < channels; ++c) {
        const long raw = element.volumes[std::min<std::size_t>(c, element.volumes.size() - 1)];
        values.push_back(static_cast<std::uint32_t>(
            std::clamp(raw, element.volumeMin, element.volumeMax) - element.volumeMin));
    }
    return S_OK;
}

HRESULT CAlsaMixerDevice::SetControlValues(std::uint32_t controlId, std::uint32_t channels,
                                           std::uint32_t items,
                                           const std::vector<std::uint32_t>& values) {
    if (channels == 0)
        return E_FAIL;
    if (controlId == kMuxControlId && m_muxElement >= 0) {
        const auto count = static_cast<std::uint32_t>(m_sources.size());
        if (items != count || values.size() != std::size_t{count} * channels)
            return E_FAIL;
        // The first item set in any channel's block is the choice; an enumeration holds one.
        for (std::uint32_t item = 0; item < count; ++item) {
            for (std::uint32_t c = 0; c < channels; ++c) {
                if (values[c * count + item] != 0) {
                    return m_access->SetEnumItem(static_cast<std::size_t>(m_muxElement),
                                                 count - 1 - item)
                               ? S_OK
                               : E_FAIL;
                }
            }
        }
        return E_FAIL;
    }
    const Source* source = VolumeSource(controlId);
    if (source == nullptr || items != 0 || (channels != 1 && channels != source->channels) ||
        values.size() != channels) {
        return E_FAIL;
    }
    const AlsaMixerElement& element = m_elements[static_cast<std::size_t>(source->volumeElement)];
    const auto span = static_cast<std::uint64_t>(element.volumeMax - element.volumeMin);
    std::vector<long> volumes;
    for (std::uint32_t c = 0; c < source->channels; ++c) {
        const std::uint32_t value = values[channels == 1 ? 0 : c];
        if (value > span)
            return E_FAIL;
        volumes.push_back(element.volumeMin + static_cast<long>(value));
    }
    return m_access->SetCaptureVolumes(static_cast<std::size_t>(source->volumeElement), volumes)
               ? S_OK
               : E_FAIL;
}

}  // namespace sondrel
