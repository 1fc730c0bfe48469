#include "export/TitleLookupText.h"

#include "base/StringTable.h"

namespace sondrel {

std::string LookupFailureText(LookupStatus status) {
    switch (status) {
        case LookupStatus::Found:
            return {};
        case LookupStatus::Offline:
            return LoadString(kIdsLookupOffline);
        case LookupStatus::Untrusted:
            return LoadString(kIdsLookupUntrusted);
        case LookupStatus::Refused:
            return LoadString(kIdsLookupRefused);
        case LookupStatus::RateLimited:
            return LoadString(kIdsLookupRateLimited);
        case LookupStatus::TimedOut:
            return LoadString(kIdsLookupTimedOut);
        case LookupStatus::Malformed:
            return LoadString(kIdsLookupMalformed);
        case LookupStatus::NoMatch:
            return LoadString(kIdsLookupNoMatch);
    }
    return {};
}

std::string DescribeRelease(const ReleaseMatch& match) {
    std::string details;
    for (const std::string* part : {&match.date, &match.country, &match.format}) {
        if (!part->empty())
            details += (details.empty() ? "" : ", ") + *part;
    }
    if (match.trackCount > 0) {
        details += (details.empty() ? "" : ", ") +
                   (match.trackCount == 1
                        ? LoadString(kIdsOneTrack)
                        : FormatNumberText(LoadString(kIdsTrackCountFormat), match.trackCount));
    }
    std::string text = match.title;
    if (!match.artist.empty())
        text += " \u2013 " + match.artist;
    return details.empty() ? text : text + " (" + details + ")";
}

std::string FormatPickText(std::size_t matchCount) {
    return FillField(LoadString(kIdsLookupPick), "count", std::to_string(matchCount));
}

std::string FormatFilledText(const ReleaseMatch& release) {
    return FillField(LoadString(kIdsLookupFilled), "release", release.title);
}

std::string FormatCountDiffersText(std::size_t sideTracks, std::size_t recordingTracks,
                                   bool cutsOffered) {
    const StringId id = cutsOffered ? kIdsLookupCutsOffered : kIdsLookupCountDiffers;
    return FillField(FillField(LoadString(id), "found", std::to_string(sideTracks)), "tracks",
                     std::to_string(recordingTracks));
}

std::string FormatNoSideText(char side) {
    return FillField(LoadString(kIdsLookupNoSide), "side", std::string(1, side));
}

}  // namespace sondrel
