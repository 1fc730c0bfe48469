#include "audiofile/CWaveWriter.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audiofile/CFileError.h"
#include "audiofile/CWaveReader.h"
#include "audiofile/WaveTestUtil.h"
#include "common/FileSizeLimit.h"

namespace sondrel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::GetU16;
using test::GetU32;

// Holds an exclusive lock on a file the way another program holding it open would.
class ForeignHolder {
public:
    explicit ForeignHolder(const std::filesystem::path& path) {
        m_fd = ::open(path.c_str(), O_RDWR);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0)
            Release();
    }
    ~ForeignHolder() { Release(); }
    bool Holds() const { return m_fd >= 0; }
    void Release() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

class WaveWriterTest : public ::testing::Test {
protected:
    test::TempFolder m_dir;
    std::filesystem::path m_path = m_dir / "temp0.wav";
};

TEST_F(WaveWriterTest, EmptyFileHasCanonicalHeader) {
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    ASSERT_EQ(writer.Close(), S_OK);

    const Bytes b = test::ReadFile(m_path);
    ASSERT_EQ(b.size(), 44u);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(GetU32(b, 4), 36u);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(GetU32(b, 16), 16u);
    EXPECT_EQ(GetU16(b, 20), 1);
    EXPECT_EQ(GetU16(b, 22), 2);
    EXPECT_EQ(GetU32(b, 24), 44100u);
    EXPECT_EQ(GetU32(b, 28), 176400u);
    EXPECT_EQ(GetU16(b, 32), 4);
    EXPECT_EQ(GetU16(b, 34), 16);
    EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
    EXPECT_EQ(GetU32(b, 40), 0u);
}

TEST_F(WaveWriterTest, CountsBytesAndDuration) {
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    const Bytes second(176400, 7);
    EXPECT_EQ(writer.Write(second.data(), second.size()), 176400u);
    EXPECT_EQ(writer.Write(second.data(), 1000), 177400u);
    std::uint64_t bytes = 0;
    std::uint32_t seconds = 99;
    EXPECT_EQ(writer.GetBytesWritten(&bytes), S_OK);
    EXPECT_EQ(bytes, 177400u);
    EXPECT_EQ(writer.GetDurationSeconds(&seconds), S_OK);
    EXPECT_EQ(seconds, 1u);
    ASSERT_EQ(writer.Close(), S_OK);
    const Bytes b = test::ReadFile(m_path);
    EXPECT_EQ(b.size(), 44u + 177400u);
    EXPECT_EQ(GetU32(b, 4), 36u + 177400u);
    EXPECT_EQ(GetU32(b, 40), 177400u);

    CWaveWriter noRate;
    WAVEFORMATEX format = CaptureFormat();
    format.nAvgBytesPerSec = 0;
    ASSERT_EQ(noRate.Create(m_dir / "other.wav", format), S_OK);
    seconds = 99;
    EXPECT_EQ(noRate.GetDurationSeconds(&seconds), E_FAIL);
    EXPECT_EQ(seconds, 0u);
}

TEST_F(WaveWriterTest, StopsAtTheLastWholeFrameBelowTheDataLimit) {
    // The format's own limit: a full file's RIFF size is the largest 32-bit value.
    const auto full = BuildWaveHeader(CaptureFormat(), 44 + kWaveMaxDataBytes);
    EXPECT_EQ(GetU32(Bytes(full.begin(), full.end()), 4), 0xFFFFFFFFu);
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    writer.SetDataLimitBytes(1002);
    const Bytes chunk(600, 7);
    EXPECT_EQ(writer.Write(chunk.data(), chunk.size()), 600u);
    EXPECT_FALSE(writer.IsFull());
    EXPECT_EQ(writer.Write(chunk.data(), chunk.size()), 1000u);
    EXPECT_TRUE(writer.IsFull());
    EXPECT_EQ(writer.Write(chunk.data(), chunk.size()), 1000u);
    ASSERT_EQ(writer.Close(), S_OK);
    const Bytes b = test::ReadFile(m_path);
    EXPECT_EQ(b.size(), 44u + 1000u);
    EXPECT_EQ(GetU32(b, 40), 1000u);
}

TEST_F(WaveWriterTest, HeaderFollowsRealLengthNotTheCount) {
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    const Bytes data(400, 1);
    writer.Write(data.data(), data.size());
    {
        // Someone else appends behind the writer's back (the lock is advisory).
        std::FILE* f = std::fopen(m_path.c_str(), "ab");
        ASSERT_NE(f, nullptr);
        std::fwrite("xyz", 1, 3, f);
        std::fclose(f);
    }
    ASSERT_EQ(writer.Close(), S_OK);
    const Bytes b = test::ReadFile(m_path);
    ASSERT_EQ(b.size(), 447u);
    EXPECT_EQ(GetU32(b, 4), 439u);
    EXPECT_EQ(GetU32(b, 40), 403u);  // odd, and no pad byte
}

TEST_F(WaveWriterTest, UnclosedFileKeepsProvisionalHeader) {
    {
        CWaveWriter writer;
        ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
        const Bytes data(4000, 3);
        writer.Write(data.data(), data.size());
    }
    const Bytes b = test::ReadFile(m_path);
    EXPECT_EQ(b.size(), 4044u);
    EXPECT_EQ(GetU32(b, 40), 0u);

    CWaveReader* reader = new CWaveReader;
    ASSERT_EQ(reader->Open(m_path, 0), S_OK);
    std::uint64_t size = 1;
    reader->GetDataSize(&size);
    EXPECT_EQ(size, 0u);
    reader->Release();
}

TEST_F(WaveWriterTest, CreateFailsWithoutFolderOrWhenHeldElsewhere) {
    CWaveWriter writer;
    EXPECT_EQ(writer.Create(m_dir / "missing" / "x.wav", CaptureFormat()), E_FAIL);
    EXPECT_EQ(writer.Close(), E_FAIL);  // nothing open

    test::WriteFile(m_path, Bytes(100, 9));
    ForeignHolder holder(m_path);
    ASSERT_TRUE(holder.Holds());
    EXPECT_EQ(writer.Create(m_path, CaptureFormat()), E_FAIL);
    EXPECT_EQ(test::ReadFile(m_path).size(), 100u);  // not truncated under its holder

    // A link in the file's place leads nowhere: what it points to stays as it was.
    const auto outside = m_dir / "outside.wav";
    test::WriteFile(outside, Bytes(100, 7));
    std::filesystem::create_symlink(outside, m_dir / "temp1.wav");
    EXPECT_EQ(writer.Create(m_dir / "temp1.wav", CaptureFormat()), E_FAIL);
    EXPECT_EQ(test::ReadFile(outside), Bytes(100, 7));
}

// Forks a process while the file is still open, as a program that inherited the open file
// would: the child keeps the file (and its exclusive lock) for holdTime after the writer lets go.
class ForkingWriter : public CWaveWriter {
public:
    explicit ForkingWriter(std::chrono::milliseconds holdTime) : m_holdTime(holdTime) {}
    ~ForkingWriter() override { Reap(); }
    void Reap() {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
            m_child = -1;
        }
    }

protected:
    void Process() override {
        m_child = ::fork();
        if (m_child == 0) {
            ::usleep(static_cast<useconds_t>(m_holdTime.count() * 1000));
            ::_exit(0);
        }
    }

private:
    std::chrono::milliseconds m_holdTime;
    pid_t m_child = -1;
};

TEST_F(WaveWriterTest, CloseFailsWhileAnotherProcessKeepsTheFile) {
    // The holder outlasts any run of attempts, so failing is the writer giving up, however slow
    // the machine.
    ForkingWriter writer(600s);
    writer.SetRetryPause(20ms);
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    EXPECT_FALSE(ForeignHolder(m_path).Holds());  // the writer's exclusive access is real
    const Bytes data(40, 1);
    writer.Write(data.data(), data.size());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(writer.Close(), E_FAIL);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    writer.Reap();
    EXPECT_GE(elapsed, CWaveWriter::kUsableAttempts * 20ms);
    // The header was final before the wait began.
    EXPECT_EQ(GetU32(test::ReadFile(m_path), 40), 40u);
}

TEST_F(WaveWriterTest, CloseSucceedsOnceTheOtherProcessLetsGo) {
    ForkingWriter writer(100ms);
    writer.SetRetryPause(40ms);
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(writer.Close(), S_OK);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 80ms);
}

TEST_F(WaveWriterTest, FailedWriteRaisesFileErrorAndLeavesAValidFile) {
    // A file-size limit makes the kernel take part of a write and refuse the rest, as a full
    // disk does.
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    const Bytes first(1000, 0x11);
    writer.Write(first.data(), first.size());

    test::FileSizeLimit limit(44 + 1000 + 402);  // room for 100.5 frames of the next write
    ASSERT_TRUE(limit.Set());
    const Bytes second(4000, 0x22);
    bool raised = false;
    try {
        writer.Write(second.data(), second.size());
    } catch (const CFileError& error) {
        raised = true;
        EXPECT_EQ(error.ErrorNumber(), EFBIG);
        EXPECT_EQ(error.Path(), m_path);
    }
    limit.Restore();
    EXPECT_TRUE(raised);

    std::uint64_t bytes = 0;
    writer.GetBytesWritten(&bytes);
    EXPECT_EQ(bytes, 1400u);  // whole frames only
    // Writing goes on once there is room again, in step with the frames.
    const Bytes third(8, 0x33);
    EXPECT_EQ(writer.Write(third.data(), third.size()), 1408u);
    ASSERT_EQ(writer.Close(), S_OK);

    const Bytes b = test::ReadFile(m_path);
    ASSERT_EQ(b.size(), 44u + 1408u);
    EXPECT_EQ(GetU32(b, 40), 1408u);
    EXPECT_EQ(b[44 + 999], 0x11);
    EXPECT_EQ(b[44 + 1000], 0x22);
    EXPECT_EQ(b[44 + 1399], 0x22);
    EXPECT_EQ(b[44 + 1400], 0x33);
}

TEST_F(WaveWriterTest, FileCutShortStillGetsItsRealLengthInTheHeader) {
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    test::FileSizeLimit limit(44 + 802);
    ASSERT_TRUE(limit.Set());
    const Bytes data(2000, 0x44);
    EXPECT_THROW(writer.Write(data.data(), data.size()), CFileError);
    EXPECT_THROW(writer.Write(data.data(), data.size()), CFileError);
    limit.Restore();
    ASSERT_EQ(writer.Close(), S_OK);

    CWaveReader* reader = new CWaveReader;
    ASSERT_EQ(reader->Open(m_path, 0), S_OK);
    std::uint64_t size = 0;
    reader->GetDataSize(&size);
    EXPECT_EQ(size, 800u);
    EXPECT_EQ(std::filesystem::file_size(m_path), 844u);
    reader->Release();
}

// The files we write are read by an independent implementation with the same samples.
TEST_F(WaveWriterTest, SoxReadsWhatWeWrite) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "sox not installed";
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 44100; ++i) {
        samples.push_back(static_cast<std::int16_t>((i * 977) % 65536 - 32768));
        samples.push_back(static_cast<std::int16_t>(-(i * 313) % 32767));
    }
    const Bytes data = test::SamplesToBytes(samples);
    CWaveWriter writer;
    ASSERT_EQ(writer.Create(m_path, CaptureFormat()), S_OK);
    writer.Write(data.data(), 1000);
    writer.Write(data.data() + 1000, data.size() - 1000);
    ASSERT_EQ(writer.Close(), S_OK);

    const auto info = m_dir / "info.txt";
    const auto raw = m_dir / "out.raw";
    ASSERT_EQ(
        std::system(("sox --i '" + m_path.string() + "' > '" + info.string() + "' 2>&1").c_str()),
        0);
    const Bytes infoBytes = test::ReadFile(info);
    const std::string text(infoBytes.begin(), infoBytes.end());
    EXPECT_NE(text.find("Channels       : 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Sample Rate    : 44100"), std::string::npos) << text;
    EXPECT_NE(text.find("Precision      : 16-bit"), std::string::npos) << text;
    EXPECT_NE(text.find("= 44100 samples"), std::string::npos) << text;
    ASSERT_EQ(std::system(("sox '" + m_path.string() + "' -t raw '" + raw.string() + "'").c_str()),
              0);
    EXPECT_EQ(test::ReadFile(raw), data);
}

}  // namespace
}  // namespace sondrel
