// The RTF reader on the shipped page texts and on hand-made documents, well-formed and not.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/CRtfReader.h"

namespace sondrel {
namespace {

const std::filesystem::path kTextsDir = SONDREL_TEST_DATA_DIR "/../../resources/rtf";

RtfDocument ParseFile(int id) {
    std::ifstream in(kTextsDir / (std::to_string(id) + ".rtf"), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RtfDocument doc;
    EXPECT_EQ(ParseRtf(bytes, doc), S_OK) << id;
    return doc;
}

RtfDocument Parse(std::string_view bytes) {
    RtfDocument doc;
    EXPECT_EQ(ParseRtf(bytes, doc), S_OK);
    return doc;
}

// The text of all paragraphs, each ended by '|'.
std::string Text(const RtfDocument& doc) {
    std::string text;
    for (const RtfParagraph& paragraph : doc.paragraphs) {
        for (const RtfRun& run : paragraph.runs)
            text += run.text;
        text += '|';
    }
    return text;
}

TEST(RtfReader, WelcomeTextHasItsSizesBoldAndProductColour) {
    const RtfDocument doc = ParseFile(218);
    ASSERT_EQ(doc.fonts.size(), 1u);
    EXPECT_EQ(doc.fonts[0].name, "Helvetica");
    ASSERT_EQ(doc.paragraphs.size(), 3u);

    const auto& welcome = doc.paragraphs[0].runs;
    ASSERT_EQ(welcome.size(), 3u);
    EXPECT_EQ(welcome[1].text, "Sondrel by Korvell");
    EXPECT_EQ(welcome[1].format.colour, (RtfColour{223, 0, 5}));
    EXPECT_FALSE(welcome[0].format.colour);
    for (const RtfRun& run : welcome) {
        EXPECT_TRUE(run.format.bold);
        EXPECT_EQ(run.format.halfPoints, 38);
        EXPECT_EQ(run.format.font, 0);
    }

    EXPECT_TRUE(doc.paragraphs[1].runs.empty());
    EXPECT_EQ(doc.paragraphs[1].mark.halfPoints, 46);

    const auto& begin = doc.paragraphs[2].runs;
    ASSERT_EQ(begin.size(), 3u);
    EXPECT_EQ(begin[1].text, "next");
    EXPECT_TRUE(begin[1].format.bold);
    EXPECT_FALSE(begin[0].format.bold);
    EXPECT_FALSE(begin[2].format.bold);
    EXPECT_EQ(begin[2].format.halfPoints, 32);
    EXPECT_EQ(Text(doc),
              "Welcome to the Sondrel by Korvell!||Begin by connecting your audio device to the "
              "computer, then click next.|");
}

TEST(RtfReader, TitlesAreTwentyPointBoldWhite) {
    for (int id : {219, 221, 224, 228, 234, 237, 240, 245}) {
        const RtfDocument doc = ParseFile(id);
        ASSERT_EQ(doc.paragraphs.size(), 1u) << id;
        ASSERT_EQ(doc.paragraphs[0].runs.size(), 1u) << id;
        const RtfCharFormat& format = doc.paragraphs[0].runs[0].format;
        EXPECT_TRUE(format.bold) << id;
        EXPECT_EQ(format.halfPoints, 40) << id;
        EXPECT_EQ(format.colour, (RtfColour{255, 255, 255})) << id;
        EXPECT_EQ(doc.fonts.at(format.font).name, "Helvetica") << id;
    }
    EXPECT_EQ(Text(ParseFile(244)).substr(0, 24), "Please select \"chrome\" i");
}

TEST(RtfReader, DecodesCodePage1252AndUnicodeEscapes) {
    const RtfDocument doc = Parse(
        "{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \xe9\\'80\\'93\\'9f\\'81 \\\\\\{\\}"
        "\\u8364?\\u-32768?\\u-10179?\\u-8704?{\\uc2\\u8212ab}c\\u-8704?\\uc0\\u65 x}");
    EXPECT_EQ(Text(doc),
              "caf\xc3\xa9 \xc3\xa9\xe2\x82\xac\xe2\x80\x9c\xc5\xb8\xef\xbf\xbd \\{}"
              "\xe2\x82\xac\xe8\x80\x80\xf0\x9f\x98\x80\xe2\x80\x94"
              "c\xef\xbf\xbd"
              "Ax|");
}

TEST(RtfReader, GroupsScopeFormattingAndTablesResolve) {
    const RtfDocument doc = Parse(
        "{\\rtf1\\deff1{\\fonttbl{\\f1\\fswiss Helvetica;}\\f2 Times New Roman;}"
        "{\\colortbl;\\red300\\green0\\blue-5;}\\fs30\\cf1 a{\\b\\i\\ul\\f2\\fs20\\cf0\\qc b}c"
        "\\par\\qr\\b d\\plain e\\par\\pard\\fs44\\par}");
    ASSERT_EQ(doc.fonts.size(), 2u);
    EXPECT_EQ(doc.fonts[1].name, "Times New Roman");
    ASSERT_EQ(doc.colours.size(), 2u);
    EXPECT_FALSE(doc.colours[0]);
    EXPECT_EQ(doc.colours[1], (RtfColour{255, 0, 0}));

    ASSERT_EQ(doc.paragraphs.size(), 3u);
    const auto& first = doc.paragraphs[0].runs;
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first[1].text, "b");
    EXPECT_TRUE(first[1].format.bold && first[1].format.italic && first[1].format.underline);
    EXPECT_EQ(first[1].format.font, 1);
    EXPECT_FALSE(first[1].format.colour);
    EXPECT_EQ(first[2].format, first[0].format);  // restored at '}'
    EXPECT_EQ(first[0].format.font, 0);
    EXPECT_EQ(first[0].format.halfPoints, 30);
    EXPECT_EQ(doc.paragraphs[0].align, RtfAlign::Left);  // \qc ended with its group

    const auto& second = doc.paragraphs[1];
    EXPECT_EQ(second.align, RtfAlign::Right);
    ASSERT_EQ(second.runs.size(), 2u);
    EXPECT_TRUE(second.runs[0].format.bold);
    RtfCharFormat plain;
    plain.font = 0;  // \deff1 is table entry 0
    EXPECT_EQ(second.runs[1].format, plain);

    EXPECT_EQ(doc.paragraphs[2].align, RtfAlign::Left);
    EXPECT_EQ(doc.paragraphs[2].mark.halfPoints, 44);
}

TEST(RtfReader, MalformedDocumentsDegrade) {
    RtfDocument doc;
    EXPECT_EQ(ParseRtf("", doc), E_FAIL);
    EXPECT_EQ(ParseRtf("plain text {\\rtf1 x}", doc), E_FAIL);
    EXPECT_TRUE(doc.paragraphs.empty());

    // Truncated: the text ends where the bytes end.
    doc = Parse("{\\rtf1 {\\b abc");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    EXPECT_EQ(doc.paragraphs[0].runs.at(0).text, "abc");
    EXPECT_TRUE(doc.paragraphs[0].runs[0].format.bold);
    EXPECT_EQ(Text(Parse("{\\rtf1 a\\")), "a|");

    // Everything after the outer group is ignored.
    EXPECT_EQ(Text(Parse("{\\rtf1 a}}b{c}")), "a|");

    // Impossible sizes keep the previous one; a saturated parameter does not wrap around.
    doc = Parse("{\\rtf1\\fs30 a\\fs99999999999 b\\fs0 c\\fs-99999999999999 d\\fs3277 e}");
    ASSERT_EQ(doc.paragraphs.at(0).runs.size(), 1u);
    EXPECT_EQ(doc.paragraphs[0].runs[0].text, "abcde");
    EXPECT_EQ(doc.paragraphs[0].runs[0].format.halfPoints, 30);

    // A bad \' escape drops only itself, so a brace after it still closes its group.
    doc = Parse("{\\rtf1 a\\'zzb{\\b\\'4}c\\'}");
    EXPECT_EQ(Text(doc), "azzb4c|");
    ASSERT_EQ(doc.paragraphs[0].runs.size(), 3u);
    EXPECT_EQ(doc.paragraphs[0].runs[1].text, "4");

    // Unknown words, skipped destinations and overlong words show nothing.
    EXPECT_EQ(Text(Parse("{\\rtf1{\\*\\foo secret}{\\info{\\title t}}\\foobar visible"
                         "\\zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz x\\bin3 }}}y\\bin99999}")),
              "visiblexy|");

    // Groups beyond the depth limit are dropped, and the braces still balance.
    const std::string deep =
        "{\\rtf1 a" + std::string(100000, '{') + "\\b b" + std::string(100000, '}') + "c}";
    doc = Parse(deep);
    EXPECT_EQ(Text(doc), "ac|");
    EXPECT_EQ(doc.paragraphs[0].runs.size(), 1u);
}

}  // namespace
}  // namespace sondrel
