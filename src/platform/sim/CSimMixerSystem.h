// The simulated mixers: lines and controls from the system description, with control values
// that can be read back so tests see what was sent to the mixer.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/IMixerSystem.h"
#include "platform/sim/SimSystemDescription.h"

namespace sondrel {

// Threading: main thread only, like the interface.
class CSimMixerSystem final : public IMixerSystem {
public:
    explicit CSimMixerSystem(const SimSystemDescription& description);

    std::uint32_t GetDeviceCount() override;
    HRESULT Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) override;

    // The source index the destination's multiplexer selects, or -1 when none or several
    // items are set (or there is no multiplexer).
    int SelectedMuxSource(std::uint32_t mixer, std::uint32_t destination) const;
    // The per-channel values of a source line's volume control (empty without one).
    std::vector<std::uint32_t> VolumeValues(std::uint32_t mixer, std::uint32_t destination,
                                            std::uint32_t source) const;
    // How many times any control value was written.
    std::uint32_t WriteCount() const { return m_writeCount; }

    // One control and its current values (public for the opened-mixer objects).
    struct Control {
        MixerControlInfo info;
        std::uint32_t mixer = 0;
        std::uint32_t destination = 0;
        int source = -1;  // -1 for a destination's control
        std::uint32_t channels = 1;
        bool muxForward = false;
        // Volume: one value per channel. Multiplexer: one boolean per item in the
        // system's item order.
        std::vector<std::uint32_t> values;
    };

    const SimSystemDescription& Description() const { return m_description; }
    Control* FindControl(std::uint32_t controlId);
    Control* FindControl(std::uint32_t mixer, std::uint32_t destination, int source,
                         std::uint32_t controlType);
    void CountWrite() { ++m_writeCount; }

private:
    const SimSystemDescription& m_description;
    std::vector<Control> m_controls;
    std::uint32_t m_writeCount = 0;
};

}  // namespace sondrel
