// Reads the small RTF subset of the page texts (fonts, colours, bold, italic, underline, sizes,
// alignment, paragraphs, code page 1252 and \u escapes) into a plain document model.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Result.h"

namespace sondrel {

struct RtfColour {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const RtfColour&, const RtfColour&) = default;
};

struct RtfCharFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;  // \fs: the size in half points (RTF's default is 12 pt)
    int font = -1;        // index into RtfDocument::fonts; -1 when the font is not in the table
    std::optional<RtfColour> colour;  // none: the automatic (default) text colour

    friend bool operator==(const RtfCharFormat&, const RtfCharFormat&) = default;
};

// Text is UTF-8; "\n" is a line break inside the paragraph (\line), "\t" a tab.
struct RtfRun {
    std::string text;
    RtfCharFormat format;
};

enum class RtfAlign { Left, Right, Centre, Justify };

struct RtfParagraph {
    RtfAlign align = RtfAlign::Left;
    // The formatting in force at the paragraph mark: it sets an empty paragraph's height.
    RtfCharFormat mark;
    std::vector<RtfRun> runs;
};

struct RtfFont {
    int number = 0;  // the \fN number that text refers to
    std::string name;
};

struct RtfDocument {
    std::vector<RtfFont> fonts;
    std::vector<std::optional<RtfColour>> colours;  // \cfN indexes this; none is "auto"
    std::vector<RtfParagraph> paragraphs;
};

// Parses a whole RTF document. Fails (E_FAIL, out left empty) only when the bytes do not start
// with "{\rtf"; anything malformed after that degrades instead: a truncated document ends where
// the bytes end, unknown control words and bad escapes are ignored, out-of-range parameters
// keep the previous value, and groups nested deeper than a fixed limit are dropped. Work and
// memory grow linearly with the input.
HRESULT ParseRtf(std::string_view bytes, RtfDocument& out);

}  // namespace sondrel
