// The texts about recordings kept for later: the start-up question for an unfinished
// recording, the lost-audio and full-file messages and where unexported files are kept. Built from
// the string table's entries, so language packs translate them, with named fields instead of printf
// formats.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace sondrel {

// "Sondrel found a recording that was not exported: 23:41 recorded on 8 December 2026 at
// 14:02. ..." for a recording of that many seconds last written at modified (local time).
std::string FormatUnfinishedQuestion(double seconds, std::time_t modified);

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

}  // namespace sondrel
