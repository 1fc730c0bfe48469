// Track titles from an online release database: the releases that match an artist and album,
// and one release's tracks with their side numbering. The desktop program supplies the
// implementation; the headless run and the tag pages only see this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sondrel {

// Why a lookup gave nothing; every value but Found is one line on the page.
enum class LookupStatus {
    Found,
    Offline,      // no connection, or the server could not be reached
    Untrusted,    // the server's certificate was not accepted
    Refused,      // the server answered with an error
    RateLimited,  // 503: the service asks us to come back later
    TimedOut,     // no answer within the request's limit
    Malformed,    // the answer is not what the service sends
    NoMatch,      // the search found nothing (or the release has no tracks)
};

struct ReleaseMatch {
    std::string id;
    int score = 0;  // the service's relevance, 0..100
    std::string title;
    std::string artist;
    std::string date;
    std::string country;
    std::string format;  // of its media, "12\" Vinyl" or "2×CD"
    int trackCount = 0;
};

struct ReleaseTrack {
    std::string number;  // as printed on the sleeve: "A1", "B3", or "4"
    std::string title;
    std::uint64_t lengthMs = 0;  // 0 when the database does not know it
};

// Threads: one caller; each call blocks until the answer or its failure.
class ITitleLookup {
public:
    virtual ~ITitleLookup() = default;
    virtual LookupStatus FindReleases(const std::string& artist, const std::string& album,
                                      std::vector<ReleaseMatch>& matches) = 0;
    // The tracks of every medium of the release, in order.
    virtual LookupStatus LoadRelease(const std::string& id, std::vector<ReleaseTrack>& tracks) = 0;
};

}  // namespace sondrel
