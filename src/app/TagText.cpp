#include "app/TagText.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>

#include "base/StringTable.h"
#include "base/TextUtil.h"

namespace sondrel {

namespace {

// Classification follows the C library's wide-character tables, but of a fixed UTF-8 locale
// rather than the process locale, so the result does not depend on the user's environment.
locale_t ClassificationLocale() {
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        if (!l)
            l = newlocale(LC_CTYPE_MASK, "C.utf8", locale_t{});
        return l;  // null: fall back to the ASCII rules below
    }();
    return locale;
}

bool IsLetterOrDigit(char32_t c) {
    if (locale_t l = ClassificationLocale())
        return iswalnum_l(static_cast<wint_t>(c), l) != 0;
    return (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z');
}

bool IsWhiteSpace(char32_t c) {
    if (locale_t l = ClassificationLocale())
        return iswspace_l(static_cast<wint_t>(c), l) != 0;
    return c == U' ' || (c >= U'\t' && c <= U'\r');
}

StringId PlaceholderId(TagField kind) {
    switch (kind) {
        case TagField::Artist:
            return kIdsUnknownArtist;
        case TagField::Album:
            return kIdsUnknownAlbum;
        case TagField::Title:
            break;
    }
    return kIdsUnknownTitle;
}

}  // namespace

std::string SanitizeTagText(const std::string& text, TagField kind) {
    const std::u32string chars = Utf8ToUtf32(text);
    const std::size_t count = std::min(chars.size(), kTagTextMaxChars);
    std::u32string kept;
    kept.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t c = chars[i];
        if (c == U'-' || c == U'_' || IsLetterOrDigit(c)) {
            kept.push_back(c);
        } else if (IsWhiteSpace(c)) {
            kept.push_back(U' ');
        }
    }
    // Blanks at either end would only pad a file name; a text of blanks alone is no text.
    const std::size_t first = kept.find_first_not_of(U' ');
    if (first == std::u32string::npos)
        return LoadString(PlaceholderId(kind));
    kept = kept.substr(first, kept.find_last_not_of(U' ') - first + 1);
    return Utf32ToUtf8(kept);
}

void SanitizeTagSet(TagSet& tags) {
    for (std::string& title : tags.titles)
        title = SanitizeTagText(title, TagField::Title);
    tags.artist = SanitizeTagText(tags.artist, TagField::Artist);
    tags.album = SanitizeTagText(tags.album, TagField::Album);
}

}  // namespace sondrel
