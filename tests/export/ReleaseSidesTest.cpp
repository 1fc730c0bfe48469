// Which tracks a side of a release has, which match is taken without asking, and that
// looked-up titles never replace typed ones.
#include <gtest/gtest.h>

#include "export/ReleaseSides.h"

namespace sondrel {
namespace {

std::vector<ReleaseTrack> Tracks(std::initializer_list<const char*> numbers) {
    std::vector<ReleaseTrack> tracks;
    for (const char* number : numbers)
        tracks.push_back({number, std::string("t") + number, 1000});
    return tracks;
}

std::string Numbers(const std::vector<ReleaseTrack>& tracks) {
    std::string joined;
    for (const ReleaseTrack& track : tracks)
        joined += track.number + " ";
    return joined;
}

TEST(ReleaseSides, ASideIsTheTracksNumberedWithItsLetter) {
    // A double album over two media, a one-track side numbered "C", lower-case letters.
    const auto record = Tracks({"A1", "A2", "B1", "B2", "B3", "C", "d1", "d2"});
    EXPECT_EQ(SideLetters(record), "ABCD");
    EXPECT_EQ(Numbers(TracksOfSide(record, 'B')), "B1 B2 B3 ");
    EXPECT_EQ(Numbers(TracksOfSide(record, 'c')), "C ");
    EXPECT_EQ(Numbers(TracksOfSide(record, 'D')), "d1 d2 ");
    EXPECT_TRUE(TracksOfSide(record, 'E').empty());
    // Parts of a track keep their side, so that the later tracks keep their places.
    const auto parts = Tracks({"B1", "B2a", "B2b", "B3", "A1.1"});
    EXPECT_EQ(Numbers(TracksOfSide(parts, 'B')), "B1 B2a B2b B3 ");
    EXPECT_EQ(Numbers(TracksOfSide(parts, 'A')), "A1.1 ");
    // Numbers that only start with a letter are not sides.
    const auto cd = Tracks({"1", "2", "Bonus", "3"});
    EXPECT_EQ(SideLetters(cd), "");
    EXPECT_EQ(Numbers(TracksOfSide(cd, 'B')), "1 2 Bonus 3 ");
}

TEST(ReleaseSides, TheBestMatchIsTheFirstOfTheHighestScore) {
    std::vector<ReleaseMatch> matches(4);
    const int scores[] = {80, 100, 100, 95};
    for (std::size_t i = 0; i < matches.size(); ++i)
        matches[i].score = scores[i];
    EXPECT_EQ(BestMatch(matches), 1u);
    matches.resize(1);
    EXPECT_EQ(BestMatch(matches), 0u);
}

TEST(ReleaseSides, OnlyEmptyTitlesAreFilled) {
    std::vector<std::string> titles = {"", "Typed", "", ""};
    EXPECT_EQ(FillEmptyTitles(titles, Tracks({"A1", "A2", "A3"})), 2u);
    EXPECT_EQ(titles, (std::vector<std::string>{"tA1", "Typed", "tA3", ""}));
    // A longer side fills only the tracks there are.
    std::vector<std::string> two(2);
    EXPECT_EQ(FillEmptyTitles(two, Tracks({"B1", "B2", "B3"})), 2u);
    EXPECT_EQ(two.size(), 2u);
}

}  // namespace
}  // namespace sondrel
