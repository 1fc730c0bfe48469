// The texts about recordings kept for later: the start-up question for an unfinished
// recording, the lost-audio and full-file messages and where unexported files are kept. Built from
// the string table's entries, so language packs translate them, with named fields instead of printf
// formats.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

#include "recording/UnfinishedRecordings.h"

namespace sondrel {

// What names an unfinished recording, in the question and the list of them: "The Band – Live,
// 13 tracks, 23:41, recorded on 8 December 2026 at 14:02" once names were typed for it, else
// "23:41 recorded on 8 December 2026 at 14:02" (local time of its last write; the length
// rounded to the second).
std::string DescribeUnfinished(const UnfinishedRecording& recording);

// "Sondrel found a recording that was not exported: <description>. Would you like ...?"
std::string FormatUnfinishedQuestion(const UnfinishedRecording& recording);

// "12.5 seconds of audio were lost ..." (one decimal).
std::string FormatLostAudioMessage(double seconds);

// A length as "10:53" (minutes and seconds), or "1:02:03" from one hour on; rounded to the
// second.
std::string FormatLengthText(double seconds);

// "The recording reached the largest size a WAV file can hold ...: the 10:53 that followed
// were not recorded. ..."
std::string FormatFileFullMessage(double secondsNotRecorded);

// "... the recording device is in use by PROGRAM ..." (another program when unknown).
std::string FormatDeviceBusyMessage(const std::string& program);

// "What was not exported is kept in FOLDER. ..."
std::string FormatKeptForLaterMessage(const std::filesystem::path& folder);

// "Unable to make the track files from this recording (REASON). ... kept in FOLDER ..."
std::string FormatCutFailedMessage(const std::string& reason, const std::filesystem::path& folder);

// "Sondrel cannot start: <reason>" (the devices or an argument cannot be used).
std::string FormatCannotStartMessage(const std::string& reason);

}  // namespace sondrel
