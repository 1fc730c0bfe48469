#include "platform/alsa/AlsaDeviceNames.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "platform/CaptureHolder.h"

namespace sondrel {

namespace {

constexpr std::string_view kDefaultPcm = "default";

// Software PCMs that every installation lists but that are no recording or listening device.
constexpr std::array<std::string_view, 16> kHiddenPcms = {"null",
                                                          "lavrate",
                                                          "samplerate",
                                                          "samplerate_best",
                                                          "samplerate_linear",
                                                          "samplerate_medium",
                                                          "samplerate_order",
                                                          "speexrate",
                                                          "speexrate_best",
                                                          "speexrate_medium",
                                                          "jack",
                                                          "oss",
                                                          "upmix",
                                                          "vdownmix",
                                                          "usbstream",
                                                          "a52"};

// Per-card PCM names that stand for a card's PCM device; any other per-card name (front,
// surround51, dmix, dsnoop, iec958, hdmi, ...) is an alias of the same hardware.
bool IsCardDevicePcm(std::string_view base) {
    return base == "hw" || base == "plughw" || base == "sysdefault";
}

std::string FirstLine(std::string_view text) {
    return std::string(text.substr(0, text.find('\n')));
}

bool AllowsDirection(std::string_view ioid, AlsaDirection direction) {
    if (ioid.empty())
        return true;
    return direction == AlsaDirection::Capture ? ioid == "Input" : ioid == "Output";
}

// The value of "KEY=value" within "base:KEY=value,KEY2=value2" (quotes removed).
std::string Argument(std::string_view name, std::string_view key) {
    const std::size_t colon = name.find(':');
    if (colon == std::string_view::npos)
        return {};
    std::string_view rest = name.substr(colon + 1);
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string_view part = rest.substr(0, comma);
        if (part.size() > key.size() && part.substr(0, key.size()) == key &&
            part[key.size()] == '=') {
            std::string_view value = part.substr(key.size() + 1);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return {};
}

}  // namespace

std::vector<AlsaDeviceInfo> BuildAlsaDeviceList(const std::vector<AlsaHint>& hints,
                                                AlsaDirection direction) {
    std::vector<AlsaDeviceInfo> devices;
    AlsaDeviceInfo defaultEntry;
    defaultEntry.description = "Default Audio Device";
    defaultEntry.pcmName = std::string(kDefaultPcm);
    defaultEntry.probeName = defaultEntry.pcmName;
    devices.push_back(defaultEntry);

    for (const AlsaHint& hint : hints) {
        if (hint.name.empty() || !AllowsDirection(hint.ioid, direction))
            continue;
        const std::string_view name = hint.name;
        const std::string_view base = name.substr(0, name.find(':'));
        const std::string description = FirstLine(hint.description);
        if (name == kDefaultPcm) {
            if (!description.empty())
                devices.front().description = description;
            continue;
        }
        if (std::find(kHiddenPcms.begin(), kHiddenPcms.end(), base) != kHiddenPcms.end())
            continue;

        const std::string card = Argument(name, "CARD");
        if (card.empty()) {
            if (base == name) {
                AlsaDeviceInfo device;
                device.description = description.empty() ? hint.name : description;
                device.pcmName = hint.name;
                device.probeName = hint.name;
                device.id = GUID::FromName(device.pcmName);
                devices.push_back(std::move(device));
            }
            continue;
        }
        if (!IsCardDevicePcm(base))
            continue;
        const std::string dev = Argument(name, "DEV");
        const int deviceNumber = dev.empty() ? 0 : std::atoi(dev.c_str());
        const auto known = std::find_if(devices.begin(), devices.end(), [&](const auto& d) {
            return d.cardId == card && d.deviceNumber == deviceNumber;
        });
        if (known != devices.end()) {
            // "hw" describes the device itself; aliases only fill in a missing description.
            if (base == "hw" && !description.empty())
                known->description = description;
            continue;
        }
        AlsaDeviceInfo device;
        device.description = description.empty() ? card : description;
        const std::string suffix = "CARD=" + card + ",DEV=" + std::to_string(deviceNumber);
        device.pcmName = "plughw:" + suffix;
        device.probeName = "hw:" + suffix;
        device.cardId = card;
        device.deviceNumber = deviceNumber;
        device.id = GUID::FromName(device.pcmName);
        devices.push_back(std::move(device));
    }
    return devices;
}

std::vector<AlsaHint> ReadAlsaPcmHints() {
    std::vector<AlsaHint> result;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr)
        return result;
    const auto take = [](void* hint, const char* id) {
        char* value = snd_device_name_get_hint(hint, id);
        std::string text = value != nullptr ? value : "";
        std::free(value);
        return text;
    };
    for (void** hint = hints; *hint != nullptr; ++hint)
        result.push_back({take(*hint, "NAME"), take(*hint, "DESC"), take(*hint, "IOID")});
    snd_device_name_free_hint(hints);
    return result;
}

std::optional<std::uint16_t> ParseProcHwParamsChannels(std::string_view text) {
    const std::optional<std::uint32_t> channels = ParseProcNumber(text, "channels", 0xFFFF);
    return channels ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*channels))
                    : std::nullopt;
}

}  // namespace sondrel
