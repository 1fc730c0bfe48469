// Cleaning of tag texts: what is kept, where it is cut, what the placeholders are, and that
// nothing that could break a file name survives.
#include <gtest/gtest.h>

#include "app/TagText.h"
#include "base/StringTable.h"
#include "common/ProcessState.h"

namespace sondrel {
namespace {

TEST(SanitizeTagText, KeepsLettersDigitsSpaceDashAndUnderscoreOnly) {
    EXPECT_EQ(SanitizeTagText("AC/DC: Live! (1992)", TagField::Artist), "ACDC Live 1992");
    EXPECT_EQ(SanitizeTagText("side_a - take-2", TagField::Title), "side_a - take-2");
    EXPECT_EQ(SanitizeTagText("../../etc/passwd", TagField::Title), "etcpasswd");
    EXPECT_EQ(SanitizeTagText("Motörhead Ørkenen Жара 東京 ١٢", TagField::Artist),
              "Motörhead Ørkenen Жара 東京 ١٢");
    // Symbols, emoji and combining marks are not letters.
    EXPECT_EQ(SanitizeTagText("Café\xCC\x81 ♥ 😀 €5", TagField::Title), "Café   5");
}

TEST(SanitizeTagText, WhiteSpaceOfAnyKindBecomesAPlainSpace) {
    EXPECT_EQ(SanitizeTagText("Line\r\nbreak\ttab\vv\ff", TagField::Title), "Line  break tab v f");
    EXPECT_EQ(SanitizeTagText("a\u2028b\u3000c", TagField::Title), "a b c");
    // Other control characters are dropped.
    EXPECT_EQ(SanitizeTagText(std::string("a\x01\x1b[31mb\x7f", 9) + std::string(1, '\0') + "c",
                              TagField::Title),
              "a31mbc");
}

TEST(SanitizeTagText, LooksAtTheFirstFortyCharactersOnly) {
    const std::string fifty(50, 'x');
    EXPECT_EQ(SanitizeTagText(fifty, TagField::Album), std::string(40, 'x'));
    // Dropped characters still count towards the forty.
    EXPECT_EQ(SanitizeTagText(std::string(39, '!') + "abc", TagField::Album), "a");
    // Characters, not bytes: forty two-byte letters are kept whole.
    std::string umlauts;
    for (int i = 0; i < 45; ++i)
        umlauts += "ü";
    std::string forty;
    for (int i = 0; i < 40; ++i)
        forty += "ü";
    EXPECT_EQ(SanitizeTagText(umlauts, TagField::Album), forty);
}

TEST(SanitizeTagText, EmptyResultsBecomeThePlaceholderOfTheirKind) {
    EXPECT_EQ(SanitizeTagText("", TagField::Artist), "<Unknown artist>");
    EXPECT_EQ(SanitizeTagText("?!.,", TagField::Album), "<Unknown album>");
    EXPECT_EQ(SanitizeTagText("\xFF\xFE", TagField::Title), "<Unknown title>");
    // Forty characters of punctuation hide a name that comes after them.
    EXPECT_EQ(SanitizeTagText(std::string(40, '.') + "Name", TagField::Title), "<Unknown title>");
    // Blanks are cut at both ends, so a text of blanks alone is empty.
    EXPECT_EQ(SanitizeTagText("\n \t", TagField::Title), "<Unknown title>");
    EXPECT_EQ(SanitizeTagText("  Side  A! ", TagField::Title), "Side  A");

    {
        test::ScopedStringOverrides pack({{kIdsUnknownTitle, "<Titel unbekannt>"}});
        EXPECT_EQ(SanitizeTagText("", TagField::Title), "<Titel unbekannt>");
    }
}

TEST(SanitizeTagText, TagSetCleansEveryField) {
    TagSet tags{"  ", "", {"One/Two", "", "Three"}};
    SanitizeTagSet(tags);
    EXPECT_EQ(tags.artist, "<Unknown artist>");
    EXPECT_EQ(tags.album, "<Unknown album>");
    EXPECT_EQ(tags.titles, (std::vector<std::string>{"OneTwo", "<Unknown title>", "Three"}));
}

TEST(StringTable, BuiltInTextsOverridesAndSafeNumberFormatting) {
    EXPECT_EQ(LoadString(kIdsProductTitle), "Sondrel by Korvell");
    EXPECT_EQ(LoadString(kIdsMsgExportFailed),
              "Unable to export files.\n\nWould you like to try exporting again?");
    EXPECT_EQ(LoadString(kIdsTrackNumberFormat), "Track %d");
    EXPECT_EQ(LoadString(4242), "");
    // The Marvane variant differs from 155 only in the name.
    std::string marvane = LoadString(kIdsMsgMonoRecording);
    for (std::size_t at; (at = marvane.find("Sondrel")) != std::string::npos;) {
        marvane.replace(at, 7, "Marvane");
    }
    EXPECT_EQ(marvane, LoadString(kIdsMsgMonoRecordingMarvane));

    {
        test::ScopedStringOverrides pack({{kIdsAlbum, "Albumi"}, {4242, "extra"}});
        EXPECT_EQ(LoadString(kIdsAlbum), "Albumi");
        EXPECT_EQ(LoadString(4242), "extra");
        EXPECT_EQ(LoadString(kIdsAppName), "Sondrel");
    }
    EXPECT_EQ(LoadString(kIdsAlbum), "Album");

    EXPECT_EQ(FormatNumberText("Track %d", 3), "Track 3");
    EXPECT_EQ(FormatNumberText("%d. Stück %d %s %n", 12), "12. Stück %d %s %n");
    EXPECT_EQ(FormatNumberText("Piste", 4), "Piste 4");
    EXPECT_EQ(FormatNumberText("", 5), "5");
}

}  // namespace
}  // namespace sondrel
