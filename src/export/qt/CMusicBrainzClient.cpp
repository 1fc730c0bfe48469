#include "export/qt/CMusicBrainzClient.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <algorithm>

#include "export/qt/MusicBrainzJson.h"

namespace sondrel {

namespace {

constexpr char kPublicService[] = "https://musicbrainz.org";
// Where the service's operators can reach whoever runs this program.
constexpr char kContact[] = "https://sondrel.org/support";

// When the last request of the whole program went out: the service counts per address, not
// per page.
QElapsedTimer& LastRequest() {
    static QElapsedTimer last;
    return last;
}

// A phrase of the service's search syntax (Lucene): quotes and backslashes escaped.
QString Phrase(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QUrl ServicePath(const QString& path) {
    QUrl url = CMusicBrainzClient::ServiceUrl();
    QString base = url.path();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    url.setPath(base + path);
    return url;
}

LookupStatus StatusOf(QNetworkReply& reply, bool timedOut) {
    const int http = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timedOut)
        return LookupStatus::TimedOut;
    if (http == 503 || http == 429)
        return LookupStatus::RateLimited;
    if (http == 404)
        return LookupStatus::NoMatch;
    if (http >= 400 || (http > 0 && reply.error() != QNetworkReply::NoError))
        return LookupStatus::Refused;
    // A certificate that does not check out is no network fault: a wrong clock or someone
    // between us and the service.
    if (reply.error() == QNetworkReply::SslHandshakeFailedError)
        return LookupStatus::Untrusted;
    if (reply.error() != QNetworkReply::NoError)
        return LookupStatus::Offline;
    return LookupStatus::Found;
}

}  // namespace

CMusicBrainzClient::CMusicBrainzClient(QObject* parent) : QObject(parent) {
    m_spacing.setSingleShot(true);
    connect(&m_spacing, &QTimer::timeout, this, [this] { SendNow(); });
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
}

CMusicBrainzClient::~CMusicBrainzClient() {
    Cancel();
}

QUrl CMusicBrainzClient::ServiceUrl() {
    const QString configured = qEnvironmentVariable("SONDREL_MUSICBRAINZ_URL");
    const QUrl url(configured, QUrl::StrictMode);
    return !configured.isEmpty() && url.isValid() ? url : QUrl(QLatin1String(kPublicService));
}

QByteArray CMusicBrainzClient::UserAgent() {
    return QByteArrayLiteral("Sondrel/" SONDREL_VERSION " ( ") + kContact + " )";
}

void CMusicBrainzClient::FindReleases(const QString& artist, const QString& album,
                                      MatchesDone done) {
    QUrl url = ServicePath(QStringLiteral("/ws/2/release/"));
    const QString query =
        QStringLiteral("artist:%1 AND release:%2").arg(Phrase(artist), Phrase(album));
    // Encoded by hand: a "+" left as it is would reach the service as a space.
    url.setQuery(
        QByteArrayLiteral("query=") + QUrl::toPercentEncoding(query) + "&fmt=json&limit=10",
        QUrl::StrictMode);
    Queue(url, [done = std::move(done)](LookupStatus status, const QByteArray& body) {
        std::vector<ReleaseMatch> matches;
        if (status == LookupStatus::Found)
            status = ParseReleaseSearch(body, matches);
        done(status, std::move(matches));
    });
}

void CMusicBrainzClient::LoadRelease(const QString& id, TracksDone done) {
    // Only a MusicBrainz identifier goes into the path.
    static const QRegularExpression kId(QStringLiteral("^[0-9A-Fa-f-]{1,64}$"));
    if (!kId.match(id).hasMatch()) {
        // Answered from the event loop like any other, and dropped by a Cancel before then.
        Cancel();
        QTimer::singleShot(0, this, [this, asked = m_cancels, done = std::move(done)] {
            if (asked == m_cancels)
                done(LookupStatus::NoMatch, {});
        });
        return;
    }
    QUrl url = ServicePath(QStringLiteral("/ws/2/release/") + id);
    url.setQuery(QStringLiteral("inc=recordings+artist-credits&fmt=json"), QUrl::StrictMode);
    Queue(url, [done = std::move(done)](LookupStatus status, const QByteArray& body) {
        std::vector<ReleaseTrack> tracks;
        if (status == LookupStatus::Found)
            status = ParseRelease(body, tracks);
        done(status, std::move(tracks));
    });
}

void CMusicBrainzClient::Cancel() {
    ++m_cancels;
    m_spacing.stop();
    m_limit.stop();
    m_waiting = false;
    m_done = nullptr;
    if (QNetworkReply* reply = m_reply) {
        m_reply = nullptr;
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void CMusicBrainzClient::Queue(QUrl url, Done done) {
    Cancel();
    m_url = std::move(url);
    m_done = std::move(done);
    m_waiting = true;
    QElapsedTimer& last = LastRequest();
    const qint64 since = last.isValid() ? last.elapsed() : kRequestSpacingMs;
    m_spacing.start(static_cast<int>(std::max<qint64>(0, kRequestSpacingMs - since)));
}

void CMusicBrainzClient::SendNow() {
    m_waiting = false;
    LastRequest().start();
    QNetworkRequest request(m_url);
    request.setHeader(QNetworkRequest::UserAgentHeader, UserAgent());
    request.setRawHeader("Accept", "application/json");
    m_timedOut = false;
    QNetworkReply* reply = m_network.get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { Finish(reply); });
    m_limit.start(m_limitMs);
}

void CMusicBrainzClient::Finish(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != m_reply)
        return;
    m_reply = nullptr;
    m_limit.stop();
    const LookupStatus status = StatusOf(*reply, m_timedOut);
    // Qt keeps the refused connection's settings; the next try must check the certificate
    // afresh (the clock may have been set right since).
    if (status == LookupStatus::Untrusted)
        m_network.clearConnectionCache();
    const QByteArray body = status == LookupStatus::Found ? reply->readAll() : QByteArray();
    // The callback may start the next request, which replaces m_done.
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(status, body);
}

}  // namespace sondrel
