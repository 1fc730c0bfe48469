#include <gtest/gtest.h>

#include "app/LanguageResources.h"

namespace sondrel {
namespace {

TEST(LanguageResources, OnlyThePrimaryLanguageChoosesAPack) {
    EXPECT_EQ(LanguageIdFromLocale("en_US.UTF-8"), 0x0409);
    EXPECT_FALSE(LanguagePackFileName(0x0409));
    // English (United Kingdom) looks up 0x09, finds nothing and stays English.
    EXPECT_EQ(LanguageIdFromLocale("en_GB.UTF-8"), 0x0809);
    EXPECT_FALSE(LanguagePackFileName(0x0809));
    // French (Canada) loads the French pack: only the low 8 bits count.
    EXPECT_EQ(LanguageIdFromLocale("fr_CA.UTF-8"), 0x0C0C);
    EXPECT_EQ(LanguagePackFileName(0x0C0C), "SDRAFrenchResources.rcc");
    EXPECT_EQ(LanguagePackFileName(LanguageIdFromLocale("de_DE@euro")), "SDRAGermanResources.rcc");
    EXPECT_EQ(LanguagePackFileName(LanguageIdFromLocale("sv_SE")), "SDRASwedishResources.rcc");
    EXPECT_EQ(LanguagePackFileName(LanguageIdFromLocale("ja_JP.eucJP")),
              "SDRAJapaneseResources.rcc");
    EXPECT_FALSE(LanguagePackFileName(LanguageIdFromLocale("pl_PL")));
    EXPECT_EQ(LanguageIdFromLocale("C"), 0x0409);
    EXPECT_EQ(LanguageIdFromLocale(""), 0x0409);
}

TEST(LanguageResources, PackStringsParseWithEscapesAndIgnoreJunkAndByteOrderMark) {
    const auto entries = ParseLanguageStrings(
        "142\tImpossible de se connecter\\n\\nVérifiez l'appareil.\r\n"
        "not a line\n"
        "x1\tjunk\n"
        "157\tAutomatique\n"
        "99999999999999\ttoo big\n"
        "158\tA\\\\B\\tC");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries.at(142), "Impossible de se connecter\n\nVérifiez l'appareil.");
    EXPECT_EQ(entries.at(157), "Automatique");
    EXPECT_EQ(entries.at(158), "A\\B\tC");
    // A file saved with a byte-order mark keeps its first entry.
    const auto marked = ParseLanguageStrings(
        "\xEF\xBB\xBF"
        "142\tUn\n157\tDeux");
    ASSERT_EQ(marked.count(142), 1u);
    EXPECT_EQ(marked.at(142), "Un");
}

}  // namespace
}  // namespace sondrel
