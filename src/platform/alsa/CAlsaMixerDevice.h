// One sound card's capture controls seen as a legacy mixer: a single wave-in destination
// whose source lines are the items of the card's capture-source enumeration ("Capture
// Source", "Input Source", ...) or, without one, its capture volume elements; the
// enumeration is the destination's multiplexer and each line's capture volume its volume
// control. Works over a small access interface so that the mapping is testable without a
// sound card.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/IMixerSystem.h"

namespace sondrel {

// A simple mixer element as far as capture is concerned.
struct AlsaMixerElement {
    std::string name;
    bool hasCaptureVolume = false;
    long volumeMin = 0;
    long volumeMax = 0;
    std::vector<long> volumes;  // one per capture channel
    bool isCaptureEnum = false;
    std::vector<std::string> items;
    unsigned selectedItem = 0;
};

// Reading and writing a card's elements. Element indices are those of Read's result, which
// keeps the same elements in the same order for as long as the access is open.
class IAlsaMixerAccess {
public:
    virtual ~IAlsaMixerAccess() = default;
    virtual bool Read(std::vector<AlsaMixerElement>& elements) = 0;
    virtual bool SetEnumItem(std::size_t element, unsigned item) = 0;
    virtual bool SetCaptureVolumes(std::size_t element, const std::vector<long>& volumes) = 0;
};

// The wave-in destination's line and control ids and component types, as seen by callers.
class CAlsaMixerDevice final : public IMixerDevice {
public:
    static constexpr std::uint32_t kMuxControlId = 1;
    static constexpr std::uint32_t kFirstVolumeControlId = 16;

    // E_FAIL (device empty) when the access cannot read the card.
    static HRESULT Create(std::string productName, std::unique_ptr<IAlsaMixerAccess> access,
                          std::unique_ptr<IMixerDevice>& device);

    HRESULT GetCaps(std::string& productName, std::uint32_t& destinations) override;
    HRESULT GetDestination(std::uint32_t destination, MixerLineInfo& line) override;
    HRESULT GetSource(std::uint32_t destination, std::uint32_t source,
                      MixerLineInfo& line) override;
    HRESULT GetDestinationControl(std::uint32_t destination, std::uint32_t controlType,
                                  MixerControlInfo& control) override;
    HRESULT GetSourceControl(std::uint32_t destination, std::uint32_t source,
                             std::uint32_t controlType, MixerControlInfo& control) override;
    HRESULT GetControlValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
                             std::vector<std::uint32_t>& values) override;
    HRESULT SetControlValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
                             const std::vector<std::uint32_t>& values) override;

    // The component type a source line gets from its name ("Mic" is a microphone, ...).
    static std::uint32_t ComponentTypeForName(std::string_view name);

private:
    struct Source {
        std::string name;
        std::uint32_t componentType = kMixerSrcAnalog;
        int volumeElement = -1;
        std::uint32_t channels = 1;
    };

    CAlsaMixerDevice(std::string productName, std::unique_ptr<IAlsaMixerAccess> access,
                     std::vector<AlsaMixerElement> elements);
    const Source* VolumeSource(std::uint32_t controlId) const;

    std::string m_productName;
    std::unique_ptr<IAlsaMixerAccess> m_access;
    std::vector<AlsaMixerElement> m_elements;
    int m_muxElement = -1;
    std::vector<Source> m_sources;
};

}  // namespace sondrel
