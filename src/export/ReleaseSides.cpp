#include "export/ReleaseSides.h"

#include <algorithm>
#include <cctype>

namespace sondrel {

namespace {

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The side letter of a track number such as "B2", "A" or a part of a track such as "B2a" or
// "A1.1", else 0 (a number that is a word, such as "Bonus").
char SideOf(const std::string& number) {
    if (number.empty() || !std::isalpha(static_cast<unsigned char>(number[0])))
        return 0;
    const bool numbered =
        number.size() == 1 || std::isdigit(static_cast<unsigned char>(number[1])) != 0;
    return numbered ? UpperAscii(number[0]) : 0;
}

}  // namespace

std::size_t BestMatch(const std::vector<ReleaseMatch>& matches) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < matches.size(); ++i) {
        if (matches[i].score > matches[best].score)
            best = i;
    }
    return best;
}

std::string SideLetters(const std::vector<ReleaseTrack>& tracks) {
    std::string letters;
    for (const ReleaseTrack& track : tracks) {
        const char side = SideOf(track.number);
        if (side != 0 && letters.find(side) == std::string::npos)
            letters += side;
    }
    return letters;
}

std::vector<ReleaseTrack> TracksOfSide(const std::vector<ReleaseTrack>& tracks, char side) {
    if (SideLetters(tracks).empty())
        return tracks;
    std::vector<ReleaseTrack> onSide;
    for (const ReleaseTrack& track : tracks) {
        if (SideOf(track.number) == UpperAscii(side))
            onSide.push_back(track);
    }
    return onSide;
}

std::size_t FillEmptyTitles(std::vector<std::string>& titles,
                            const std::vector<ReleaseTrack>& side) {
    std::size_t filled = 0;
    for (std::size_t i = 0; i < titles.size() && i < side.size(); ++i) {
        if (titles[i].empty() && !side[i].title.empty()) {
            titles[i] = side[i].title;
            ++filled;
        }
    }
    return filled;
}

}  // namespace sondrel
