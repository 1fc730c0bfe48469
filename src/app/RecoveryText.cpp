#include "app/RecoveryText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "base/StringTable.h"

namespace sondrel {

namespace {

std::string MonthName(int month) {
    const std::string names = LoadString(kIdsMonthNames);
    std::size_t start = 0;
    for (int i = 0; i < month; ++i) {
        start = names.find('|', start);
        if (start == std::string::npos)
            return std::to_string(month + 1);
        ++start;
    }
    return names.substr(start, names.find('|', start) - start);
}

}  // namespace

std::string DescribeUnfinished(const UnfinishedRecording& recording) {
    const std::string length = FormatLengthText(recording.seconds);
    std::tm local{};
    localtime_r(&recording.modified, &local);
    const std::string date = std::to_string(local.tm_mday) + " " + MonthName(local.tm_mon) + " " +
                             std::to_string(local.tm_year + 1900);
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d", local.tm_hour, local.tm_min);
    const bool named = recording.tagged && (!recording.artist.empty() || !recording.album.empty());
    std::string text =
        LoadString(named ? kIdsUnfinishedAlbumDescription : kIdsUnfinishedDescription);
    if (named) {
        std::string album = recording.artist;
        if (!recording.artist.empty() && !recording.album.empty())
            album += " \u2013 ";
        album += recording.album;
        const std::string tracks =
            recording.trackCount == 1
                ? LoadString(kIdsOneTrack)
                : FormatNumberText(LoadString(kIdsTrackCountFormat),
                                   static_cast<long long>(recording.trackCount));
        text = FillField(text, "album", album);
        text = FillField(text, "tracks", tracks);
    }
    text = FillField(text, "length", length);
    text = FillField(text, "date", date);
    return FillField(text, "time", time);
}

std::string FormatUnfinishedQuestion(const UnfinishedRecording& recording) {
    return FillField(LoadString(kIdsMsgUnfinishedFound), "recording",
                     DescribeUnfinished(recording));
}

std::string FormatLostAudioMessage(double seconds) {
    char value[32];
    std::snprintf(value, sizeof value, "%.1f", seconds);
    return FillField(LoadString(kIdsMsgAudioLost), "seconds", value);
}

std::string FormatLengthText(double seconds) {
    const long long total = std::llround(std::max(seconds, 0.0));
    char length[32];
    if (total >= 3600) {
        std::snprintf(length, sizeof length, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(length, sizeof length, "%lld:%02lld", total / 60, total % 60);
    }
    return length;
}

std::string FormatFileFullMessage(double secondsNotRecorded) {
    return FillField(LoadString(kIdsMsgFileFull), "length", FormatLengthText(secondsNotRecorded));
}

std::string FormatDeviceBusyMessage(const std::string& program) {
    return FillField(LoadString(kIdsMsgDeviceBusy), "program",
                     program.empty() ? LoadString(kIdsSomeOtherProgram) : program);
}

std::string FormatKeptForLaterMessage(const std::filesystem::path& folder) {
    return FillField(LoadString(kIdsMsgKeptForLater), "folder", folder.string());
}

std::string FormatCutFailedMessage(const std::string& reason, const std::filesystem::path& folder) {
    return FillField(FillField(LoadString(kIdsMsgCutFailed), "reason", reason), "folder",
                     folder.string());
}

std::string FormatCannotStartMessage(const std::string& reason) {
    return FillField(LoadString(kIdsMsgCannotStart), "reason", reason);
}

}  // namespace sondrel
