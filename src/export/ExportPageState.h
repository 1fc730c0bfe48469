// What the tag, exporting and finished pages hold between showings and their logic that does
// not depend on a window, for the Qt pages and the headless host alike.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/CUnknownStandAlone.h"
#include "export/ExportFormat.h"
#include "export/IProgressStatus.h"

namespace sondrel {

// The side of a release a title lookup named the tracks from: its titles and lengths (in
// milliseconds, 0 where the database has none) from its first track on.
struct LookedUpSide {
    std::vector<std::string> titles;
    std::vector<std::uint64_t> lengthsMs;
    bool Empty() const { return titles.empty(); }
};

struct TagSinglePageState {
    std::string artist;
    std::string title;
    std::string album;
    int trackNumber = 1;
    ExportFormat format = ExportFormat::Wav;
    // The cuts of the recording may still be mended: "check tracks" shows.
    bool offerTrackCheck = false;
    // The side a lookup on the page used last; left as it was when none did.
    LookedUpSide side;
    void ClearTags() {
        artist.clear();
        title.clear();
        album.clear();
    }
};

struct TagMultiplePageState {
    int trackCount = 0;
    int firstTrackOffset = 0;                 // 0 for tracks 1-10, then 10, 20, 30
    std::string artist;                       // first page only
    std::string album;                        // first page only
    ExportFormat format = ExportFormat::Wav;  // first page only
    bool offerTrackCheck = false;             // first page only: "check tracks" shows
    // First page only: the side a lookup on the page used last; left as it was when none did.
    LookedUpSide side;
    std::array<std::string, 10> titles;

    void ClearTitles() {
        for (auto& t : titles)
            t.clear();
    }
    // Whether the title edit at page position 1..10 takes input.
    bool TitleEnabled(int position) const;
    std::string NumberLabel(int position) const;
};

struct ExportingPageState {
    ComPtr<IProgressStatus> progress;
    // Bar position 0..256 for a fraction done.
    static int BarPosition(float fraction);
};

struct FinishedPageState {
    // 1 = "Record Something Else", 0 = "Close Sondrel".
    int choice = 1;
    bool RecordSomethingElse() const { return choice == 1; }
};

}  // namespace sondrel
