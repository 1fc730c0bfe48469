// The program's string table: every user-visible text addressed by its number, in English,
// with a hook through which a language pack replaces entries.
#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace sondrel {

using StringId = std::uint32_t;

inline constexpr StringId kIdsMeterLeft = 137;           // "L"
inline constexpr StringId kIdsMeterReadoutFormat = 138;  // "%.1f"
inline constexpr StringId kIdsMeterRight = 139;          // "R"
inline constexpr StringId kIdsMsgCannotConnect = 142;
inline constexpr StringId kIdsProductTitle = 143;  // "Sondrel by Korvell"
inline constexpr StringId kIdsMsgAbortRecording = 144;
inline constexpr StringId kIdsMsgSeveralDevices = 146;
inline constexpr StringId kIdsAlbum = 149;
inline constexpr StringId kIdsUnknownArtist = 152;
inline constexpr StringId kIdsUnknownAlbum = 153;
inline constexpr StringId kIdsUnknownTitle = 154;
inline constexpr StringId kIdsMsgMonoRecording = 155;
inline constexpr StringId kIdsMsgMonoRecordingMarvane = 156;
inline constexpr StringId kIdsAutomatic = 157;
inline constexpr StringId kIdsRecordingFinished = 158;
inline constexpr StringId kIdsAppName = 159;  // "Sondrel", the message-box caption
inline constexpr StringId kIdsMsgExportFailed = 162;
inline constexpr StringId kIdsTrackNumberFormat = 163;  // "Track %d"
inline constexpr StringId kIdsMsgTracksNotMade = 170;
inline constexpr StringId kIdsMsgCannotRecord = 171;
// "{recording}" is one of the two descriptions below, filled in by FormatUnfinishedQuestion.
inline constexpr StringId kIdsMsgUnfinishedFound = 172;
inline constexpr StringId kIdsMsgRecordingsFolder = 173;
inline constexpr StringId kIdsMsgDeviceDisconnected = 174;
inline constexpr StringId kIdsMsgAudioLost = 175;     // "{seconds}"
inline constexpr StringId kIdsMsgKeptForLater = 176;  // "{folder}"
inline constexpr StringId kIdsMonthNames = 177;       // twelve names, separated by "|"
inline constexpr StringId kIdsMsgDeviceBusy = 178;    // "{program}"
inline constexpr StringId kIdsSomeOtherProgram = 179;
inline constexpr StringId kIdsMsgDiscardRecording = 180;
inline constexpr StringId kIdsMsgCutFailed = 181;  // "{reason}", "{folder}"
// An unfinished recording: "{length}", "{date}", "{time}", and for one with names "{album}"
// (artist and album as typed) and "{tracks}".
inline constexpr StringId kIdsUnfinishedDescription = 182;
inline constexpr StringId kIdsUnfinishedAlbumDescription = 183;
inline constexpr StringId kIdsOneTrack = 184;
inline constexpr StringId kIdsTrackCountFormat = 185;  // "%d tracks"
inline constexpr StringId kIdsMsgFileFull = 186;       // "{length}"
// The export format chooser beside the save location.
inline constexpr StringId kIdsExportFormat = 187;
inline constexpr StringId kIdsFormatWav = 188;
inline constexpr StringId kIdsFormatFlac = 189;
// The track page and the button that opens it.
inline constexpr StringId kIdsCheckTracks = 190;
inline constexpr StringId kIdsTracksDone = 191;
inline constexpr StringId kIdsListen = 192;
inline constexpr StringId kIdsSnapCut = 193;
inline constexpr StringId kIdsAddCut = 194;
inline constexpr StringId kIdsRemoveCut = 195;
inline constexpr StringId kIdsUndoCut = 196;
inline constexpr StringId kIdsTracksOverview = 197;  // accessible names of the two pictures
inline constexpr StringId kIdsCutCloseUp = 198;
inline constexpr StringId kIdsTracksKeys = 199;   // what the keys do on the overview
inline constexpr StringId kIdsCutPosition = 200;  // "{cut}", "{count}", "{time}", "{tracks}"
inline constexpr StringId kIdsNoCut = 201;        // "{tracks}"
inline constexpr StringId kIdsCutsNotSaved = 202;
// Track titles looked up online on the first tag page.
inline constexpr StringId kIdsLookUp = 330;
inline constexpr StringId kIdsLookupSearching = 331;
inline constexpr StringId kIdsLookupLoading = 332;
inline constexpr StringId kIdsLookupPick = 333;  // "{count}"
inline constexpr StringId kIdsLookupOffline = 334;
inline constexpr StringId kIdsLookupRefused = 335;
inline constexpr StringId kIdsLookupRateLimited = 336;
inline constexpr StringId kIdsLookupTimedOut = 337;
inline constexpr StringId kIdsLookupMalformed = 338;
inline constexpr StringId kIdsLookupNoMatch = 339;
inline constexpr StringId kIdsLookupNeedsNames = 340;
inline constexpr StringId kIdsLookupFilled = 341;        // "{release}"
inline constexpr StringId kIdsLookupCountDiffers = 342;  // "{found}", "{tracks}"
inline constexpr StringId kIdsLookupSide = 343;
inline constexpr StringId kIdsLookupUse = 344;
inline constexpr StringId kIdsLookupColumns = 345;  // six headings, separated by "|"
inline constexpr StringId kIdsLookupMatches = 346;
inline constexpr StringId kIdsLookupNoSide = 347;       // "{side}"
inline constexpr StringId kIdsLookupCutsOffered = 348;  // "{found}", "{tracks}"
inline constexpr StringId kIdsCutsAtSide = 349;         // the track page's tool, and what it does
inline constexpr StringId kIdsCutsAtSideHelp = 350;
inline constexpr StringId kIdsLookupUntrusted = 351;
// The names and captions of the pages' controls (also what screen readers say).
inline constexpr StringId kIdsBack = 300;
inline constexpr StringId kIdsNext = 301;
inline constexpr StringId kIdsCloseMark = 302;
inline constexpr StringId kIdsClose = 303;
inline constexpr StringId kIdsSelected = 304;
inline constexpr StringId kIdsLevelMeter = 305;
inline constexpr StringId kIdsRecordingTime = 306;
inline constexpr StringId kIdsRecordingTrack = 307;
inline constexpr StringId kIdsNewTrack = 308;
inline constexpr StringId kIdsSplitIntoTracks = 309;
inline constexpr StringId kIdsRecordLevel = 310;
inline constexpr StringId kIdsRecord = 311;
inline constexpr StringId kIdsTurntable = 312;
inline constexpr StringId kIdsTapePlayer = 313;
inline constexpr StringId kIdsNormalTape = 314;
inline constexpr StringId kIdsChromeTape = 315;
inline constexpr StringId kIdsSaveLocation = 316;
inline constexpr StringId kIdsChooseSaveLocation = 317;
inline constexpr StringId kIdsExportProgress = 318;
inline constexpr StringId kIdsArtist = 319;
inline constexpr StringId kIdsTrackTitle = 320;
inline constexpr StringId kIdsTrack = 321;
inline constexpr StringId kIdsPleaseWait = 322;
inline constexpr StringId kIdsRecordSomethingElse = 323;
inline constexpr StringId kIdsCloseProgram = 324;
inline constexpr StringId kIdsOpenSaveLocation = 325;
inline constexpr StringId kIdsMsgCannotStart = 326;  // "{reason}"

// The text of an entry: the language pack's when it has one, else the built-in English text,
// else an empty string. Thread-safe (the export worker reads its texts too).
std::string LoadString(StringId id);

// The built-in English text, or nullptr for an unknown id.
const char* BuiltInString(StringId id);

// Installs a language pack's entries; they win over the built-in ones until replaced or
// cleared. Entries for ids the program does not know are kept (and returned) as well.
void SetStringOverrides(std::map<StringId, std::string> overrides);
void ClearStringOverrides();

// Formats a "%d" text such as "Track %d" without handing translated text to printf: the
// first "%d" becomes the number; a text without one gets " " and the number appended.
std::string FormatNumberText(const std::string& format, long long number);

// Replaces every "{name}" in a text from the table with value (which is never searched, so a
// value holding "{name}" stays as it is).
std::string FillField(std::string text, const std::string& name, const std::string& value);

}  // namespace sondrel
