// Page texts in their controls: formatting carried over from the RTF, the language pack's copy
// winning, missing texts leaving the control alone, links, and colours that stay when disabled.
#include <QAbstractTextDocumentLayout>
#include <QLibraryInfo>
#include <QProcess>
#include <QResource>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include "ui/RtfText.h"

using namespace sondrel;

namespace {

struct Fragment {
    QString text;
    QTextCharFormat format;
};

QList<Fragment> Fragments(const QTextBlock& block) {
    QList<Fragment> fragments;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        fragments.push_back({it.fragment().text(), it.fragment().charFormat()});
    return fragments;
}

}  // namespace

class RtfTextTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Q_INIT_RESOURCE(rtf); }

    void welcomeTextKeepsSizesBoldAndProductColour() {
        QWidget page;
        QTextBrowser* text = MakePageTextControl(&page, false);
        QVERIFY(LoadRtfResource(text, 218));
        QTextDocument* doc = text->document();
        QCOMPARE(doc->blockCount(), 3);

        const auto welcome = Fragments(doc->findBlockByNumber(0));
        QCOMPARE(welcome.size(), 3);
        for (const Fragment& f : welcome) {
            QCOMPARE(f.format.fontWeight(), int(QFont::Bold));
            QCOMPARE(f.format.fontPointSize(), 19.0);
            QCOMPARE(f.format.fontFamilies().toStringList(), QStringList{"Helvetica"});
        }
        QCOMPARE(welcome[1].text, QString("Sondrel by Korvell"));
        QCOMPARE(welcome[1].format.foreground().color(), QColor(223, 0, 5));
        QVERIFY(!welcome[0].format.hasProperty(QTextFormat::ForegroundBrush));

        // The empty line keeps its 23 pt height.
        const QTextBlock empty = doc->findBlockByNumber(1);
        QCOMPARE(empty.length(), 1);
        QCOMPARE(empty.charFormat().fontPointSize(), 23.0);
        doc->setTextWidth(600);
        const qreal emptyHeight = doc->documentLayout()->blockBoundingRect(empty).height();
        QVERIFY(emptyHeight > QFontMetricsF(empty.charFormat().font()).height() * 0.9);
    }

    void missingTextLeavesTheControlAlone() {
        QTextEdit text;
        text.setPlainText("keep");
        QVERIFY(!LoadRtfResource(&text, 9999));
        QCOMPARE(text.toPlainText(), QString("keep"));
    }

    void languagePackTextWins() {
        const QString rcc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/rcc";
        if (!QFile::exists(rcc))
            QSKIP("rcc is not installed");
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("rtf"));
        QFile rtf(dir.filePath("rtf/219.rtf"));
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write("{\\rtf1\\ansi\\ansicpg1252 Schritt 1: verbinden\\par}");
        rtf.close();
        QFile qrc(dir.filePath("pack.qrc"));
        QVERIFY(qrc.open(QIODevice::WriteOnly));
        qrc.write("<RCC><qresource prefix=\"/\"><file>rtf/219.rtf</file></qresource></RCC>");
        qrc.close();
        const QString pack = dir.filePath("pack.rcc");
        QCOMPARE(QProcess::execute(rcc, {"-binary", "-o", pack, dir.filePath("pack.qrc")}), 0);
        QVERIFY(QResource::registerResource(pack, "/lang"));

        QTextEdit text;
        QVERIFY(LoadRtfResource(&text, 219));
        QCOMPARE(text.toPlainText(), QString("Schritt 1: verbinden"));
        QVERIFY(LoadRtfResource(&text, 221));  // not in the pack: the built-in text
        QCOMPARE(text.toPlainText(), QString("step 2: Get the music ready to play"));
        QVERIFY(QResource::unregisterResource(pack, "/lang"));
    }

    void enabledTextReportsLinkClicks() {
        QWidget page;
        page.resize(600, 200);
        QTextBrowser* text = MakePageTextControl(&page, true);
        text->setGeometry(0, 0, 600, 200);
        QVERIFY(LoadRtfResource(text, 249));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));

        const QString address = "https://sondrel.org/support";
        QTextCursor cursor(text->document());
        cursor.setPosition(text->toPlainText().indexOf(address) + 3);
        QCOMPARE(cursor.charFormat().anchorHref(), address);
        QSignalSpy clicked(text, &QTextBrowser::anchorClicked);
        QTest::mouseClick(text->viewport(), Qt::LeftButton, {}, text->cursorRect(cursor).center());
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked[0][0].toUrl(), QUrl(address));
    }

    void disabledTextKeepsItsColoursOverTheBackground() {
        QWidget page;
        page.resize(400, 200);
        QPalette red = page.palette();
        red.setColor(QPalette::Window, Qt::red);
        page.setPalette(red);
        page.setAutoFillBackground(true);
        QTextBrowser* disabled = MakePageTextControl(&page, false);
        QTextBrowser* enabled = MakePageTextControl(&page, true);
        disabled->setGeometry(0, 0, 400, 100);
        enabled->setGeometry(0, 100, 400, 100);
        QVERIFY(LoadRtfResource(disabled, 223));  // drawn in the palette's text colour
        QVERIFY(LoadRtfResource(enabled, 223));
        QCOMPARE(disabled->focusPolicy(), Qt::NoFocus);

        const QImage shot = page.grab().toImage();
        const QImage top = shot.copy(0, 0, 400, 100);
        const QImage bottom = shot.copy(0, 100, 400, 100);
        QCOMPARE(top, bottom);
        QCOMPARE(shot.pixelColor(390, 90), QColor(Qt::red));  // transparent around the text
        int inked = 0;
        for (int y = 0; y < 100; ++y) {
            for (int x = 0; x < 400; ++x)
                inked += top.pixelColor(x, y) != QColor(Qt::red);
        }
        QVERIFY(inked > 50);
    }
};

QTEST_MAIN(RtfTextTest)
#include "RtfTextTest.moc"
