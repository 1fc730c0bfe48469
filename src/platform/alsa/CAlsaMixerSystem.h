// The legacy mixers on ALSA: one mixer per sound-card capture device, named exactly like that
// capture device in the capture list (so that the recorder finds the mixer of the device it
// records from by name), over the card's simple mixer elements.
#pragma once

#include <functional>
#include <vector>

#include "platform/IMixerSystem.h"
#include "platform/alsa/AlsaDeviceNames.h"

namespace sondrel {

// Threading: main thread only.
class CAlsaMixerSystem final : public IMixerSystem {
public:
    using HintSource = std::function<std::vector<AlsaHint>()>;

    explicit CAlsaMixerSystem(HintSource hints = {});

    // Lists the mixers afresh; Open uses the list of the last count.
    std::uint32_t GetDeviceCount() override;
    HRESULT Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) override;

private:
    HintSource m_hints;
    std::vector<AlsaDeviceInfo> m_devices;
};

}  // namespace sondrel
