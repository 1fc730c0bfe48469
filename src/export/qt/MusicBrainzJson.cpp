#include "export/qt/MusicBrainzJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <algorithm>

namespace sondrel {

namespace {

std::string Text(const QJsonObject& object, const char* key) {
    return object.value(QLatin1String(key)).toString().toStdString();
}

// Older answers give some numbers as strings.
// A count the service gives, kept to what a release can hold.
int Number(const QJsonValue& value) {
    constexpr int kMost = 10000;
    return std::clamp(value.isString() ? value.toString().toInt() : value.toInt(), 0, kMost);
}

std::string ArtistCredit(const QJsonArray& credits) {
    std::string artist;
    for (const QJsonValue& credit : credits) {
        const QJsonObject name = credit.toObject();
        artist += Text(name, "name") + Text(name, "joinphrase");
    }
    return artist;
}

// "12\" Vinyl", "2×12\" Vinyl", or the formats joined with " + " when they differ.
std::string MediaFormat(const QJsonArray& media) {
    QStringList formats;
    for (const QJsonValue& medium : media)
        formats << medium.toObject().value(QLatin1String("format")).toString();
    formats.removeAll(QString());
    if (formats.isEmpty())
        return {};
    if (formats.count(formats.first()) == formats.size() && formats.size() > 1)
        return (QString::number(formats.size()) + QChar(0x00D7) + formats.first()).toStdString();
    formats.removeDuplicates();
    return formats.join(QLatin1String(" + ")).toStdString();
}

ReleaseMatch ReadMatch(const QJsonObject& release) {
    ReleaseMatch match;
    match.id = Text(release, "id");
    match.score = Number(release.value(QLatin1String("score")));
    match.title = Text(release, "title");
    match.date = Text(release, "date");
    match.country = Text(release, "country");
    match.artist = ArtistCredit(release.value(QLatin1String("artist-credit")).toArray());
    const QJsonArray media = release.value(QLatin1String("media")).toArray();
    match.format = MediaFormat(media);
    match.trackCount = Number(release.value(QLatin1String("track-count")));
    if (match.trackCount == 0) {
        for (const QJsonValue& medium : media)
            match.trackCount = std::min(
                match.trackCount + Number(medium.toObject().value(QLatin1String("track-count"))),
                10000);
    }
    return match;
}

bool ReadObject(const QByteArray& json, QJsonObject& object) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    object = document.object();
    return true;
}

}  // namespace

LookupStatus ParseReleaseSearch(const QByteArray& json, std::vector<ReleaseMatch>& matches) {
    matches.clear();
    QJsonObject answer;
    if (!ReadObject(json, answer) || !answer.value(QLatin1String("releases")).isArray())
        return LookupStatus::Malformed;
    for (const QJsonValue& value : answer.value(QLatin1String("releases")).toArray()) {
        if (!value.isObject())
            return LookupStatus::Malformed;
        ReleaseMatch match = ReadMatch(value.toObject());
        if (!match.id.empty())
            matches.push_back(std::move(match));
    }
    return matches.empty() ? LookupStatus::NoMatch : LookupStatus::Found;
}

LookupStatus ParseRelease(const QByteArray& json, std::vector<ReleaseTrack>& tracks) {
    tracks.clear();
    QJsonObject release;
    if (!ReadObject(json, release) || !release.value(QLatin1String("media")).isArray())
        return LookupStatus::Malformed;
    std::vector<QJsonObject> media;
    for (const QJsonValue& medium : release.value(QLatin1String("media")).toArray())
        media.push_back(medium.toObject());
    std::stable_sort(media.begin(), media.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return Number(a.value(QLatin1String("position"))) <
               Number(b.value(QLatin1String("position")));
    });
    for (const QJsonObject& medium : media) {
        for (const QJsonValue& value : medium.value(QLatin1String("tracks")).toArray()) {
            const QJsonObject track = value.toObject();
            ReleaseTrack read;
            read.number = Text(track, "number");
            read.title = Text(track, "title");
            // No track lasts a day: a longer length is as good as none, and is never turned
            // into a number of frames that wraps around.
            constexpr double kLongestMs = 24.0 * 3600 * 1000;
            const double length = track.value(QLatin1String("length")).toDouble();
            read.lengthMs =
                length > 0 && length < kLongestMs ? static_cast<std::uint64_t>(length) : 0;
            tracks.push_back(std::move(read));
        }
    }
    return tracks.empty() ? LookupStatus::NoMatch : LookupStatus::Found;
}

}  // namespace sondrel
