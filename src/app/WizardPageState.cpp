#include "app/WizardPageState.h"

#include <algorithm>
#include <cstdio>

#include "base/StringTable.h"

namespace sondrel {

void StartRecordPageState::Scroll(ScrollCode code, int thumbPosition) {
    int& level = levelTenthsDb;
    switch (code) {
        case ScrollCode::LineUp:
            if (level < kMaxLevel)
                ++level;
            break;
        case ScrollCode::LineDown:
            if (level > kMinLevel)
                --level;
            break;
        case ScrollCode::PageUp:
            if (level < kMaxLevel)
                level = std::min(level + 10, kMaxLevel);
            break;
        case ScrollCode::PageDown:
            if (level > kMinLevel)
                level = std::max(level - 10, kMinLevel);
            break;
        case ScrollCode::ThumbPosition:
        case ScrollCode::ThumbTrack:
            level = 60 - thumbPosition;
            break;
        case ScrollCode::Top:
            level = kMaxLevel;
            break;
        case ScrollCode::Bottom:
            level = kMinLevel;
            break;
        case ScrollCode::EndScroll:
            break;
    }
    if (recorder)
        recorder->SetInputGain(static_cast<float>(level) / 10.0f);
}

std::string StartRecordPageState::LevelText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%+.1f", static_cast<double>(levelTenthsDb) / 10.0);
    return text;
}

std::string RecordingTimeText(std::uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2u:%.2u:%.2u", seconds / 3600, (seconds / 60) % 60,
                  seconds % 60);
    return text;
}

RecordingPageState::Tick RecordingPageState::OnTimer() {
    Tick tick;
    if (!recorder)
        return tick;
    bool active = true;
    if (Failed(recorder->GetLevels(tick.levels[0], tick.levels[1], tick.levels[2], tick.levels[3],
                                   active))) {
        return tick;
    }
    tick.levelsRead = true;
    std::uint32_t seconds = 0;
    bool writing = false;
    std::uint32_t marks = markCount;
    std::uint32_t reserved = 0;
    if (Succeeded(recorder->GetStatus(seconds, writing, marks, reserved)))
        markCount = marks;
    tick.seconds = seconds;
    tick.writing = writing;
    if (seconds > 0 && !writing) {
        tick.timeText = LoadString(kIdsRecordingFinished);
    } else {
        tick.timeText = RecordingTimeText(seconds);
    }
    if (!split)
        tick.trackText = std::to_string(markCount + 1);
    return tick;
}

void RecordingPageState::NewTrack() {
    if (markCount + 1 < kMaxTracks && recorder)
        recorder->MarkTrack();
}

std::string RecordingPageState::InitialTrackText() const {
    return split ? LoadString(kIdsAutomatic) : std::string();
}

}  // namespace sondrel
