#include "platform/sim/CSimMixerSystem.h"

#include <algorithm>

namespace sondrel {

namespace {

class CSimMixerDevice final : public IMixerDevice {
public:
    CSimMixerDevice(CSimMixerSystem& system, std::uint32_t index)
        : m_system(system), m_mixer(system.Description().mixers[index]), m_index(index) {}

    HRESULT GetCaps(std::string& productName, std::uint32_t& destinations) override {
        productName = m_mixer.name;
        destinations = static_cast<std::uint32_t>(m_mixer.destinations.size());
        return S_OK;
    }

    HRESULT GetDestination(std::uint32_t destination, MixerLineInfo& line) override {
        if (destination >= m_mixer.destinations.size())
            return E_FAIL;
        const SimMixerDestination& d = m_mixer.destinations[destination];
        line = MixerLineInfo{};
        line.name = d.name;
        line.componentType = d.componentType;
        line.channels = d.channels;
        line.connections = static_cast<std::uint32_t>(d.sources.size());
        line.controls = d.hasMux ? 1 : 0;
        return S_OK;
    }

    HRESULT GetSource(std::uint32_t destination, std::uint32_t source,
                      MixerLineInfo& line) override {
        if (destination >= m_mixer.destinations.size() ||
            source >= m_mixer.destinations[destination].sources.size()) {
            return E_FAIL;
        }
        const SimMixerSource& s = m_mixer.destinations[destination].sources[source];
        line = MixerLineInfo{};
        line.name = s.name;
        line.componentType = s.componentType;
        line.targetType = s.targetType;
        line.channels = s.channels;
        line.connections = 0;
        line.controls = s.hasVolume ? 1 : 0;
        return S_OK;
    }

    HRESULT GetDestinationControl(std::uint32_t destination, std::uint32_t controlType,
                                  MixerControlInfo& control) override {
        return Find(destination, -1, controlType, control);
    }

    HRESULT GetSourceControl(std::uint32_t destination, std::uint32_t source,
                             std::uint32_t controlType, MixerControlInfo& control) override {
        return Find(destination, static_cast<int>(source), controlType, control);
    }

    HRESULT GetControlValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
                             std::vector<std::uint32_t>& values) override {
        CSimMixerSystem::Control* control = Owned(controlId);
        if (control == nullptr || !Fits(*control, channels, items))
            return E_FAIL;
        values.clear();
        if (control->info.controlType == kMixerControlMux) {
            // A multiplexer is uniform: every channel shows the same selection.
            for (std::uint32_t c = 0; c < channels; ++c) {
                values.insert(values.end(), control->values.begin(), control->values.end());
            }
        } else {
            for (std::uint32_t c = 0; c < channels; ++c) {
                values.push_back(control->values[channels == 1 ? 0 : c]);
            }
        }
        return S_OK;
    }

    HRESULT SetControlValues(std::uint32_t controlId, std::uint32_t channels, std::uint32_t items,
                             const std::vector<std::uint32_t>& values) override {
        CSimMixerSystem::Control* control = Owned(controlId);
        if (control == nullptr || !Fits(*control, channels, items))
            return E_FAIL;
        const std::size_t perChannel = std::max<std::uint32_t>(items, 1);
        if (values.size() != perChannel * channels)
            return E_FAIL;
        if (control->info.controlType == kMixerControlMux) {
            // An item is chosen when any channel's block sets it.
            for (std::uint32_t item = 0; item < items; ++item) {
                std::uint32_t chosen = 0;
                for (std::uint32_t c = 0; c < channels; ++c) {
                    if (values[c * items + item] != 0)
                        chosen = 1;
                }
                control->values[item] = chosen;
            }
        } else {
            for (std::uint32_t value : values) {
                if (value < control->info.minimum || value > control->info.maximum)
                    return E_FAIL;
            }
            for (std::uint32_t c = 0; c < control->channels; ++c) {
                control->values[c] = values[channels == 1 ? 0 : c];
            }
        }
        m_system.CountWrite();
        return S_OK;
    }

private:
    HRESULT Find(std::uint32_t destination, int source, std::uint32_t controlType,
                 MixerControlInfo& info) {
        CSimMixerSystem::Control* control =
            m_system.FindControl(m_index, destination, source, controlType);
        if (control == nullptr)
            return E_FAIL;
        info = control->info;
        return S_OK;
    }

    CSimMixerSystem::Control* Owned(std::uint32_t controlId) {
        CSimMixerSystem::Control* control = m_system.FindControl(controlId);
        return control != nullptr && control->mixer == m_index ? control : nullptr;
    }

    static bool Fits(const CSimMixerSystem::Control& control, std::uint32_t channels,
                     std::uint32_t items) {
        if (channels == 0)
            return false;
        if (control.info.controlType == kMixerControlMux) {
            return items == control.info.multipleItems;
        }
        return items == 0 && (channels == 1 || channels == control.channels);
    }

    CSimMixerSystem& m_system;
    const SimMixer& m_mixer;
    std::uint32_t m_index;
};

}  // namespace

CSimMixerSystem::CSimMixerSystem(const SimSystemDescription& description)
    : m_description(description) {
    std::uint32_t nextId = 1;
    for (std::uint32_t m = 0; m < description.mixers.size(); ++m) {
        const SimMixer& mixer = description.mixers[m];
        for (std::uint32_t d = 0; d < mixer.destinations.size(); ++d) {
            const SimMixerDestination& destination = mixer.destinations[d];
            if (destination.hasMux) {
                Control mux;
                mux.info = {nextId++, kMixerControlMux,
                            static_cast<std::uint32_t>(destination.sources.size()), 0, 1};
                mux.mixer = m;
                mux.destination = d;
                mux.channels = destination.channels;
                mux.muxForward = destination.muxForward;
                mux.values.assign(destination.sources.size(), 0);
                if (!mux.values.empty())
                    mux.values[0] = 1;
                m_controls.push_back(std::move(mux));
            }
            for (std::uint32_t s = 0; s < destination.sources.size(); ++s) {
                const SimMixerSource& source = destination.sources[s];
                if (!source.hasVolume)
                    continue;
                Control volume;
                volume.info = {nextId++, kMixerControlVolume, 0, source.volumeMinimum,
                               source.volumeMaximum};
                volume.mixer = m;
                volume.destination = d;
                volume.source = static_cast<int>(s);
                volume.channels = std::max<std::uint32_t>(source.channels, 1);
                volume.values.assign(volume.channels, source.volumeValue);
                m_controls.push_back(std::move(volume));
            }
        }
    }
}

std::uint32_t CSimMixerSystem::GetDeviceCount() {
    return static_cast<std::uint32_t>(m_description.mixers.size());
}

HRESULT CSimMixerSystem::Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) {
    device.reset();
    if (index >= m_description.mixers.size() || m_description.mixers[index].broken)
        return E_FAIL;
    device = std::make_unique<CSimMixerDevice>(*this, index);
    return S_OK;
}

CSimMixerSystem::Control* CSimMixerSystem::FindControl(std::uint32_t controlId) {
    for (Control& control : m_controls) {
        if (control.info.controlId == controlId)
            return &control;
    }
    return nullptr;
}

CSimMixerSystem::Control* CSimMixerSystem::FindControl(std::uint32_t mixer,
                                                       std::uint32_t destination, int source,
                                                       std::uint32_t controlType) {
    for (Control& control : m_controls) {
        if (control.mixer == mixer && control.destination == destination &&
            control.source == source && control.info.controlType == controlType) {
            return &control;
        }
    }
    return nullptr;
}

int CSimMixerSystem::SelectedMuxSource(std::uint32_t mixer, std::uint32_t destination) const {
    for (const Control& control : m_controls) {
        if (control.mixer != mixer || control.destination != destination || control.source != -1 ||
            control.info.controlType != kMixerControlMux) {
            continue;
        }
        int selected = -1;
        const int items = static_cast<int>(control.values.size());
        for (int item = 0; item < items; ++item) {
            if (control.values[static_cast<std::size_t>(item)] == 0)
                continue;
            if (selected != -1)
                return -1;
            // Items list the sources last-first unless the device says otherwise.
            selected = control.muxForward ? item : items - 1 - item;
        }
        return selected;
    }
    return -1;
}

std::vector<std::uint32_t> CSimMixerSystem::VolumeValues(std::uint32_t mixer,
                                                         std::uint32_t destination,
                                                         std::uint32_t source) const {
    for (const Control& control : m_controls) {
        if (control.mixer == mixer && control.destination == destination &&
            control.source == static_cast<int>(source) &&
            control.info.controlType == kMixerControlVolume) {
            return control.values;
        }
    }
    return {};
}

}  // namespace sondrel
