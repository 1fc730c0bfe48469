// Which language pack the program loads: the user's UI language (on Linux, from the locale
// settings) as a Windows-style language id, and the pack file named for its primary language.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "base/StringTable.h"

namespace sondrel {

// 0x0409 for "en_US.UTF-8", 0x0C0C for "fr_CA", 0x0407 for "de_DE@euro"; "C", "POSIX" and
// unknown languages give 0x0409 (the built-in English).
std::uint16_t LanguageIdFromLocale(std::string_view locale);

// The locale that decides the UI language: LC_ALL, else LC_MESSAGES, else LANG (the first
// entry of LANGUAGE wins over all of them, as for gettext). Empty when none is set.
std::string UserUiLocale();

// The pack file for a language id ("SDRAFrenchResources.rcc"), or nothing: 0x0409 never
// loads a pack, and only the low 8 bits (the primary language) choose one.
std::optional<std::string> LanguagePackFileName(std::uint16_t languageId);

// Parses a pack's string table: one "id<TAB>text" entry per line, with \n, \t and \\ escapes;
// lines that do not start with a number are ignored.
std::map<StringId, std::string> ParseLanguageStrings(std::string_view text);

}  // namespace sondrel
