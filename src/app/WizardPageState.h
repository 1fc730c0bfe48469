// What the wizard pages hold between showings and the page logic that does not depend on a
// window: the level slider, the recording page's time and track texts; the tag, exporting and
// finished pages' part is in export/. The Qt pages and the headless host both drive these, so
// the behaviour is the same in both.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "base/CUnknownStandAlone.h"
#include "export/ExportPageState.h"
#include "recording/IRecorder.h"

namespace sondrel {

// Opened from the stereo-check question and the finished page's help text.
inline constexpr const char* kSupportPageUrl = "https://sondrel.org/support";

// Page results: the ids of the buttons that end a page.
inline constexpr int kPageNext = 1001;
inline constexpr int kPageBack = 1000;
inline constexpr int kPageClose = 2;
// The first tag page (or the single-track one) asks for the track page.
inline constexpr int kPageCheckTracks = 1002;

struct SelectDevicePageState {
    // 0 = "TURNTABLE", 1 = "TAPE PLAYER"; the last choice is shown again.
    int deviceTypeIndex = 0;
    bool TapePlayerChosen() const { return deviceTypeIndex == 1; }
};

struct TapeSelectPageState {
    // Every showing starts at "normal"; the page clears it when it opens.
    bool chrome = false;
};

enum class ScrollCode {
    LineUp,
    LineDown,
    PageUp,
    PageDown,
    ThumbPosition,
    ThumbTrack,
    Top,
    Bottom,
    EndScroll
};

struct StartRecordPageState {
    static constexpr int kMinLevel = -30;  // tenths of a dB
    static constexpr int kMaxLevel = 90;

    IRecorder* recorder = nullptr;
    bool split = true;
    int levelTenthsDb = 0;
    bool monoCheckPending = true;
    // The stereo check (asks its question itself); true when the user wants the support page.
    std::function<bool()> monoCheck;

    // The first timer tick of the run checks once whether the device records in mono.
    // True when the page must open the support page and close.
    bool RunMonoCheckOnce() {
        if (!monoCheckPending)
            return false;
        monoCheckPending = false;
        return monoCheck && monoCheck();
    }

    // Applies a scroll-bar message and sends the resulting gain to the recorder, also when the
    // level did not change, so the recorder always holds the page's value.
    void Scroll(ScrollCode code, int thumbPosition = 0);
    int ScrollPosition() const { return 60 - levelTenthsDb; }
    std::string LevelText() const;  // "+0.0", "-3.0", "+9.0"
};

// A recording time as the recording page shows it: "hh:mm:ss".
std::string RecordingTimeText(std::uint32_t seconds);

struct RecordingPageState {
    static constexpr std::uint32_t kMaxTracks = 40;

    IRecorder* recorder = nullptr;
    bool split = false;
    std::uint32_t markCount = 0;
    // Shown again for the same recording (the user went back, then chose to keep it): the
    // deck is already playing.
    bool resumed = false;

    struct Tick {
        bool levelsRead = false;
        float levels[4] = {-144.0f, -144.0f, -144.0f, -144.0f};
        std::string timeText;
        std::string trackText;  // empty: leave the track text as it is
        std::uint32_t seconds = 0;
        bool writing = false;
    };
    // One 50 ms timer tick: levels, status, the time and track texts.
    Tick OnTimer();
    // "new track": at most 40 tracks; later presses are ignored.
    void NewTrack();
    std::string InitialTrackText() const;  // "Automatic" with split, else empty
};

}  // namespace sondrel
