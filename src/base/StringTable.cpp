#include "base/StringTable.h"

#include <mutex>
#include <utility>

namespace sondrel {

namespace {

struct Entry {
    StringId id;
    const char* text;
};

constexpr Entry kBuiltIn[] = {
    {kIdsMeterLeft, "L"},
    {kIdsMeterReadoutFormat, "%.1f"},
    {kIdsMeterRight, "R"},
    {kIdsMsgCannotConnect,
     "Unable to connect to the audio device\n\nPlease make sure your audio device is "
     "connected and turned on."},
    {kIdsProductTitle, "Sondrel by Korvell"},
    {kIdsMsgAbortRecording, "Would you like to quit and abort your recording now?"},
    {kIdsMsgSeveralDevices,
     "Sondrel is unable to initialize your audio recording device.\nPlease disconnect all "
     "other USB audio devices. Then hit the 'next' button again."},
    {kIdsAlbum, "Album"},
    {kIdsUnknownArtist, "<Unknown artist>"},
    {kIdsUnknownAlbum, "<Unknown album>"},
    {kIdsUnknownTitle, "<Unknown title>"},
    {kIdsMsgMonoRecording,
     "Your computer is currently set to record in mono mode instead of stereo. Your "
     "recordings may not sound right if you continue. Please refer to the quick start guide "
     "or visit the Sondrel support page for more information.\n\nWould you like to visit the "
     "Sondrel support page now?"},
    {kIdsMsgMonoRecordingMarvane,
     "Your computer is currently set to record in mono mode instead of stereo. Your "
     "recordings may not sound right if you continue. Please refer to the quick start guide "
     "or visit the Marvane support page for more information.\n\nWould you like to visit the "
     "Marvane support page now?"},
    {kIdsAutomatic, "Automatic"},
    {kIdsRecordingFinished, "Recording Finished"},
    {kIdsAppName, "Sondrel"},
    {kIdsMsgExportFailed, "Unable to export files.\n\nWould you like to try exporting again?"},
    {kIdsTrackNumberFormat, "Track %d"},
    {kIdsMsgTracksNotMade,
     "Unable to make the track files from this recording.\n\nThe disk may be full, or the "
     "recording could not be read back."},
    {kIdsMsgCannotRecord,
     "Unable to start recording.\n\nThe capture device may be in use by another program, or "
     "there may be no room on the disk for the recording."},
    {kIdsMsgUnfinishedFound,
     "Sondrel found a recording that was not exported: {recording}. Would you like to export it "
     "now?"},
    {kIdsMsgRecordingsFolder,
     "Unable to start recording.\n\nThe folder where Sondrel keeps recordings cannot be "
     "created or written. The disk may be full or read-only."},
    {kIdsMsgDeviceDisconnected,
     "The recording device was disconnected. Everything recorded until then has been kept: "
     "you can name the tracks and export them now."},
    {kIdsMsgAudioLost,
     "{seconds} seconds of audio were lost during this recording because the computer could "
     "not keep up. You may want to record this side again."},
    {kIdsMsgKeptForLater,
     "What was not exported is kept in {folder}. Sondrel will offer to export it the next "
     "time it starts."},
    {kIdsMsgDeviceBusy,
     "Unable to start recording.\n\nThe recording device is in use by {program}. Please close "
     "it or let it release the device, then press the 'record' button again."},
    {kIdsSomeOtherProgram, "another program"},
    {kIdsMsgDiscardRecording,
     "This recording has not been exported. Going back discards it.\n\nWould you like to "
     "discard this recording?"},
    {kIdsMsgCutFailed,
     "Unable to make the track files from this recording ({reason}).\n\nThe recording is kept "
     "in {folder}. Sondrel will offer to export it the next time it starts."},
    {kIdsUnfinishedDescription, "{length} recorded on {date} at {time}"},
    {kIdsUnfinishedAlbumDescription, "{album}, {tracks}, {length}, recorded on {date} at {time}"},
    {kIdsOneTrack, "1 track"},
    {kIdsTrackCountFormat, "%d tracks"},
    {kIdsMsgFileFull,
     "The recording reached the largest size a WAV file can hold and ended there: the "
     "{length} that followed were not recorded. You may want to record the rest of this side "
     "separately."},
    {kIdsExportFormat, "Export format"},
    {kIdsFormatWav, "WAV"},
    {kIdsFormatFlac, "FLAC"},
    {kIdsCheckTracks, "check tracks"},
    {kIdsTracksDone, "done"},
    {kIdsListen, "listen"},
    {kIdsSnapCut, "snap to quiet"},
    {kIdsAddCut, "add cut"},
    {kIdsRemoveCut, "remove cut"},
    {kIdsUndoCut, "undo"},
    {kIdsTracksOverview, "Whole recording with its cuts"},
    {kIdsCutCloseUp, "Five seconds either side of the selected cut"},
    {kIdsTracksKeys,
     "Tab or Up and Down select a cut; Left and Right move it by 0.1 s, with Shift by 1 s; "
     "Insert adds a cut where you listen, Delete removes the selected one; Space listens around "
     "it; Ctrl+Z undoes. A click listens from there, a double-click adds a cut."},
    {kIdsCutPosition, "Cut {cut} of {count} at {time}, {tracks}"},
    {kIdsNoCut, "No cut: {tracks}"},
    {kIdsCutsNotSaved,
     "The cuts could not be saved beside the recording; they are kept only until Sondrel "
     "closes."},
    {kIdsLookUp, "look up"},
    {kIdsLookupSearching, "Looking the album up online..."},
    {kIdsLookupLoading, "Loading the release's tracks..."},
    {kIdsLookupPick, "{count} found: pick the release and the side, then press 'use'."},
    {kIdsLookupOffline, "The track database cannot be reached: is this computer online?"},
    {kIdsLookupRefused, "The track database refused the lookup."},
    {kIdsLookupRateLimited, "The track database is busy: please try again in a moment."},
    {kIdsLookupTimedOut, "The track database did not answer in time."},
    {kIdsLookupMalformed, "The track database's answer could not be read."},
    {kIdsLookupNoMatch, "No release of this artist and album was found."},
    {kIdsLookupNeedsNames, "Please type the artist and the album first."},
    {kIdsLookupFilled, "The empty titles were filled in from {release}."},
    {kIdsLookupCountDiffers,
     "The release has {found} tracks for this side, the recording {tracks}: please check the "
     "titles."},
    {kIdsLookupSide, "Side"},
    {kIdsLookupUse, "use"},
    {kIdsLookupColumns, "Title|Artist|Date|Country|Format|Tracks"},
    {kIdsLookupMatches, "Releases found"},
    {kIdsLookupNoSide, "This release has no side {side}."},
    {kIdsLookupCutsOffered,
     "The side has {found} tracks, the recording {tracks}: 'check tracks' can cut at their "
     "lengths."},
    {kIdsLookupUntrusted,
     "The track database's certificate was not accepted: is this computer's clock right?"},
    {kIdsCutsAtSide, "side lengths"},
    {kIdsCutsAtSideHelp,
     "Places the cuts where the looked-up side's tracks end, each at the quietest moment "
     "within 3 seconds; undo brings the cuts back."},
    {kIdsMonthNames,
     "January|February|March|April|May|June|July|August|September|October|November|December"},
    {kIdsBack, "back"},
    {kIdsNext, "next"},
    {kIdsCloseMark, "X"},
    {kIdsClose, "Close"},
    {kIdsSelected, "selected"},
    {kIdsLevelMeter, "Level meter"},
    {kIdsRecordingTime, "recording time"},
    {kIdsRecordingTrack, "recording track"},
    {kIdsNewTrack, "new track"},
    {kIdsSplitIntoTracks, "Split recording into tracks"},
    {kIdsRecordLevel, "Record level"},
    {kIdsRecord, "record"},
    {kIdsTurntable, "TURNTABLE"},
    {kIdsTapePlayer, "TAPE PLAYER"},
    {kIdsNormalTape, "normal"},
    {kIdsChromeTape, "chrome"},
    {kIdsSaveLocation, "Save Location"},
    {kIdsChooseSaveLocation, "Choose the save location"},
    {kIdsExportProgress, "Export progress"},
    {kIdsArtist, "Artist"},
    {kIdsTrackTitle, "Track title"},
    {kIdsTrack, "Track"},
    {kIdsPleaseWait, "Please wait..."},
    {kIdsRecordSomethingElse, "Record Something Else"},
    {kIdsCloseProgram, "Close Sondrel"},
    {kIdsOpenSaveLocation, "Open Save Location"},
    {kIdsMsgCannotStart, "Sondrel cannot start: {reason}"},
};

std::mutex& OverrideLock() {
    static std::mutex lock;
    return lock;
}

std::map<StringId, std::string>& Overrides() {
    static std::map<StringId, std::string> overrides;
    return overrides;
}

}  // namespace

const char* BuiltInString(StringId id) {
    for (const Entry& entry : kBuiltIn) {
        if (entry.id == id)
            return entry.text;
    }
    return nullptr;
}

std::string LoadString(StringId id) {
    {
        std::lock_guard lock(OverrideLock());
        const auto& overrides = Overrides();
        if (auto it = overrides.find(id); it != overrides.end())
            return it->second;
    }
    const char* text = BuiltInString(id);
    return text ? std::string(text) : std::string();
}

void SetStringOverrides(std::map<StringId, std::string> overrides) {
    std::lock_guard lock(OverrideLock());
    Overrides() = std::move(overrides);
}

void ClearStringOverrides() {
    std::lock_guard lock(OverrideLock());
    Overrides().clear();
}

std::string FormatNumberText(const std::string& format, long long number) {
    const std::string digits = std::to_string(number);
    const std::size_t at = format.find("%d");
    if (at == std::string::npos)
        return format.empty() ? digits : format + " " + digits;
    std::string text = format;
    text.replace(at, 2, digits);
    return text;
}

std::string FillField(std::string text, const std::string& name, const std::string& value) {
    const std::string field = "{" + name + "}";
    for (std::size_t at = text.find(field); at != std::string::npos;
         at = text.find(field, at + value.size()))
        text.replace(at, field.size(), value);
    return text;
}

}  // namespace sondrel
