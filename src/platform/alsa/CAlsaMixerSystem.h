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
    // Capture devices named as the engine sees them, each with its card's id or number.
    using CardSource = std::function<std::vector<AlsaDeviceInfo>()>;

    explicit CAlsaMixerSystem(HintSource hints = {});
    // The mixers of the cards that cards lists, named as it names them: for a sound server's
    // capture devices, whose cards keep their own mixers.
    explicit CAlsaMixerSystem(CardSource cards);

    // Lists the mixers afresh; Open uses the list of the last count.
    std::uint32_t GetDeviceCount() override;
    HRESULT Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) override;

private:
    HintSource m_hints;
    CardSource m_cards;
    std::vector<AlsaDeviceInfo> m_devices;
};

}  // namespace sondrel
