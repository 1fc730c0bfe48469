// Start-up pieces that need Qt: one running instance per user and profile, and language packs
// loaded from resource files next to the executable.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/qt/CSingleInstance.h"
#include "app/qt/LanguagePack.h"
#include "base/StringTable.h"

using namespace sondrel;

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void secondStartBringsTheFirstForward() {
        const QString key =
            QStringLiteral("sondrel-test-%1").arg(QCoreApplication::applicationPid());
        int raised = 0;
        {
            CSingleInstance first(key);
            // The lock decides, before anyone listens: a start at the same moment loses.
            QVERIFY(first.TakeLock());
            CSingleInstance sameMoment(key);
            QVERIFY(!sameMoment.TakeLock());
            QVERIFY(!first.BringRunningInstanceForward());
            QVERIFY(first.Listen([&raised] { ++raised; }));

            CSingleInstance second(key);
            QVERIFY(!second.TakeLock());
            QVERIFY(second.BringRunningInstanceForward());
            QTRY_COMPARE_WITH_TIMEOUT(raised, 1, 3000);
        }
        // Once the first has ended, a new start runs on its own.
        CSingleInstance later(key);
        QVERIFY(later.TakeLock());
        QVERIFY(!later.BringRunningInstanceForward());
        QVERIFY(later.Listen([] {}));
    }

    void languagePackReplacesStringsByPrimaryLanguage() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile strings(dir.filePath("strings.tsv"));
        QVERIFY(strings.open(QIODevice::WriteOnly));
        strings.write("157\tAutomatique\n158\tEnregistrement termin\xC3\xA9\n");
        strings.close();
        QFile qrc(dir.filePath("pack.qrc"));
        QVERIFY(qrc.open(QIODevice::WriteOnly));
        qrc.write("<RCC><qresource prefix=\"/\"><file>strings.tsv</file></qresource></RCC>\n");
        qrc.close();
        const QString rcc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + "/rcc";
        if (!QFile::exists(rcc))
            QSKIP("Qt's resource compiler is not installed");
        QProcess compile;
        compile.setWorkingDirectory(dir.path());
        compile.start(rcc, {"-binary", "pack.qrc", "-o", "SDRAFrenchResources.rcc"});
        QVERIFY(compile.waitForFinished(30000));
        QCOMPARE(compile.exitCode(), 0);

        const std::string english = LoadString(kIdsAutomatic);
        // English (United Kingdom) has no pack; the built-in texts stay.
        QVERIFY(LoadLanguageResources(dir.path(), "en_GB.UTF-8").isEmpty());
        QCOMPARE(LoadString(kIdsAutomatic), english);
        // A missing pack is silently ignored.
        QVERIFY(LoadLanguageResources(dir.path(), "de_DE.UTF-8").isEmpty());
        // French (Canada) loads the French pack: only the primary language counts.
        QVERIFY(!LoadLanguageResources(dir.path(), "fr_CA.UTF-8").isEmpty());
        QCOMPARE(LoadString(kIdsAutomatic), std::string("Automatique"));
        QCOMPARE(LoadString(kIdsRecordingFinished), std::string("Enregistrement termin\xC3\xA9"));
        // Entries the pack lacks keep their English text.
        QCOMPARE(LoadString(kIdsProductTitle), std::string("Sondrel by Korvell"));
        ClearStringOverrides();
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "StartupTest.moc"
