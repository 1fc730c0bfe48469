#include "app/HeadlessLookup.h"

#include <ostream>

#include "export/ReleaseSides.h"
#include "export/TitleLookupText.h"

namespace sondrel {

namespace {

void SayFailed(std::ostream& err, const std::string& reason) {
    err << "sondrel: title lookup failed: " << reason << "; the tracks keep their typed titles\n";
}

}  // namespace

const char* LookupFailureReason(LookupStatus status) {
    switch (status) {
        case LookupStatus::Found:
            return "";
        case LookupStatus::Offline:
            return "the service could not be reached";
        case LookupStatus::Untrusted:
            return "the service's certificate was not accepted (is the clock right?)";
        case LookupStatus::Refused:
            return "the service refused the request";
        case LookupStatus::RateLimited:
            return "the service is busy (503), try again later";
        case LookupStatus::TimedOut:
            return "the service did not answer in time";
        case LookupStatus::Malformed:
            return "the service's answer could not be read";
        case LookupStatus::NoMatch:
            return "no release matches this artist and album";
    }
    return "";
}

bool LookUpHeadlessTitles(ITitleLookup* lookup, char side, HeadlessAnswers& answers,
                          std::ostream& out, std::ostream& err) {
    if (lookup == nullptr) {
        SayFailed(err, "this program cannot reach the release database");
        return false;
    }
    if (answers.artist.empty() || answers.album.empty()) {
        SayFailed(err, "--lookup needs --artist and --album");
        return false;
    }
    std::vector<ReleaseMatch> matches;
    LookupStatus status = lookup->FindReleases(answers.artist, answers.album, matches);
    if (status != LookupStatus::Found) {
        SayFailed(err, LookupFailureReason(status));
        return false;
    }
    const ReleaseMatch& best = matches[BestMatch(matches)];
    std::vector<ReleaseTrack> tracks;
    status = lookup->LoadRelease(best.id, tracks);
    if (status != LookupStatus::Found) {
        SayFailed(err, LookupFailureReason(status));
        return false;
    }
    const std::vector<ReleaseTrack> onSide = TracksOfSide(tracks, side);
    if (onSide.empty()) {
        SayFailed(err, DescribeRelease(best) + " has no side " + std::string(1, side));
        return false;
    }
    out << "[lookup] " << DescribeRelease(best) << " (" << best.id << "), "
        << (SideLetters(tracks).empty() ? std::string("all tracks")
                                        : "side " + std::string(1, side))
        << ": " << onSide.size() << (onSide.size() == 1 ? " track\n" : " tracks\n");
    if (answers.titles.size() < onSide.size())
        answers.titles.resize(onSide.size());
    FillEmptyTitles(answers.titles, onSide);
    answers.lookedUpTrackCount = onSide.size();
    return true;
}

}  // namespace sondrel
