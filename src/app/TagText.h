// Cleaning of the tag texts (artist, album, track titles) before they become folder and file
// names, and the tag set the flow hands to the exporter.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sondrel {

enum class TagField { Artist, Album, Title };

// At most this many characters of a tag text are looked at.
inline constexpr std::size_t kTagTextMaxChars = 40;

// Keeps, of the first 40 characters, the letters, digits, white space, '-' and '_' in order;
// every white-space character (line breaks, tabs, ideographic space, ...) becomes a plain
// space so no control character reaches a file name. Blanks at either end are cut, and an
// empty result becomes the placeholder
// text of its kind from the string table ("<Unknown artist>", "<Unknown album>",
// "<Unknown title>"). Input is UTF-8; invalid sequences are dropped.
std::string SanitizeTagText(const std::string& text, TagField kind);

// The names of one recording: artist, album and one title per track position (one for a
// single track, 40 for several).
struct TagSet {
    std::string artist;
    std::string album;
    std::vector<std::string> titles;
};

// Cleans every title, then the artist, then the album.
void SanitizeTagSet(TagSet& tags);

}  // namespace sondrel
