// What the kernel tells of sound cards under /proc/asound: above all who holds a capture
// device open, which a "device busy" message names so that the user knows which program to
// close.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace sondrel {

// N of the first "key : N" line of a /proc/asound text; nullopt when there is none, or when N
// is no number, 0 or above largest.
std::optional<std::uint32_t> ParseProcNumber(std::string_view text, std::string_view key,
                                             std::uint32_t largest);

// The "owner_pid : N" line of a /proc/asound/cardC/pcmDc/subS/status text: the process that
// has the substream open; nullopt for "closed" or anything unreadable.
std::optional<int> ParseProcStatusOwnerPid(std::string_view text);

// "name (process N)" of the first process that has a capture substream of card's PCM device
// open (every capture device of the card when device is negative); empty when none has, or
// when the card is unknown. procAsound is the kernel's /proc/asound (another root for tests).
std::string FindCaptureHolder(const std::filesystem::path& procAsound, int card, int device);

}  // namespace sondrel
