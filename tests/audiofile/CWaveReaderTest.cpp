#include "audiofile/CWaveReader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <random>

#include "audiofile/CWaveWriter.h"
#include "audiofile/WaveTestUtil.h"

namespace sondrel {
namespace {

using test::Bytes;
using test::Chunk;
using test::RiffWave;

// Owns the creator's reference.
struct Reader {
    Reader() : p(ComPtr<CWaveReader>::Attach(new CWaveReader)) {}
    CWaveReader* operator->() const { return p.Get(); }
    ComPtr<CWaveReader> p;
};

Bytes Pcm16File(const Bytes& data, std::vector<Bytes> before = {},
                std::vector<Bytes> between = {}) {
    std::vector<Bytes> chunks = before;
    chunks.push_back(Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16)));
    chunks.insert(chunks.end(), between.begin(), between.end());
    chunks.push_back(Chunk("data", data));
    return RiffWave(chunks);
}

Bytes ReadAll(Reader& r, std::int64_t pos, std::int32_t count, HRESULT* hr,
              std::uint8_t fill = 0xEE) {
    Bytes out(static_cast<std::size_t>(count > 0 ? count : 1), fill);
    *hr = r->ReadAt(out.data(), pos, count);
    return out;
}

TEST(WaveReader, ReadsWhatTheWriterWrote) {
    test::TempFolder dir;
    const auto path = dir / "round.wav";
    // More than the reader's buffer, so reads cross and bypass it.
    const Bytes data = test::NoiseBytes(300000, 1);
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(path, CaptureFormat()), S_OK);
    writer.Write(data.data(), data.size());
    ASSERT_EQ(writer.Close(), S_OK);

    Reader r;
    EXPECT_EQ(r->IsOpen(), S_FALSE);
    ASSERT_EQ(r->Open(path, 0), S_OK);
    EXPECT_EQ(r->IsOpen(), S_OK);
    WAVEFORMATEX format{};
    std::uint32_t bitsPerSecond = 0;
    ASSERT_EQ(r->GetFormat(&format, &bitsPerSecond), S_OK);
    const WAVEFORMATEX expected = CaptureFormat();
    EXPECT_EQ(std::memcmp(&format, &expected, sizeof format), 0);
    EXPECT_EQ(bitsPerSecond, 176400u * 8);
    std::uint64_t size = 0, frames = 0;
    std::uint32_t rate = 0;
    EXPECT_EQ(r->GetDataSize(&size), S_OK);
    EXPECT_EQ(size, data.size());
    EXPECT_EQ(r->GetFrameCount(&frames), S_OK);
    EXPECT_EQ(frames, data.size() / 4);
    EXPECT_EQ(r->GetSampleRate(&rate), S_OK);
    EXPECT_EQ(rate, 44100u);

    HRESULT hr;
    EXPECT_EQ(ReadAll(r, 0, static_cast<std::int32_t>(data.size()), &hr), data);
    EXPECT_EQ(hr, S_OK);
    std::mt19937 rng(5);
    for (int i = 0; i < 200; ++i) {
        const std::int32_t count = static_cast<std::int32_t>(rng() % 200000);
        const std::int64_t pos = rng() % (data.size() - count + 1);
        const Bytes got = ReadAll(r, pos, count, &hr);
        ASSERT_EQ(hr, S_OK);
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + count, data.begin() + pos)) << pos;
    }
}

TEST(WaveReader, SkipsOtherChunksWithEvenPadding) {
    const Bytes data = test::NoiseBytes(64, 2);
    const Bytes file = Pcm16File(data, {Chunk("JUNK", Bytes(7, 1)), Chunk("LIST", Bytes(3, 2))},
                                 {Chunk("fact", Bytes(1, 3)), Chunk("data", Bytes(0))});
    // The empty "data" between is a real data chunk: it is the one found.
    Reader r;
    ASSERT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    std::uint64_t size = 1;
    r->GetDataSize(&size);
    EXPECT_EQ(size, 0u);

    const Bytes other = Pcm16File(data, {Chunk("JUNK", Bytes(7, 1))}, {Chunk("fact", Bytes(5, 3))});
    Reader r2;
    ASSERT_EQ(r2->OpenMemory(other.data(), other.size()), S_OK);
    HRESULT hr;
    EXPECT_EQ(ReadAll(r2, 0, 64, &hr), data);
    EXPECT_EQ(hr, S_OK);
}

TEST(WaveReader, FormatChunkSizes) {
    const Bytes data = test::NoiseBytes(16, 3);
    for (std::size_t bytes : {0u, 14u, 16u, 18u, 40u, 1000u}) {
        SCOPED_TRACE(bytes);
        Bytes payload = test::FormatPayload(CaptureFormat(), bytes);
        if (bytes == 1000)
            std::memset(payload.data() + 18, 0x5A, payload.size() - 18);
        const Bytes file = RiffWave({Chunk("fmt ", payload), Chunk("data", data)});
        Reader r;
        const HRESULT hr = r->OpenMemory(file.data(), file.size());
        if (bytes == 0) {
            EXPECT_EQ(hr, E_FAIL);  // block align missing
            EXPECT_EQ(r->IsOpen(), S_FALSE);
            continue;
        }
        ASSERT_EQ(hr, S_OK);
        WAVEFORMATEXTENSIBLE ext{};
        ext.Format.cbSize = kExtensibleExtraSize;
        EXPECT_EQ(r->GetFormat(&ext.Format, nullptr), S_OK);
        EXPECT_EQ(ext.Format.nBlockAlign, 4);
        EXPECT_EQ(ext.Format.wBitsPerSample, bytes >= 16 ? 16 : 0);
        if (bytes == 1000) {
            EXPECT_EQ(ext.dwChannelMask, 0x5A5A5A5Au);  // only 40 bytes kept
        }
        HRESULT readHr;
        EXPECT_EQ(ReadAll(r, 0, 16, &readHr), data);
    }
}

TEST(WaveReader, RefusesBlockAlignZeroAndMissingChunks) {
    WAVEFORMATEX format = CaptureFormat();
    format.nBlockAlign = 0;
    const Bytes noAlign =
        RiffWave({Chunk("fmt ", test::FormatPayload(format, 16)), Chunk("data", {})});
    const Bytes noData = RiffWave({Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16))});
    const Bytes dataFirst = RiffWave(
        {Chunk("data", Bytes(4)), Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16))});
    Bytes notWave = Pcm16File(Bytes(4));
    std::memcpy(notWave.data() + 8, "AVI ", 4);
    for (const Bytes* file : std::vector<const Bytes*>{&noAlign, &noData, &dataFirst, &notWave}) {
        Reader r;
        EXPECT_EQ(r->OpenMemory(file->data(), file->size()), E_FAIL);
        EXPECT_EQ(r->IsOpen(), S_FALSE);
        WAVEFORMATEX out{};
        EXPECT_EQ(r->GetFormat(&out, nullptr), E_FAIL);
        std::uint8_t b[4];
        EXPECT_EQ(r->ReadAt(b, 0, 4), E_FAIL);
    }
}

TEST(WaveReader, FindsWaveFormAfterOtherTopLevelChunks) {
    Bytes file;
    test::Append(file, Chunk("RIFF", Bytes{'A', 'V', 'I', ' ', 1, 2, 3}));
    test::Append(file, Pcm16File(Bytes(8, 9)));
    Reader r;
    EXPECT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
}

TEST(WaveReader, ExtensibleFormatIsReportedAsTheCallerAsks) {
    struct Case {
        GUID subFormat;
        std::uint16_t shortTag;
    };
    for (const Case& c :
         {Case{KSDATAFORMAT_SUBTYPE_PCM, 1}, Case{KSDATAFORMAT_SUBTYPE_IEEE_FLOAT, 3},
          Case{GUID{7, 0, 0x10, {}}, 0xFFFE}}) {
        const Bytes file =
            RiffWave({Chunk("fmt ", test::ExtensiblePayload(CaptureFormat(), c.subFormat)),
                      Chunk("data", Bytes(8))});
        Reader r;
        ASSERT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
        WAVEFORMATEX shortForm{};
        shortForm.cbSize = 0x7777;
        EXPECT_EQ(r->GetFormat(&shortForm, nullptr), S_OK);
        EXPECT_EQ(shortForm.wFormatTag, c.shortTag);
        EXPECT_EQ(shortForm.cbSize, 0);
        EXPECT_EQ(shortForm.nChannels, 2);

        WAVEFORMATEXTENSIBLE longForm{};
        longForm.Format.cbSize = kExtensibleExtraSize;
        EXPECT_EQ(r->GetFormat(&longForm.Format, nullptr), S_OK);
        EXPECT_EQ(longForm.Format.wFormatTag, WAVE_FORMAT_EXTENSIBLE);
        EXPECT_EQ(longForm.Format.cbSize, kExtensibleExtraSize);
        EXPECT_EQ(longForm.SubFormat, c.subFormat);
        EXPECT_EQ(longForm.wValidBitsPerSample, 16);
    }
}

TEST(WaveReader, ReadAtPadsWithSilence) {
    const Bytes data = test::NoiseBytes(100, 4);
    const Bytes file = Pcm16File(data);
    Reader r;
    ASSERT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    HRESULT hr;

    Bytes got = ReadAll(r, -10, 30, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 10), Bytes(10, 0));
    EXPECT_TRUE(std::equal(got.begin() + 10, got.end(), data.begin()));

    got = ReadAll(r, 90, 30, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10, data.begin() + 90));
    EXPECT_EQ(Bytes(got.begin() + 10, got.end()), Bytes(20, 0));

    got = ReadAll(r, -5, 200, &hr);  // both sides at once
    ASSERT_EQ(hr, S_OK);
    EXPECT_TRUE(std::equal(got.begin() + 5, got.begin() + 105, data.begin()));
    EXPECT_EQ(got[4], 0);
    EXPECT_EQ(got[105], 0);

    ReadAll(r, 100, 4, &hr);  // at the end: all silence
    EXPECT_EQ(hr, S_OK);
    ReadAll(r, 101, 4, &hr);
    EXPECT_EQ(hr, E_FAIL);
    ReadAll(r, -10, 5, &hr);  // wholly before the data
    EXPECT_EQ(hr, E_FAIL);
    ReadAll(r, 0, -1, &hr);
    EXPECT_EQ(hr, E_FAIL);
    ReadAll(r, INT64_MIN, 4, &hr);
    EXPECT_EQ(hr, E_FAIL);
    ReadAll(r, INT64_MAX, 4, &hr);
    EXPECT_EQ(hr, E_FAIL);
    ReadAll(r, 0xFFFFFFF0ll, 4, &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(r->ReadAt(nullptr, 0, 4), E_FAIL);
    ReadAll(r, 0, 0, &hr);
    EXPECT_EQ(hr, S_OK);
}

TEST(WaveReader, EightBitSilenceIsMidScale) {
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 8000, 1, 8, 0};
    const Bytes file =
        RiffWave({Chunk("fmt ", test::FormatPayload(format, 16)), Chunk("data", Bytes(3, 0x10))});
    Reader r;
    ASSERT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    HRESULT hr;
    const Bytes got = ReadAll(r, -2, 7, &hr);
    ASSERT_EQ(hr, S_OK);
    EXPECT_EQ(got, (Bytes{0x80, 0x80, 0x10, 0x10, 0x10, 0x80, 0x80}));
}

TEST(WaveReader, DataLongerThanTheFileReadsAsSilence) {
    test::TempFolder dir;
    const Bytes data = test::NoiseBytes(1000, 6);
    Bytes file = RiffWave(
        {Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16)), Chunk("data", data, 1000000)});
    test::WriteFile(dir / "long.wav", file);
    for (bool fromFile : {false, true}) {
        Reader r;
        ASSERT_EQ(fromFile ? r->Open(dir / "long.wav", 0) : r->OpenMemory(file.data(), file.size()),
                  S_OK);
        std::uint64_t size = 0;
        r->GetDataSize(&size);
        EXPECT_EQ(size, 1000000u);  // as declared
        HRESULT hr;
        // Small (buffered) and large (direct) reads alike.
        for (std::int32_t count : {600, 300000}) {
            const Bytes got = ReadAll(r, 500, count, &hr, 0xEE);
            ASSERT_EQ(hr, S_OK);
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 500, data.begin() + 500));
            EXPECT_EQ(std::count(got.begin() + 500, got.end(), 0), count - 500);
        }
        const Bytes far = ReadAll(r, 900000, 4, &hr, 0xEE);
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(far, Bytes(4, 0));
    }
}

TEST(WaveReader, HostileFilesFailCleanly) {
    test::TempFolder dir;
    const Bytes good = Pcm16File(Bytes(16, 1));
    std::vector<Bytes> files;
    for (std::size_t n = 0; n <= 12; ++n)
        files.emplace_back(good.begin(), good.begin() + n);
    for (std::size_t n : {20u, 36u, 40u, 43u})
        files.emplace_back(good.begin(), good.begin() + n);
    // A "fmt " chunk that claims nearly 4 GiB, and a skipped chunk that does.
    files.push_back(
        RiffWave({Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16), 0xFFFFFFFFll)}));
    files.push_back(
        RiffWave({Chunk("JUNK", Bytes(2), 0xFFFFFFFEll),
                  Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16)), Chunk("data", {})}));
    files.push_back(RiffWave({Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16), 0xFFFFFFF0ll),
                              Chunk("data", {})}));
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(i);
        Reader fromMemory;
        EXPECT_EQ(fromMemory->OpenMemory(files[i].data(), files[i].size()), E_FAIL);
        const auto path = dir / ("h" + std::to_string(i) + ".wav");
        test::WriteFile(path, files[i]);
        Reader fromFile;
        EXPECT_EQ(fromFile->Open(path, 0), E_FAIL);
        EXPECT_EQ(fromFile->IsOpen(), S_FALSE);
    }
    Reader missing, folder;
    EXPECT_EQ(missing->Open(dir / "nothing.wav", 0), E_FAIL);
    EXPECT_EQ(folder->Open(dir.Path(), 0), E_FAIL);

    // A link to a good file is refused (the file itself opens), and a pipe is refused at
    // once instead of waiting for someone to write into it.
    test::WriteFile(dir / "good.wav", Pcm16File(Bytes(8, 1)));
    std::filesystem::create_symlink(dir / "good.wav", dir / "link.wav");
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    Reader goodFile, link, pipe;
    EXPECT_EQ(goodFile->Open(dir / "good.wav", 0), S_OK);
    EXPECT_EQ(link->Open(dir / "link.wav", 0), E_FAIL);
    EXPECT_EQ(pipe->Open(dir / "pipe.wav", 0), E_FAIL);
}

TEST(WaveReader, RiffSizePastTheEndStillOpens) {
    const Bytes data = test::NoiseBytes(8, 7);
    Bytes file =
        RiffWave({Chunk("fmt ", test::FormatPayload(CaptureFormat(), 16)), Chunk("data", data)},
                 0xFFFFFFFFll);
    Reader r;
    ASSERT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    HRESULT hr;
    EXPECT_EQ(ReadAll(r, 0, 8, &hr), data);
}

// What recovery needs of a file a killed writer left: the data's offset (the header's data
// size lags), through a descriptor the caller keeps, and whether a failed file was WAV at all.
TEST(WaveReader, ReportsLayoutThroughTheCallersDescriptor) {
    test::TempFolder dir;
    const Bytes audio = test::NoiseBytes(16, 3);
    Bytes lagging = Pcm16File({}, {}, {Chunk("LIST", Bytes(6, 0))});
    test::Append(lagging, audio);
    test::WriteFile(dir / "lagging.wav", lagging);
    const int fd = ::open((dir / "lagging.wav").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        Reader r;
        ASSERT_EQ(r->OpenDescriptor(fd), S_OK);
        EXPECT_TRUE(r->StartsWithWaveForm());
        EXPECT_EQ(r->DataOffsetBytes(), lagging.size() - audio.size());
        EXPECT_EQ(r->OpenDescriptor(fd), E_FAIL);
    }
    std::uint8_t first = 0;
    EXPECT_EQ(::pread(fd, &first, 1, 0), 1) << "the caller's descriptor stays open";
    ::close(fd);

    Bytes broken = Pcm16File(audio);
    broken.resize(30);
    Bytes foreign = broken;
    foreign[8] = 'X';
    for (const auto& [file, wave] : {std::pair{broken, true}, std::pair{foreign, false}}) {
        Reader r;
        EXPECT_EQ(r->OpenMemory(file.data(), file.size()), E_FAIL);
        EXPECT_EQ(r->StartsWithWaveForm(), wave);
        EXPECT_EQ(r->DataOffsetBytes(), 0u);
    }
    ASSERT_EQ(::mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
    const int pipe = ::open((dir / "pipe.wav").c_str(), O_RDWR | O_CLOEXEC);
    Reader fromPipe;
    EXPECT_EQ(fromPipe->OpenDescriptor(pipe), E_FAIL);
    ::close(pipe);
}

TEST(WaveReader, CountsReferencesAndAnswersTheFixedSlots) {
    CWaveReader* r = new CWaveReader;
    EXPECT_EQ(r->AddRef(), 2u);
    EXPECT_EQ(r->Release(), 1u);
    void* other = r;
    EXPECT_EQ(r->QueryInterface(IID_IUnknown, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(r->GetStreamCount(), 1);
    EXPECT_EQ(r->Reserved11(nullptr, nullptr), E_NOTIMPL);
    EXPECT_EQ(r->Reserved12(), E_NOTIMPL);
    EXPECT_EQ(r->Reserved13(nullptr, nullptr), E_NOTIMPL);
    std::uint32_t rate = 0;
    EXPECT_EQ(r->GetSampleRate(&rate), E_FAIL);  // nothing stored yet
    EXPECT_EQ(rate, 1u);
    std::uint64_t frames = 9;
    EXPECT_EQ(r->GetFrameCount(&frames), S_OK);
    EXPECT_EQ(frames, 0u);
    // A reader opens once.
    const Bytes file = Pcm16File(Bytes(4));
    EXPECT_EQ(r->OpenMemory(file.data(), file.size()), S_OK);
    EXPECT_EQ(r->OpenMemory(file.data(), file.size()), E_FAIL);
    EXPECT_EQ(r->IsOpen(), S_OK);
    EXPECT_EQ(r->Release(), 0u);
}

}  // namespace
}  // namespace sondrel
