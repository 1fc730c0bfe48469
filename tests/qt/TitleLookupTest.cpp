// The MusicBrainz client against a web server of the test's own serving stored ws/2 answers:
// what it asks and how, each way an answer can fail, and the first tag page that lists the
// matches and fills the empty titles of the chosen side while the page keeps working.
#include <QSslConfiguration>
#include <QSslKey>
#include <QtTest>

#include "base/StringTable.h"
#include "export/ReleaseSides.h"
#include "export/TitleLookupText.h"
#include "export/qt/CMusicBrainzClient.h"
#include "export/qt/CWizTagMultiple.h"
#include "export/qt/CWizTagSingle.h"
#include "export/qt/MusicBrainzJson.h"
#include "tests/qt/LocalHttpServer.h"
#include "ui/CKxButton.h"
#include "ui/SkinPicture.h"

using namespace sondrel;
using sondrel::test::HttpAnswer;
using sondrel::test::LocalHttpServer;

namespace {

const QByteArray kVinylId = "22222222-2222-2222-2222-222222222222";
const QByteArray kCdId = "11111111-1111-1111-1111-111111111111";

QByteArray Stored(const char* name) {
    QFile file(QStringLiteral(SONDREL_TEST_DATA_DIR "/musicbrainz/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stored answers by path: the search, and the vinyl and CD releases.
HttpAnswer StoredAnswers(const QByteArray& target) {
    if (target.startsWith("/ws/2/release/?"))
        return {200, Stored("search.json")};
    if (target.startsWith("/ws/2/release/" + kVinylId + "?"))
        return {200, Stored("release-vinyl.json")};
    if (target.startsWith("/ws/2/release/" + kCdId + "?"))
        return {200, Stored("release-cd.json")};
    return {404, "{}"};
}

void UseServer(const QByteArray& url) {
    qputenv("SONDREL_MUSICBRAINZ_URL", url);
}

struct Searched {
    bool done = false;
    LookupStatus status = LookupStatus::Offline;
    std::vector<ReleaseMatch> matches;
};

Searched Search(CMusicBrainzClient& client, const QString& artist, const QString& album) {
    Searched result;
    client.FindReleases(artist, album, [&](LookupStatus status, std::vector<ReleaseMatch> found) {
        result = {true, status, std::move(found)};
    });
    if (!QTest::qWaitFor([&] { return result.done; }, 15000))
        qWarning("the search did not end");
    return result;
}

std::vector<ReleaseTrack> Load(CMusicBrainzClient& client, const QByteArray& id) {
    std::vector<ReleaseTrack> tracks;
    bool done = false;
    client.LoadRelease(QString::fromLatin1(id), [&](LookupStatus, std::vector<ReleaseTrack> t) {
        tracks = std::move(t);
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 15000))
        qWarning("the release did not load");
    return tracks;
}

QString Text(StringId id) {
    return QString::fromStdString(LoadString(id));
}

}  // namespace

class TitleLookupTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InitSkinResources(); }

    void clientAsksAsTheServiceWantsAndReadsItsAnswers() {
        LocalHttpServer server(StoredAnswers);
        UseServer(server.Url() + "/");
        CMusicBrainzClient client;
        const Searched found =
            Search(client, QStringLiteral("Mara \"Q\" + Co"), QStringLiteral("Harvest Lines"));
        QCOMPARE(found.status, LookupStatus::Found);
        QCOMPARE(found.matches.size(), 3u);  // the one without an id is left out
        QCOMPARE(found.matches[1].artist, std::string("Mara Quill & The Lanterns"));
        QCOMPARE(found.matches[1].format, std::string("12\" Vinyl"));
        QCOMPARE(found.matches[1].date, std::string("1974-03"));
        QCOMPARE(found.matches[2].format, std::string("2\u00d712\" Vinyl"));
        QCOMPARE(found.matches[2].trackCount, 13);  // from its media
        QCOMPARE(BestMatch(found.matches), 1u);

        const QByteArray target = server.Requests().at(0).target;
        QVERIFY2(target.startsWith("/ws/2/release/?"), target.constData());
        const QUrlQuery query(QString::fromLatin1(target.mid(target.indexOf('?') + 1)));
        QCOMPARE(query.queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded),
                 QStringLiteral("artist:\"Mara \\\"Q\\\" + Co\" AND release:\"Harvest Lines\""));
        QCOMPARE(query.queryItemValue(QStringLiteral("fmt")), QStringLiteral("json"));
        QCOMPARE(query.queryItemValue(QStringLiteral("limit")), QStringLiteral("10"));
        QVERIFY(QRegularExpression(QStringLiteral(R"(^Sondrel/\d+\.\d+\.\d+ \( \S+ \)$)"))
                    .match(QString::fromLatin1(server.Requests()[0].userAgent))
                    .hasMatch());

        const std::vector<ReleaseTrack> vinyl = Load(client, kVinylId);
        QCOMPARE(vinyl.size(), 7u);
        QCOMPARE(SideLetters(vinyl), std::string("AB"));
        QCOMPARE(vinyl[4].title, std::string("Ash & Ember"));
        QCOMPARE(vinyl[4].lengthMs, 0u);  // null length
        QCOMPARE(vinyl[6].lengthMs, 150000u);
        QVERIFY(server.Requests()[1].target.endsWith("?inc=recordings+artist-credits&fmt=json"));
        // Media in the order of their positions, not of the answer.
        const std::vector<ReleaseTrack> cd = Load(client, kCdId);
        QCOMPARE(cd.size(), 4u);
        QCOMPARE(cd.front().title, std::string("Slow River"));
        QCOMPARE(SideLetters(cd), std::string());
        // At most one request a second, as the client sends them; the server sees them later
        // by however long each connection took to set up.
        for (std::size_t i = 1; i < server.Requests().size(); ++i)
            QVERIFY(server.Requests()[i].atMs - server.Requests()[i - 1].atMs >= 900);
    }

    void overHttpsTheCertificateDecides() {
        const auto read = [](const char* name) {
            QFile file(QStringLiteral(SONDREL_TEST_DATA_DIR "/tls/") + QLatin1String(name));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QSslCertificate certificate(read("localhost.crt"));
        QVERIFY(!certificate.isNull());
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(certificate);
        tls.setPrivateKey(QSslKey(read("localhost.key"), QSsl::Rsa));
        LocalHttpServer server(StoredAnswers, &tls);
        UseServer(server.Url());
        CMusicBrainzClient client;
        // A certificate nobody vouches for is said to be one, not taken for being offline.
        QCOMPARE(Search(client, QStringLiteral("a"), QStringLiteral("b")).status,
                 LookupStatus::Untrusted);
        // Vouched for, as the system's store vouches for the service's, the answers come in.
        const QSslConfiguration before = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = before;
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
        // The same client tries afresh, as after the user set the clock right.
        const Searched found = Search(client, QStringLiteral("a"), QStringLiteral("b"));
        QSslConfiguration::setDefaultConfiguration(before);
        QCOMPARE(found.status, LookupStatus::Found);
        QCOMPARE(found.matches.size(), 3u);
    }

    void hostileNumbersStayInRange() {
        std::vector<ReleaseTrack> tracks;
        QCOMPARE(ParseRelease(R"({"media": [{"position": 1, "tracks": [
                     {"number": "A1", "title": "a", "length": 1e300},
                     {"number": "A2", "title": "b", "length": 9223372036854775808},
                     {"number": "A3", "title": "c", "length": -5},
                     {"number": "A4", "title": "d", "length": "long"},
                     {"number": "A5", "title": "e", "length": 185000.7}]}]})",
                              tracks),
                 LookupStatus::Found);
        QCOMPARE(tracks.size(), 5u);
        for (std::size_t i = 0; i < 4; ++i)
            QCOMPARE(tracks[i].lengthMs, 0u);  // as good as unknown
        QCOMPARE(tracks[4].lengthMs, 185000u);
        std::vector<ReleaseMatch> matches;
        QCOMPARE(ParseReleaseSearch(R"({"releases": [{"id": "x", "title": "t", "media": [
                     {"track-count": 2147483647}, {"track-count": 2147483647}]}]})",
                                    matches),
                 LookupStatus::Found);
        QCOMPARE(matches.size(), 1u);
        QVERIFY(matches[0].trackCount > 0 && matches[0].trackCount <= 10000);
    }

    void eachFailureIsOneStatus() {
        QByteArray body;
        int status = 200;
        bool never = false;
        LocalHttpServer server([&](const QByteArray&) { return HttpAnswer{status, body, never}; });
        UseServer(server.Url());
        const auto search = [&](int limitMs = CMusicBrainzClient::kRequestLimitMs) {
            CMusicBrainzClient client;
            client.SetRequestLimitMs(limitMs);
            return Search(client, QStringLiteral("a"), QStringLiteral("b")).status;
        };
        body = "{\"releases\": [";
        QCOMPARE(search(), LookupStatus::Malformed);
        body = "{\"error\": \"x\"}";
        QCOMPARE(search(), LookupStatus::Malformed);
        body = Stored("search-none.json");
        QCOMPARE(search(), LookupStatus::NoMatch);
        status = 503;
        QCOMPARE(search(), LookupStatus::RateLimited);
        status = 400;
        QCOMPARE(search(), LookupStatus::Refused);
        never = true;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(search(300), LookupStatus::TimedOut);
        QVERIFY(clock.elapsed() < 300 + CMusicBrainzClient::kRequestSpacingMs + 500);

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        UseServer("http://127.0.0.1:" + QByteArray::number(port));
        QCOMPARE(search(), LookupStatus::Offline);

        // An id that is none is never sent; its answer, like any, is dropped by a cancel.
        CMusicBrainzClient client;
        int answers = 0;
        client.LoadRelease(QStringLiteral("../x"), [&](LookupStatus s, std::vector<ReleaseTrack>) {
            answers += s == LookupStatus::NoMatch ? 1 : 100;
        });
        QTRY_COMPARE(answers, 1);
        client.LoadRelease(QStringLiteral("../x"),
                           [&](LookupStatus, std::vector<ReleaseTrack>) { answers += 10; });
        client.Cancel();
        QTest::qWait(50);
        QCOMPARE(answers, 1);
    }

    void pageFillsTheEmptyTitlesOfTheChosenSide() {
        LocalHttpServer server(StoredAnswers);
        UseServer(server.Url());
        PageServices services;
        TagMultiplePageState state;
        state.trackCount = 4;
        state.titles[1] = "Mine";
        CWizTagMultiple page(services);
        page.SetState(&state);
        page.Prepare();
        page.show();
        CTitleLookupPanel& lookup = *page.Lookup();
        QCOMPARE(lookup.LookUpButton()->accessibleName(), Text(kIdsLookUp));
        lookup.LookUpButton()->click();
        QCOMPARE(lookup.StatusLine()->text(), Text(kIdsLookupNeedsNames));
        QCOMPARE(server.Requests().size(), 0u);

        page.Artist()->setText(QStringLiteral("Mara Quill"));
        page.Album()->setText(QStringLiteral("Harvest Lines"));
        lookup.LookUpButton()->click();
        QCOMPARE(lookup.StatusLine()->text(), Text(kIdsLookupSearching));
        QTRY_VERIFY_WITH_TIMEOUT(lookup.MatchList()->isVisible(), 5000);
        QVERIFY(!page.TitleField(1)->isVisible());
        QCOMPARE(lookup.MatchList()->topLevelItemCount(), 3);
        QCOMPARE(lookup.MatchList()->currentItem()->text(4), QStringLiteral("12\" Vinyl"));

        const auto useSide = [&](const QString& side) {
            lookup.SideChooser()->setCurrentText(side);
            lookup.UseButton()->click();
            if (!QTest::qWaitFor([&] { return page.TitleField(1)->isVisible(); }, 5000))
                return QStringLiteral("(the list stayed)");
            QStringList titles;
            for (int i = 1; i <= 4; ++i)
                titles << page.TitleField(i)->text();
            return titles.join(QLatin1Char('|'));
        };
        QCOMPARE(useSide(QStringLiteral("B")),
                 QStringLiteral("Night Ferry|Mine|Lanterns|Home by Noon"));
        QVERIFY(!lookup.StatusLine()->text().contains(QStringLiteral("recording")));
        // The same names again offer the matches without asking the service; side A, shorter,
        // replaces what the lookup put in and says that the counts differ.
        page.TitleField(3)->setText(QStringLiteral("Typed now"));
        ReleaseMatch harvest;
        harvest.title = "Harvest Lines";
        lookup.LookUpButton()->click();
        QVERIFY(lookup.MatchList()->isVisible());
        QCOMPARE(useSide(QStringLiteral("A")), QStringLiteral("Slow River|Mine|Typed now|"));
        QCOMPARE(
            lookup.StatusLine()->text(),
            QString::fromStdString(FormatFilledText(harvest) + " " + FormatCountDiffersText(3, 4)));
        QCOMPARE(server.Requests().size(), 2u);
        // A side the release does not have is said, and the list stays for another choice.
        lookup.LookUpButton()->click();
        QCOMPARE(useSide(QStringLiteral("D")), QStringLiteral("(the list stayed)"));
        QCOMPARE(lookup.StatusLine()->text(), QString::fromStdString(FormatNoSideText('D')));
        lookup.CloseList();
        QCOMPARE(page.TitleField(1)->text(), QStringLiteral("Slow River"));
        // The page hands on the side used last, for the later pages and the track page.
        page.NextButton()->click();
        QCOMPARE(state.side.titles.size(), 3u);
        QCOMPARE(state.side.lengthsMs, (std::vector<std::uint64_t>{185000, 241500, 200000}));
    }

    void theOneTrackPageNamesItsTrackAndOffersTheSidesLengths() {
        LocalHttpServer server(StoredAnswers);
        UseServer(server.Url());
        PageServices services;
        TagSinglePageState state;
        state.artist = "Mara Quill";
        state.album = "Harvest Lines";
        state.offerTrackCheck = true;
        CWizTagSingle page(services);
        page.SetState(&state);
        page.Prepare();
        page.show();
        CTitleLookupPanel& lookup = *page.Lookup();
        QVERIFY(lookup.LookUpButton()->isVisible());
        lookup.LookUpButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(lookup.MatchList()->isVisible(), 5000);
        QVERIFY(!page.Title()->isVisible());
        lookup.SideChooser()->setCurrentText(QStringLiteral("A"));
        lookup.UseButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(page.Title()->isVisible(), 5000);
        QCOMPARE(page.Title()->text(), QStringLiteral("Slow River"));
        // A whole side as one track: the counts differ, and the cuts can follow the side.
        const auto saidCounts = [&](std::size_t side, bool cutsOffered) {
            return lookup.StatusLine()->text().endsWith(
                QString::fromStdString(FormatCountDiffersText(side, 1, cutsOffered)));
        };
        QVERIFY(saidCounts(3, true));
        page.NextButton()->click();
        QCOMPARE(state.title, "Slow River");
        QCOMPARE(state.side.lengthsMs, (std::vector<std::uint64_t>{185000, 241500, 200000}));

        // Shown again (back from the track page): another side replaces what the lookup put
        // in, and a field the user emptied takes a title again.
        const auto use = [&](const QString& side) {
            lookup.LookUpButton()->click();
            QVERIFY(lookup.MatchList()->isVisible());
            lookup.SideChooser()->setCurrentText(side);
            lookup.UseButton()->click();
            QVERIFY(page.Title()->isVisible());
        };
        page.Prepare();
        page.show();
        use(QStringLiteral("B"));
        QCOMPARE(page.Title()->text(), QStringLiteral("Night Ferry"));
        QVERIFY(saidCounts(4, false));  // a length of side B is unknown: no cuts from it
        page.Title()->clear();
        use(QStringLiteral("A"));
        QCOMPARE(page.Title()->text(), QStringLiteral("Slow River"));
        page.NextButton()->click();

        // The next recording starts without the side of this one.
        TagSinglePageState next;
        page.SetState(&next);
        page.Prepare();
        page.show();
        page.NextButton()->click();
        QVERIFY(next.side.Empty());
    }

    void aFailureSaysWhyAndTheWaitBlocksNothing() {
        bool never = false;
        LocalHttpServer server([&](const QByteArray&) { return HttpAnswer{503, {}, never}; });
        UseServer(server.Url());
        PageServices services;
        TagMultiplePageState state;
        state.trackCount = 2;
        state.artist = "A";
        state.album = "B";
        state.titles[0] = "Kept";
        {
            CWizTagMultiple page(services);
            page.SetState(&state);
            page.Prepare();
            page.show();
            page.Lookup()->LookUpButton()->click();
            QTRY_COMPARE_WITH_TIMEOUT(page.Lookup()->StatusLine()->text(),
                                      Text(kIdsLookupRateLimited), 5000);
            QCOMPARE(page.TitleField(1)->text(), QStringLiteral("Kept"));
            QVERIFY(page.TitleField(1)->isVisible());
        }
        // While the service says nothing, typing and "back" work; the answer that never
        // comes does not reach the page that is gone.
        never = true;
        auto page = std::make_unique<CWizTagMultiple>(services);
        page->SetState(&state);
        QTimer::singleShot(0, page.get(), [&] {
            page->Lookup()->LookUpButton()->click();
            QTest::qWait(1500);
            QCOMPARE(server.Requests().size(), 2u);
            QTest::keyClicks(page->TitleField(2), QStringLiteral("Typed"));
            page->BackButton()->click();
        });
        QCOMPARE(page->RunModal(), PageResult::Back);
        QCOMPARE(state.titles[1], std::string("Typed"));
        page.reset();
        QTest::qWait(200);
    }
};

QTEST_MAIN(TitleLookupTest)
#include "TitleLookupTest.moc"
