// The INI-file settings stores: where they live, that values keep their types across
// instances, and that hand-edited values of the wrong type fall back to the defaults.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <iostream>
#include <sstream>
#include <thread>

#include "app/CMemorySettingsStore.h"
#include "app/CSettings.h"
#include "app/qt/CQtSettingsStore.h"
#include "common/FakeShell.h"

namespace sondrel {

namespace {

using test::FakeShell;

void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

}  // namespace

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void storesLiveInTheUsersConfigurationFolder() {
        QCOMPARE(CQtSettingsStore::VendorStorePath(), m_config.path() + "/Brevitt/Calvero.conf");
        QCOMPARE(CQtSettingsStore::ProfileStorePath("SondrelConverter"),
                 m_config.path() + "/SDRL/SondrelConverter.conf");
    }

    void valuesKeepTheirTypesAcrossInstances() {
        const QString path = CQtSettingsStore::ProfileStorePath("RoundTrip");
        {
            CQtSettingsStore store(path);
            QCOMPARE(store.WriteInteger(kRecordLevelValue, 0x0C000000u), S_OK);
            QCOMPARE(store.WriteInteger(kRecordDeviceChannelValue, 0xFFFE1000u), S_OK);
            const std::uint8_t guid[16] = {0x44, 0x33, 0x22, 0x11, 0, 1, 2,  3,
                                           4,    5,    6,    7,    8, 9, 10, 255};
            QCOMPARE(store.WriteBinary(kRecordDeviceValue, guid), S_OK);
            QCOMPARE(store.WriteString("Folder", "/home/ü, with comma/@x"), S_OK);
        }
        QVERIFY(QFile::exists(path));  // parent folder created on the way
        CQtSettingsStore store(path);
        std::uint32_t number = 0;
        QCOMPARE(store.ReadInteger(kRecordLevelValue, number), S_OK);
        QCOMPARE(number, 0x0C000000u);
        QCOMPARE(store.ReadInteger(kRecordDeviceChannelValue, number), S_OK);
        QCOMPARE(number, 0xFFFE1000u);
        std::vector<std::uint8_t> bytes;
        QCOMPARE(store.ReadBinary(kRecordDeviceValue, bytes), S_OK);
        QCOMPARE(bytes.size(), std::size_t{16});
        QCOMPARE(bytes[15], std::uint8_t{255});
        std::string text;
        QCOMPARE(store.ReadString("Folder", text), S_OK);
        QCOMPARE(text, std::string("/home/ü, with comma/@x"));
        // Binary data is not a string; a missing value is S_FALSE.
        QCOMPARE(store.ReadString(kRecordDeviceValue, text), E_FAIL);
        QCOMPARE(store.ReadString("Nothing", text), S_FALSE);
        QCOMPARE(store.Remove("Folder"), S_OK);
        QCOMPARE(store.ReadString("Folder", text), S_FALSE);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("[Settings]"));
    }

    void handEditedValuesFollowTheRepairRules() {
        QTemporaryDir folders;
        const QString vendorPath = CQtSettingsStore::VendorStorePath();
        const QString profilePath = CQtSettingsStore::ProfileStorePath("Edited");
        QVERIFY(QDir().mkpath(m_config.path() + "/Brevitt"));
        QVERIFY(QDir().mkpath(m_config.path() + "/SDRL"));
        const QByteArray stored = (folders.path() + "/Stored").toUtf8();
        WriteText(vendorPath, "[Settings]\nUserExportFolder=@ByteArray(" + stored + ")\n");
        WriteText(profilePath, "[Settings]\nRecord%20Level=loud\nRecord%20Device%20Channel=-2\n");

        CQtSettingsStore vendor(vendorPath);
        CQtSettingsStore profile(profilePath);
        FakeShell shell;
        shell.music = (folders.path() + "/Music").toStdString();
        CSettings settings(vendor, profile, shell);

        // Not a string: the music folder, created, and the file left alone.
        QCOMPARE(QString::fromStdString(settings.ReadExportFolder().string()),
                 folders.path() + "/Music");
        QVERIFY(QDir(folders.path() + "/Music").exists());
        std::vector<std::uint8_t> bytes;
        QCOMPARE(vendor.ReadBinary(kUserExportFolderValue, bytes), S_OK);

        // A list (unquoted comma) is not a string either.
        WriteText(vendorPath, "[Settings]\nUserExportFolder=" + stored + ", x\n");
        QCOMPARE(QString::fromStdString(settings.ReadExportFolder().string()),
                 folders.path() + "/Music");

        // A plain path is used and re-created when it has gone.
        WriteText(vendorPath, "[Settings]\nUserExportFolder=" + stored + "\n");
        QCOMPARE(QString::fromStdString(settings.ReadExportFolder().string()),
                 QString::fromUtf8(stored));
        QVERIFY(QDir(QString::fromUtf8(stored)).exists());

        QCOMPARE(settings.ReadRecordLevel(), 1.0f);
        QCOMPARE(settings.ReadRecordDeviceChannel(), -2);
        settings.WriteRecordLevel(0.5f);
        QCOMPARE(settings.ReadRecordLevelFixed(), 0x08000000u);
    }

    // A pipe (or a folder) where a store's file should be is never opened, so the start does
    // not wait for a writer: the defaults apply, writes are refused, and it is said once.
    void aStoreThatIsNotARegularFileGivesTheDefaultsWithAWarning() {
        QTemporaryDir folders;
        const QString pipe = folders.path() + "/Calvero.conf";
        QVERIFY(::mkfifo(pipe.toLocal8Bit().constData(), 0600) == 0);
        QVERIFY(QDir().mkpath(folders.path() + "/SDRL/sondrel.conf"));
        // Should a read wait on the pipe after all, a writer lets it go so the test can fail.
        std::atomic<bool> done{false};
        std::thread watchdog([&] {
            for (int i = 0; i < 300 && !done; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (!done)
                ::close(::open(pipe.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK));
        });
        std::ostringstream warnings;
        std::streambuf* const saved = std::cerr.rdbuf(warnings.rdbuf());
        CQtSettingsStore vendor(pipe);
        CQtSettingsStore profile(folders.path() + "/SDRL/sondrel.conf");
        FakeShell shell;
        shell.music = (folders.path() + "/Music").toStdString();
        CSettings settings(vendor, profile, shell);
        const std::filesystem::path exportFolder = settings.ReadExportFolder();
        const float level = settings.ReadRecordLevel();
        const HRESULT written = profile.WriteInteger(kRecordLevelValue, 1);
        std::string text;
        const HRESULT read = vendor.ReadString(kUserExportFolderValue, text);
        std::cerr.rdbuf(saved);
        done = true;
        watchdog.join();

        QCOMPARE(QString::fromStdString(exportFolder.string()), folders.path() + "/Music");
        CMemorySettingsStore empty;
        QCOMPARE(level, CSettings(empty, empty, shell).ReadRecordLevel());
        QCOMPARE(written, E_FAIL);
        QCOMPARE(read, S_FALSE);
        const QString said = QString::fromStdString(warnings.str());
        QCOMPARE(said.count("is not a regular file"), 2);  // once for each store
        QVERIFY(said.contains(pipe));
        QVERIFY(QFileInfo(pipe).isFile() == false && QFileInfo(pipe).exists());
    }

private:
    QTemporaryDir m_config;
};

}  // namespace sondrel

QTEST_GUILESS_MAIN(sondrel::SettingsStoreTest)
#include "SettingsStoreTest.moc"
