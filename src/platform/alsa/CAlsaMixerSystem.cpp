#include "platform/alsa/CAlsaMixerSystem.h"

#include <alsa/asoundlib.h>

#include "platform/alsa/CAlsaMixerDevice.h"

namespace sondrel {

namespace {

struct MixerCloser {
    void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};

// The card's simple elements through snd_mixer, loaded once at opening.
class CAlsaMixerAccess final : public IAlsaMixerAccess {
public:
    static std::unique_ptr<CAlsaMixerAccess> Open(const std::string& cardId) {
        snd_mixer_t* raw = nullptr;
        if (snd_mixer_open(&raw, 0) < 0)
            return nullptr;
        std::unique_ptr<snd_mixer_t, MixerCloser> mixer(raw);
        const std::string ctl = "hw:CARD=" + cardId;
        if (snd_mixer_attach(mixer.get(), ctl.c_str()) < 0 ||
            snd_mixer_selem_register(mixer.get(), nullptr, nullptr) < 0 ||
            snd_mixer_load(mixer.get()) < 0) {
            return nullptr;
        }
        auto access = std::unique_ptr<CAlsaMixerAccess>(new CAlsaMixerAccess(std::move(mixer)));
        for (snd_mixer_elem_t* e = snd_mixer_first_elem(access->m_mixer.get()); e != nullptr;
             e = snd_mixer_elem_next(e)) {
            if (snd_mixer_selem_is_active(e) &&
                (snd_mixer_selem_has_capture_volume(e) || snd_mixer_selem_is_enum_capture(e))) {
                access->m_elements.push_back(e);
            }
        }
        return access;
    }

    bool Read(std::vector<AlsaMixerElement>& elements) override {
        // Picks up changes made by other programs since the last read.
        snd_mixer_handle_events(m_mixer.get());
        elements.clear();
        for (snd_mixer_elem_t* e : m_elements) {
            AlsaMixerElement element;
            element.name = snd_mixer_selem_get_name(e);
            if (snd_mixer_selem_has_capture_volume(e)) {
                element.hasCaptureVolume = snd_mixer_selem_get_capture_volume_range(
                                               e, &element.volumeMin, &element.volumeMax) >= 0 &&
                                           element.volumeMax > element.volumeMin;
                for (int c = 0; c <= SND_MIXER_SCHN_LAST && element.hasCaptureVolume; ++c) {
                    const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
                    long value = 0;
                    if (snd_mixer_selem_has_capture_channel(e, channel) &&
                        snd_mixer_selem_get_capture_volume(e, channel, &value) >= 0) {
                        element.volumes.push_back(value);
                    }
                    if (snd_mixer_selem_is_capture_mono(e))
                        break;
                }
                element.hasCaptureVolume = !element.volumes.empty();
            }
            if (snd_mixer_selem_is_enum_capture(e)) {
                const int count = snd_mixer_selem_get_enum_items(e);
                char name[128];
                for (int i = 0; i < count; ++i) {
                    if (snd_mixer_selem_get_enum_item_name(e, static_cast<unsigned>(i), sizeof name,
                                                           name) < 0) {
                        name[0] = '\0';
                    }
                    element.items.emplace_back(name);
                }
                unsigned selected = 0;
                element.isCaptureEnum =
                    count > 0 &&
                    snd_mixer_selem_get_enum_item(e, SND_MIXER_SCHN_FRONT_LEFT, &selected) >= 0;
                element.selectedItem = selected;
            }
            elements.push_back(std::move(element));
        }
        return true;
    }

    bool SetEnumItem(std::size_t element, unsigned item) override {
        if (element >= m_elements.size())
            return false;
        // Every channel of the enumeration gets the item.
        snd_mixer_elem_t* e = m_elements[element];
        bool ok = true;
        for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
            unsigned current = 0;
            if (snd_mixer_selem_get_enum_item(e, channel, &current) < 0)
                continue;
            ok = snd_mixer_selem_set_enum_item(e, channel, item) >= 0 && ok;
        }
        return ok;
    }

    bool SetCaptureVolumes(std::size_t element, const std::vector<long>& volumes) override {
        if (element >= m_elements.size() || volumes.empty())
            return false;
        snd_mixer_elem_t* e = m_elements[element];
        if (snd_mixer_selem_is_capture_mono(e))
            return snd_mixer_selem_set_capture_volume_all(e, volumes.front()) >= 0;
        std::size_t next = 0;
        bool ok = true;
        for (int c = 0; c <= SND_MIXER_SCHN_LAST && next < volumes.size(); ++c) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
            if (!snd_mixer_selem_has_capture_channel(e, channel))
                continue;
            ok = snd_mixer_selem_set_capture_volume(e, channel, volumes[next++]) >= 0 && ok;
        }
        return ok;
    }

private:
    explicit CAlsaMixerAccess(std::unique_ptr<snd_mixer_t, MixerCloser> mixer)
        : m_mixer(std::move(mixer)) {}

    std::unique_ptr<snd_mixer_t, MixerCloser> m_mixer;
    std::vector<snd_mixer_elem_t*> m_elements;
};

}  // namespace

CAlsaMixerSystem::CAlsaMixerSystem(HintSource hints)
    : m_hints(hints ? std::move(hints) : HintSource(ReadAlsaPcmHints)) {}

CAlsaMixerSystem::CAlsaMixerSystem(CardSource cards) : m_cards(std::move(cards)) {}

std::uint32_t CAlsaMixerSystem::GetDeviceCount() {
    m_devices.clear();
    for (AlsaDeviceInfo& device :
         m_cards ? m_cards() : BuildAlsaDeviceList(m_hints(), AlsaDirection::Capture)) {
        if (!device.cardId.empty())
            m_devices.push_back(std::move(device));
    }
    return static_cast<std::uint32_t>(m_devices.size());
}

HRESULT CAlsaMixerSystem::Open(std::uint32_t index, std::unique_ptr<IMixerDevice>& device) {
    device.reset();
    if (m_devices.empty())
        GetDeviceCount();
    if (index >= m_devices.size())
        return E_FAIL;
    std::unique_ptr<CAlsaMixerAccess> access = CAlsaMixerAccess::Open(m_devices[index].cardId);
    if (!access)
        return E_FAIL;
    return CAlsaMixerDevice::Create(m_devices[index].description, std::move(access), device);
}

}  // namespace sondrel
