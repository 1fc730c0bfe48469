// Who holds a sound card's capture device open, as the kernel tells under /proc/asound: what
// a "device busy" message names so that the user knows which program to close.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sondrel {

// The "owner_pid : N" line of a /proc/asound/cardC/pcmDc/subS/status text: the process that
// has the substream open; nullopt for "closed" or anything unreadable.
std::optional<int> ParseProcStatusOwnerPid(std::string_view text);

// "name (process N)" of the first process that has a capture substream of card's PCM device
// open (every capture device of the card when device is negative); empty when none has, or
// when the card is unknown. procAsound is the kernel's /proc/asound (another root for tests).
std::string FindCaptureHolder(const std::filesystem::path& procAsound, int card, int device);

}  // namespace sondrel
