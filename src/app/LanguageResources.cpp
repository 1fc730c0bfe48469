#include "app/LanguageResources.h"

#include <array>
#include <charconv>
#include <cstdlib>

namespace sondrel {

namespace {

struct LanguageCode {
    const char* code;
    std::uint16_t primary;
};

// ISO 639-1 codes and the primary language ids they correspond to.
constexpr std::array<LanguageCode, 24> kLanguages{{
    {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06},
    {"de", 0x07}, {"el", 0x08}, {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C},
    {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10}, {"ja", 0x11}, {"ko", 0x12},
    {"nl", 0x13}, {"nb", 0x14}, {"pl", 0x15}, {"pt", 0x16}, {"ru", 0x19}, {"sv", 0x1D},
}};

struct Sublanguage {
    const char* locale;  // language_TERRITORY
    std::uint16_t id;
};

// Territories whose ids differ from the language's default sublanguage (1).
constexpr std::array<Sublanguage, 14> kSublanguages{{
    {"en_GB", 0x0809},
    {"en_AU", 0x0C09},
    {"en_CA", 0x1009},
    {"en_NZ", 0x1409},
    {"en_IE", 0x1809},
    {"fr_BE", 0x080C},
    {"fr_CA", 0x0C0C},
    {"fr_CH", 0x100C},
    {"de_CH", 0x0807},
    {"de_AT", 0x0C07},
    {"es_MX", 0x080A},
    {"it_CH", 0x0810},
    {"nl_BE", 0x0813},
    {"sv_FI", 0x081D},
}};

struct Pack {
    std::uint8_t primary;
    const char* file;
};

constexpr std::array<Pack, 8> kPacks{{
    {0x07, "SDRAGermanResources"},
    {0x0A, "SDRASpanishResources"},
    {0x0B, "SDRAFinnishResources"},
    {0x0C, "SDRAFrenchResources"},
    {0x10, "SDRAItalianResources"},
    {0x11, "SDRAJapaneseResources"},
    {0x13, "SDRADutchResources"},
    {0x1D, "SDRASwedishResources"},
}};

}  // namespace

std::uint16_t LanguageIdFromLocale(std::string_view locale) {
    // "ll_TT.codeset@modifier": only language and territory matter.
    const std::size_t cut = locale.find_first_of(".@");
    if (cut != std::string_view::npos)
        locale = locale.substr(0, cut);
    const std::string_view language = locale.substr(0, locale.find('_'));
    for (const Sublanguage& s : kSublanguages) {
        if (locale == s.locale)
            return s.id;
    }
    for (const LanguageCode& l : kLanguages) {
        if (language == l.code)
            return static_cast<std::uint16_t>(0x0400 | l.primary);
    }
    return 0x0409;
}

std::string UserUiLocale() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string text(value);
        // LANGUAGE is a colon-separated preference list.
        if (std::string_view(name) == "LANGUAGE")
            text = text.substr(0, text.find(':'));
        if (!text.empty())
            return text;
    }
    return {};
}

std::optional<std::string> LanguagePackFileName(std::uint16_t languageId) {
    if (languageId == 0x0409)
        return std::nullopt;
    const std::uint8_t primary = static_cast<std::uint8_t>(languageId & 0xFF);
    for (const Pack& p : kPacks) {
        if (p.primary == primary)
            return std::string(p.file) + ".rcc";
    }
    return std::nullopt;
}

std::map<StringId, std::string> ParseLanguageStrings(std::string_view text) {
    std::map<StringId, std::string> entries;
    // Editors on some systems start a UTF-8 file with a byte-order mark; it is no part of the
    // first entry's number.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark)
        text.remove_prefix(kByteOrderMark.size());
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        StringId id = 0;
        const auto [ptr, ec] = std::from_chars(line.data(), line.data() + tab, id);
        if (ec != std::errc() || ptr != line.data() + tab)
            continue;
        std::string value;
        for (std::size_t i = tab + 1; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                const char next = line[++i];
                value += next == 'n' ? '\n' : next == 't' ? '\t' : next;
            } else {
                value += line[i];
            }
        }
        entries[id] = std::move(value);
    }
    return entries;
}

}  // namespace sondrel
