// Turns ALSA's PCM name hints into the device lists the engine sees: one entry per sound-card
// PCM device (opened through "plughw" so that the capture format is always available) and one
// per configured software PCM, with descriptions that carry the product name the kernel
// reports ("USB AUDIO  CODEC, USB Audio") and stable ids derived from the PCM names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Guid.h"

namespace sondrel {

// One entry of snd_device_name_hint: NAME, DESC (may hold several lines) and IOID ("Input",
// "Output" or empty for both).
struct AlsaHint {
    std::string name;
    std::string description;
    std::string ioid;
};

enum class AlsaDirection { Capture, Output };

struct AlsaDeviceInfo {
    std::string description;  // first line of the hint's description
    std::string pcmName;      // what snd_pcm_open is given
    std::string probeName;    // the PCM whose own channel counts tell the device's format
    std::string cardId;       // the card's id for sound-card devices, else empty
    int deviceNumber = -1;    // the card's PCM device number, -1 for software PCMs
    GUID id;                  // all zero for the system's default entry
};

// The list for one direction in hint order, led by the default entry (the "default" PCM).
// Helper PCMs that would only confuse a device choice (null sink, rate converters, JACK, OSS,
// channel mixers) and the per-card aliases of a PCM device (front, dsnoop, iec958, ...) are
// left out, so that every physical device appears exactly once.
std::vector<AlsaDeviceInfo> BuildAlsaDeviceList(const std::vector<AlsaHint>& hints,
                                                AlsaDirection direction);

// The system's hints for PCMs ("pcm" interface, every card); empty when ALSA cannot list them.
std::vector<AlsaHint> ReadAlsaPcmHints();

// The "channels: N" line of a /proc/asound/cardC/pcmDc/sub0/hw_params text, which describes
// the format a running stream was opened with; nullopt for "closed" or anything unreadable.
std::optional<std::uint16_t> ParseProcHwParamsChannels(std::string_view text);

}  // namespace sondrel
