// The exporter against real folders: names and numbering, placeholders, failures, retries,
// destruction while it runs, and moves across file systems.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "base/StringTable.h"
#include "common/ProcessState.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "export/CWavExporter.h"
#include "export/FileMove.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;
using test::ReadText;
using test::TempFolder;
using test::WriteText;

const std::string kUnknownArtist = "<Unknown artist>";
const std::string kUnknownAlbum = "<Unknown album>";
const std::string kUnknownTitle = "<Unknown title>";

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

HRESULT WaitForResult(IProgressStatus& progress) {
    test::WaitFor([&] { return progress.GetResult() != S_FALSE; }, std::chrono::seconds(60));
    return progress.GetResult();
}

class WavExporterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        fs::create_directory(m_exportFolder);
        fs::create_directory(m_sources);
    }

    // Source files named temp<i>.wav with distinct contents, as the recorder leaves them.
    std::vector<std::string> MakeSources(std::size_t count, const fs::path& folder = {}) {
        const fs::path where = folder.empty() ? m_sources : folder;
        std::vector<std::string> paths;
        for (std::size_t i = 0; i < count; ++i) {
            const fs::path path = where / ("temp" + std::to_string(i) + ".wav");
            WriteText(path, Contents(i));
            paths.push_back(path.string());
        }
        return paths;
    }
    static std::string Contents(std::size_t i) { return "RIFF track " + std::to_string(i); }

    HRESULT RunExport(CWavExporter& exporter, const std::vector<std::string>& sources,
                      const std::string& artist, const std::vector<std::string>& titles,
                      const std::string& album) {
        ComPtr<IProgressStatus> progress;
        EXPECT_EQ(
            exporter.StartExport(sources, artist, titles, album, "Sondrel by Korvell", progress),
            S_OK);
        EXPECT_TRUE(progress);
        if (!progress)
            return E_FAIL;
        const HRESULT result = WaitForResult(*progress);
        exporter.WaitForExport();
        float fraction = 0.0f;
        progress->GetProgress(fraction);
        m_lastFraction = fraction;
        return result;
    }

    TempFolder m_temp;
    fs::path m_exportFolder = m_temp / "Music";
    fs::path m_sources = m_temp / "tmp";
    float m_lastFraction = -1.0f;
    std::function<fs::path()> m_folderSource = [this] { return m_exportFolder; };
};

TEST_F(WavExporterTest, NamesDuplicateAndUntitledTracksAndNumbersRepeatedAlbums) {
    CWavExporter exporter(m_folderSource);
    auto sources = MakeSources(4);
    const std::vector<std::string> titles = {"Side A", "Side A", kUnknownTitle, "Side A"};
    ASSERT_EQ(RunExport(exporter, sources, "Some Artist", titles, "Some Album"), S_OK);
    EXPECT_EQ(m_lastFraction, 1.0f);

    const fs::path album = m_exportFolder / "Some Artist Some Album";
    EXPECT_EQ(exporter.AlbumFolder(), album);
    EXPECT_EQ(Entries(album),
              (std::set<std::string>{"Side A.wav", "Side A 1.wav", "Track 3.wav", "Side A 2.wav"}));
    EXPECT_EQ(ReadText(album / "Side A.wav"), Contents(0));
    EXPECT_EQ(ReadText(album / "Side A 1.wav"), Contents(1));
    EXPECT_EQ(ReadText(album / "Track 3.wav"), Contents(2));
    EXPECT_EQ(ReadText(album / "Side A 2.wav"), Contents(3));
    EXPECT_TRUE(Entries(m_sources).empty());

    // Same artist and album again (the recorder reuses its file names): a second folder.
    sources = MakeSources(1);
    ASSERT_EQ(RunExport(exporter, sources, "Some Artist", {"Side A"}, "Some Album"), S_OK);
    EXPECT_EQ(exporter.AlbumFolder(), m_exportFolder / "Some Artist Some Album 1");
    EXPECT_EQ(Entries(m_exportFolder / "Some Artist Some Album 1"),
              std::set<std::string>{"Side A.wav"});
    EXPECT_EQ(Entries(album).size(), 4u);
}

TEST_F(WavExporterTest, FolderNamesFromPlaceholders) {
    CWavExporter exporter(m_folderSource);
    ASSERT_EQ(RunExport(exporter, MakeSources(1), kUnknownArtist, {"a"}, kUnknownAlbum), S_OK);
    ASSERT_EQ(RunExport(exporter, MakeSources(1), kUnknownArtist, {"a"}, kUnknownAlbum), S_OK);
    ASSERT_EQ(RunExport(exporter, MakeSources(1), kUnknownArtist, {"a"}, kUnknownAlbum), S_OK);
    ASSERT_EQ(RunExport(exporter, MakeSources(1), "Artist", {"a"}, kUnknownAlbum), S_OK);
    ASSERT_EQ(RunExport(exporter, MakeSources(1), kUnknownArtist, {"a"}, "Only Album"), S_OK);
    EXPECT_EQ(Entries(m_exportFolder),
              (std::set<std::string>{"Album", "Album 1", "Album 2", "Artist Album", "Only Album"}));
}

TEST_F(WavExporterTest, LanguagePackPlaceholdersAndSeparatorsStayInsideTheAlbumFolder) {
    HRESULT result = E_FAIL;
    {
        test::ScopedStringOverrides pack(
            {{kIdsAlbum, "../Alb\tüm"}, {kIdsTrackNumberFormat, "Stück %d/x"}});
        CWavExporter exporter(m_folderSource);
        result = RunExport(exporter, MakeSources(2), kUnknownArtist, {kUnknownTitle, "a/../../b"},
                           kUnknownAlbum);
    }
    ASSERT_EQ(result, S_OK);
    EXPECT_EQ(Entries(m_exportFolder), std::set<std::string>{".. Alb üm"});
    EXPECT_EQ(Entries(m_exportFolder / ".. Alb üm"),
              (std::set<std::string>{"Stück 1 x.wav", "a .. .. b.wav"}));
}

TEST_F(WavExporterTest, TooFewTitlesOrNoTracksFailAndLeaveNoEmptyFolder) {
    CWavExporter exporter(m_folderSource);
    const auto sources = MakeSources(3);
    EXPECT_EQ(RunExport(exporter, sources, "A", {"one", "two"}, "B"), E_FAIL);
    EXPECT_FALSE(fs::exists(m_exportFolder / "A B"));
    EXPECT_TRUE(exporter.AlbumFolder().empty());
    EXPECT_EQ(Entries(m_sources).size(), 3u);

    ComPtr<IProgressStatus> progress;
    exporter.StartExport({}, "C", {}, "D", "", progress);
    EXPECT_EQ(WaitForResult(*progress), E_FAIL);
    HRESULT code = S_OK;
    EXPECT_EQ(progress->GetErrorCode(code), S_OK);
    EXPECT_EQ(code, E_FAIL);
    exporter.WaitForExport();
    EXPECT_TRUE(Entries(m_exportFolder).empty());
}

TEST_F(WavExporterTest, TrackNeverReplacesAnExistingFile) {
    CWavExporter exporter(m_folderSource);
    const fs::path folder = m_temp / "album";
    fs::create_directory(folder);
    WriteText(folder / "Song.wav", "old");
    WriteText(folder / "Song 1.wav", "older");
    const auto sources = MakeSources(1);
    EXPECT_EQ(exporter.ExportTrack(sources[0], "Song", folder, 0, 1), S_OK);
    EXPECT_EQ(ReadText(folder / "Song.wav"), "old");
    EXPECT_EQ(ReadText(folder / "Song 1.wav"), "older");
    EXPECT_EQ(ReadText(folder / "Song 2.wav"), Contents(0));
    EXPECT_EQ(exporter.ExportTrack(sources[0], "Song", folder, 0, 1), E_FAIL);  // source gone
}

TEST_F(WavExporterTest, RetryAfterALaterTrackFailedContinuesInTheSameFolder) {
    CWavExporter exporter(m_folderSource);
    const auto sources = MakeSources(4);
    const std::vector<std::string> titles = {"one", "two", "three", kUnknownTitle};
    const std::string held = ReadText(sources[2]);
    fs::rename(sources[2], m_temp / "held-back.wav");  // the third track cannot be moved

    ASSERT_EQ(RunExport(exporter, sources, "A", titles, "B"), E_FAIL);
    EXPECT_FLOAT_EQ(m_lastFraction, 0.5f);
    const fs::path album = m_exportFolder / "A B";
    EXPECT_EQ(Entries(album), (std::set<std::string>{"one.wav", "two.wav"}));

    // Still failing: no new folder per attempt, nothing moved twice.
    ASSERT_EQ(RunExport(exporter, sources, "A", titles, "B"), E_FAIL);
    EXPECT_EQ(Entries(m_exportFolder), std::set<std::string>{"A B"});

    fs::rename(m_temp / "held-back.wav", sources[2]);
    ASSERT_EQ(RunExport(exporter, sources, "A", titles, "B"), S_OK);
    EXPECT_EQ(m_lastFraction, 1.0f);
    EXPECT_EQ(Entries(m_exportFolder), std::set<std::string>{"A B"});
    EXPECT_EQ(Entries(album),
              (std::set<std::string>{"one.wav", "two.wav", "three.wav", "Track 4.wav"}));
    EXPECT_EQ(ReadText(album / "three.wav"), held);
    EXPECT_EQ(ReadText(album / "one.wav"), Contents(0));
    EXPECT_TRUE(Entries(m_sources).empty());
}

TEST_F(WavExporterTest, NewRecordingWithTheSameNamesAfterAFailureGetsANewFolder) {
    CWavExporter exporter(m_folderSource);
    auto sources = MakeSources(2);
    fs::remove(sources[1]);
    ASSERT_EQ(RunExport(exporter, sources, "A", {"x", "y"}, "B"), E_FAIL);
    // The recorder makes temp0.wav and temp1.wav again for the next recording.
    sources = MakeSources(2);
    ASSERT_EQ(RunExport(exporter, sources, "A", {"x", "y"}, "B"), S_OK);
    EXPECT_EQ(Entries(m_exportFolder / "A B"), std::set<std::string>{"x.wav"});
    EXPECT_EQ(Entries(m_exportFolder / "A B 1"), (std::set<std::string>{"x.wav", "y.wav"}));
}

TEST_F(WavExporterTest, FolderThatNoNumberCanCureEndsFailed) {
    // The export folder is a file: every folder creation fails at once.
    const fs::path notAFolder = m_temp / "file";
    WriteText(notAFolder, "x");
    CWavExporter blocked([&] { return notAFolder; });
    const auto sources = MakeSources(1);
    EXPECT_EQ(RunExport(blocked, sources, "A", {"t"}, "B"), E_FAIL);
    EXPECT_TRUE(fs::exists(sources[0]));

    // Every name taken: the loop gives up after a bounded number of names.
    constexpr int kNumbers = 25;
    CWavExporter exporter(m_folderSource, kNumbers);
    fs::create_directory(m_exportFolder / "Album");
    for (int number = 1; number <= kNumbers; ++number) {
        fs::create_directory(m_exportFolder / ("Album " + std::to_string(number)));
    }
    EXPECT_EQ(RunExport(exporter, sources, kUnknownArtist, {"t"}, kUnknownAlbum), E_FAIL);
    EXPECT_TRUE(fs::exists(sources[0]));
    EXPECT_EQ(Entries(m_exportFolder).size(), kNumbers + 1u);
    // The same bound holds for file names.
    const fs::path full = m_exportFolder / "Album";
    test::WriteText(full / "t.wav", "");
    for (int number = 1; number <= kNumbers; ++number) {
        test::WriteText(full / ("t " + std::to_string(number) + ".wav"), "");
    }
    EXPECT_EQ(exporter.ExportTrack(sources[0], "t", full, 0, 1), E_FAIL);
    EXPECT_TRUE(fs::exists(sources[0]));
}

// Large files copied across file systems keep the worker busy; destroying the exporter at
// once must still leave every track in the album folder, none half-copied, none behind.
TEST_F(WavExporterTest, DestructionDuringExportLosesNoTrack) {
    TempFolder shm("/dev/shm");
    const bool crossDevice = shm.Valid();
    const fs::path sourceFolder = crossDevice ? shm.Path() : m_sources;
    constexpr std::size_t kTracks = 8;
    std::vector<std::string> sources;
    const std::string payload(3 * 512 * 1024, 'a');  // more than one copy chunk
    for (std::size_t i = 0; i < kTracks; ++i) {
        const fs::path path = sourceFolder / ("temp" + std::to_string(i) + ".wav");
        WriteText(path, payload + std::to_string(i));
        sources.push_back(path.string());
    }
    std::vector<std::string> titles;
    for (std::size_t i = 0; i < kTracks; ++i)
        titles.push_back("t" + std::to_string(i));

    ComPtr<IProgressStatus> progress;
    {
        CWavExporter exporter(m_folderSource);
        ASSERT_EQ(exporter.StartExport(sources, "A", titles, "B", "", progress), S_OK);
    }
    EXPECT_EQ(progress->GetResult(), S_OK);
    const fs::path album = m_exportFolder / "A B";
    EXPECT_EQ(Entries(album).size(), kTracks);
    for (std::size_t i = 0; i < kTracks; ++i) {
        EXPECT_EQ(ReadText(album / (titles[i] + ".wav")), payload + std::to_string(i));
        EXPECT_FALSE(fs::exists(sources[i]));
    }
    if (!crossDevice)
        GTEST_SKIP() << "/dev/shm not available: ran on one file system only";
}

TEST(FileMove, AcrossFileSystemsCopiesThenRemovesAndNeverReplaces) {
    TempFolder shm("/dev/shm");
    TempFolder disk;
    if (!shm.Valid())
        GTEST_SKIP() << "/dev/shm not available";
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(shm.Path().c_str(), &a), 0);
    ASSERT_EQ(::stat(disk.Path().c_str(), &b), 0);
    if (a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm and the temporary folder share a device";

    WriteText(shm / "one.wav", "first");
    WriteText(shm / "two.wav", "second");
    EXPECT_EQ(MoveFileNoReplace(shm / "one.wav", disk / "one.wav"), MoveOutcome::Moved);
    EXPECT_EQ(ReadText(disk / "one.wav"), "first");
    EXPECT_FALSE(fs::exists(shm / "one.wav"));

    EXPECT_EQ(MoveFileNoReplace(shm / "two.wav", disk / "one.wav"), MoveOutcome::TargetExists);
    EXPECT_EQ(ReadText(disk / "one.wav"), "first");
    EXPECT_EQ(ReadText(shm / "two.wav"), "second");

    EXPECT_EQ(MoveFileNoReplace(shm / "missing.wav", disk / "x.wav"), MoveOutcome::Failed);
    EXPECT_FALSE(fs::exists(disk / "x.wav"));
}

TEST(FileMove, CopyPathOnOneFileSystem) {
    TempFolder temp;
    WriteText(temp / "a.wav", "A");
    WriteText(temp / "b.wav", "B");
    EXPECT_EQ(CopyFileThenRemove(temp / "a.wav", temp / "b.wav"), MoveOutcome::TargetExists);
    EXPECT_EQ(ReadText(temp / "b.wav"), "B");
    EXPECT_EQ(CopyFileThenRemove(temp / "a.wav", temp / "c.wav"), MoveOutcome::Moved);
    EXPECT_EQ(ReadText(temp / "c.wav"), "A");
    EXPECT_FALSE(fs::exists(temp / "a.wav"));
    // Into a folder that does not exist: nothing is left behind, the source stays.
    EXPECT_EQ(CopyFileThenRemove(temp / "c.wav", temp / "no" / "c.wav"), MoveOutcome::Failed);
    EXPECT_EQ(ReadText(temp / "c.wav"), "A");
}

}  // namespace
}  // namespace sondrel
