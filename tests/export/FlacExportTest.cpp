// The FLAC export read back through the reference library's own decoder and metadata
// interface: the samples bit for bit, the tags as typed, and a disk that fills while encoding.
#include <FLAC/metadata.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <thread>

#include "audiofile/CWaveWriter.h"
#include "audiofile/WaveTestUtil.h"
#include "common/FileSizeLimit.h"
#include "common/FlacDecode.h"
#include "common/SignalKit.h"
#include "common/TempFolder.h"
#include "export/CWavExporter.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;
using test::Decode;

std::vector<std::int16_t> Noise(std::size_t frames, std::uint32_t seed) {
    std::vector<std::int16_t> samples = test::Noise(frames * 2, seed);
    samples[0] = 32767;  // the extremes survive too
    samples[1] = -32768;
    return samples;
}

fs::path WriteTrack(const fs::path& path, const std::vector<std::int16_t>& samples) {
    CWaveWriter writer;
    EXPECT_EQ(writer.Create(path, CaptureFormat()), S_OK);
    writer.Write(samples.data(), samples.size() * 2);
    EXPECT_EQ(writer.Close(), S_OK);
    return path;
}

std::map<std::string, std::string> Tags(const fs::path& path) {
    std::map<std::string, std::string> tags;
    FLAC__StreamMetadata* block = nullptr;
    if (!FLAC__metadata_get_tags(path.c_str(), &block))
        return tags;
    const auto& comments = block->data.vorbis_comment;
    for (FLAC__uint32 i = 0; i < comments.num_comments; ++i) {
        const std::string entry(reinterpret_cast<const char*>(comments.comments[i].entry),
                                comments.comments[i].length);
        tags[entry.substr(0, entry.find('='))] = entry.substr(entry.find('=') + 1);
    }
    FLAC__metadata_object_delete(block);
    return tags;
}

HRESULT Export(CWavExporter& exporter, const std::vector<std::string>& sources,
               const std::vector<std::string>& titles) {
    ComPtr<IProgressStatus> progress;
    exporter.SetFormat(ExportFormat::Flac);
    EXPECT_EQ(exporter.StartExport(sources, "The Band", titles, "Live", "", progress), S_OK);
    exporter.WaitForExport();
    return progress->GetResult();
}

TEST(FlacExport, TracksDecodeBitExactWithTheTagsAsTyped) {
    test::TempFolder folder;
    const auto one = Noise(44100 / 2, 1);
    const auto two = Noise(3 * 44100 + 17, 2);
    const std::vector<std::string> sources = {WriteTrack(folder / "temp0.wav", one).string(),
                                              WriteTrack(folder / "temp1.wav", two).string()};
    CWavExporter exporter([&] { return folder.Path(); });
    // As typed: blanks around, a slash and letters the file name cannot keep; the cleaned
    // names are what the flow hands over for the files.
    exporter.UseTagTexts(" The Band ", "Live", {"Über / Alles", ""});
    ASSERT_EQ(Export(exporter, sources, {"Über  Alles", "<Unknown title>"}), S_OK)
        << exporter.FailureReason();

    const fs::path album = folder / "The Band Live";
    EXPECT_EQ(Decode(album / "Über  Alles.flac"), one);
    EXPECT_EQ(Decode(album / "Track 2.flac"), two);
    const auto first = Tags(album / "Über  Alles.flac");
    EXPECT_EQ(first.at("ARTIST"), "The Band");
    EXPECT_EQ(first.at("ALBUM"), "Live");
    EXPECT_EQ(first.at("TITLE"), "Über / Alles");
    EXPECT_EQ(first.at("TRACKNUMBER"), "1");
    EXPECT_EQ(first.at("TRACKTOTAL"), "2");
    const auto second = Tags(album / "Track 2.flac");
    EXPECT_EQ(second.at("TITLE"), "Track 2");
    EXPECT_EQ(second.at("TRACKNUMBER"), "2");
    // Encoded tracks leave nothing behind them: no sources, no partial files.
    EXPECT_FALSE(fs::exists(sources[0]));
    EXPECT_FALSE(fs::exists(sources[1]));
    EXPECT_EQ(std::distance(fs::directory_iterator(album), fs::directory_iterator()), 2);
}

TEST(FlacExport, ADiskThatFillsWhileEncodingFailsTheTrackAndLeavesNoPartialFile) {
    test::TempFolder folder;
    const std::vector<std::string> sources = {
        WriteTrack(folder / "temp0.wav", Noise(44100 / 2, 3)).string(),
        WriteTrack(folder / "temp1.wav", Noise(4 * 44100, 4)).string()};
    CWavExporter exporter([&] { return folder.Path(); });
    HRESULT result = S_OK;
    {
        // Noise hardly compresses: the first track fits, the second cannot be written whole.
        test::FileSizeLimit limit(400 * 1024);
        ASSERT_TRUE(limit.Set());
        result = Export(exporter, sources, {"One", "Two"});
    }
    EXPECT_EQ(result, E_FAIL);
    EXPECT_NE(exporter.FailureReason().find("File too large"), std::string::npos)
        << exporter.FailureReason();
    const fs::path album = folder / "The Band Live";
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(album))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"One.flac"});
    EXPECT_FALSE(fs::exists(sources[0]));
    EXPECT_TRUE(fs::exists(sources[1]));  // still there for a retry

    // The retry finishes the album in the same folder.
    ASSERT_EQ(Export(exporter, sources, {"One", "Two"}), S_OK) << exporter.FailureReason();
    EXPECT_EQ(Decode(album / "Two.flac"), Noise(4 * 44100, 4));
    EXPECT_FALSE(fs::exists(sources[1]));
}

}  // namespace
}  // namespace sondrel
