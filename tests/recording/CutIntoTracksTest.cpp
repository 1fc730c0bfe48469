// Cutting a recording into tracks: exact bytes per track, and a read that fails part-way
// fails the cut instead of writing stale audio.
#include <gtest/gtest.h>

#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/TempFolder.h"
#include "recording/CutIntoTracks.h"

namespace sondrel::test {
namespace {

// A reader whose reads start failing after a number of good ones, as a disk that goes bad.
class FailingReader final : public CWaveReader {
public:
    explicit FailingReader(int goodReads) : m_goodReads(goodReads) {}
    HRESULT ReadAt(void* buffer, std::int64_t position, std::int32_t bytes) override {
        if (m_goodReads-- <= 0)
            return E_FAIL;
        return CWaveReader::ReadAt(buffer, position, bytes);
    }

private:
    int m_goodReads;
};

TEST(CutIntoTracks, TracksHoldExactlyTheirBytesAndAFailedReadFailsTheCut) {
    TempFolder folder;
    const WAVEFORMATEX format = CaptureFormat();
    // Eight seconds cut after the first: the second track takes two chunks to copy, and the
    // reads fail at its start (1 good read) or in its middle (2).
    const Bytes data = NoiseBytes(8 * 44100 * 4, 7);
    const auto recording = folder.Path() / "recording.wav";
    WriteFile(recording, RiffWave({Chunk("fmt ", FormatPayload(format, 16)), Chunk("data", data)}));
    const std::vector<std::uint64_t> marks{44100 * 4, data.size()};  // bytes

    for (const int goodReads : {100, 1, 2}) {
        SCOPED_TRACE(goodReads);
        auto reader = ComPtr<FailingReader>::Attach(new FailingReader(goodReads));
        ASSERT_EQ(reader->Open(recording, 0), S_OK);
        const std::vector<std::filesystem::path> names{folder.Path() / "one.wav",
                                                       folder.Path() / "two.wav"};
        int writeError = 0;
        const HRESULT hr = CutIntoTracks(*reader, format, marks, names, writeError);
        if (goodReads == 100) {
            ASSERT_EQ(hr, S_OK);
            ASSERT_EQ(names.size(), 2u);
            const auto first = ReadWaveSamples16(names[0]);
            const auto second = ReadWaveSamples16(names[1]);
            const auto all = BytesToSamples(data);
            ASSERT_EQ(first.size() + second.size(), all.size());
            EXPECT_TRUE(std::equal(first.begin(), first.end(), all.begin()));
            EXPECT_TRUE(std::equal(second.begin(), second.end(), all.begin() + first.size()));
        } else {
            // The failing track leaves nothing behind; the one before it is whole.
            EXPECT_EQ(hr, E_FAIL);
            EXPECT_EQ(ReadWaveSamples16(names[0]).size(), 44100u * 2);
            EXPECT_FALSE(std::filesystem::exists(names[1]));
            EXPECT_EQ(writeError, 0);
        }
        for (const auto& name : names)
            std::filesystem::remove(name);
    }
}

}  // namespace
}  // namespace sondrel::test
