// Talks to the MusicBrainz web service (ws/2, JSON) the way it asks to be used: a User-Agent
// that names the program, its version and a contact, at most one request a second from the
// whole program, and a time limit on each request. Every call returns at once; the answer
// comes to its callback on the calling thread's event loop, so a page keeps working.
#pragma once

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <vector>

#include "export/ITitleLookup.h"

namespace sondrel {

class CMusicBrainzClient : public QObject {
    Q_OBJECT
public:
    using MatchesDone = std::function<void(LookupStatus, std::vector<ReleaseMatch>)>;
    using TracksDone = std::function<void(LookupStatus, std::vector<ReleaseTrack>)>;

    static constexpr int kRequestLimitMs = 10000;
    static constexpr int kRequestSpacingMs = 1000;

    explicit CMusicBrainzClient(QObject* parent = nullptr);
    ~CMusicBrainzClient() override;

    // The service's root: $SONDREL_MUSICBRAINZ_URL (a mirror, or a test's server), else the
    // public service.
    static QUrl ServiceUrl();
    static QByteArray UserAgent();

    // The releases of this artist and album, the ten the service rates best.
    void FindReleases(const QString& artist, const QString& album, MatchesDone done);
    // One release's tracks with their numbers and lengths.
    void LoadRelease(const QString& id, TracksDone done);
    // Drops the request under way or waiting: its callback is never called.
    void Cancel();
    bool Busy() const { return m_waiting || m_reply; }
    // Tests shorten the limit to see it end a request that is never answered.
    void SetRequestLimitMs(int ms) { m_limitMs = ms; }

private:
    using Done = std::function<void(LookupStatus, const QByteArray&)>;
    void Queue(QUrl url, Done done);
    void SendNow();
    void Finish(QNetworkReply* reply);

    QNetworkAccessManager m_network;
    QTimer m_spacing;  // holds a request back until a second after the last one
    QTimer m_limit;
    bool m_waiting = false;
    std::uint64_t m_cancels = 0;  // a queued answer is dropped once this has moved on
    bool m_timedOut = false;
    QUrl m_url;
    Done m_done;
    QPointer<QNetworkReply> m_reply;
    int m_limitMs = kRequestLimitMs;
};

}  // namespace sondrel
