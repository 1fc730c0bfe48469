// The headless wizard on the real ALSA backend: a test ALSA configuration gives a capture
// device named like a supported turntable that plays a known recording, and the exported
// files must hold exactly that recording.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "app/CMemorySettingsStore.h"
#include "app/CommandLine.h"
#include "app/RunHeadless.h"
#include "base/StringTable.h"
#include "common/TempFolder.h"
#include "platform/AlsaTestConfig.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;
using test::ReadWaveSamples16;

class AlsaHeadlessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        // Three seconds of lead-in silence: capture runs (and may read ahead up to a second)
        // between opening the input and pressing record, as with a real deck.
        const std::size_t leadFrames = 3 * 44100;
        const std::size_t frames = 4 * 44100;
        // ALSA's file plugin repeats stale frames once its file has ended, so the file itself
        // carries the silence after the music, enough for everything the test records.
        const std::size_t tailFrames = 12 * 44100;
        std::vector<std::int16_t> side((leadFrames + frames + tailFrames) * 2, 0);
        for (std::size_t i = 0; i < frames; ++i) {
            side[2 * (leadFrames + i)] = static_cast<std::int16_t>((i * 7) % 60000 - 29999) | 1;
            side[2 * (leadFrames + i) + 1] =
                static_cast<std::int16_t>(-(static_cast<int>(i % 30011)) - 1);
        }
        m_music.assign(side.begin() + static_cast<std::ptrdiff_t>(2 * leadFrames),
                       side.begin() + static_cast<std::ptrdiff_t>(2 * (leadFrames + frames)));
        test::WriteRawSide(m_dir / "side.raw", side);
        test::UseAlsaConfig(m_dir / "asound.conf",
                            test::TurntablePcm(m_dir / "side.raw") +
                                test::RecordingPcm("!default", m_dir / "played.raw"));
    }

    void TearDown() override { test::RestoreAlsaConfig(); }

    // The headless wizard on the real backends, with settings in memory.
    int Run(const std::vector<std::string>& args) {
        CommandLine cl;
        std::string error;
        if (Failed(ParseCommandLine(args, cl, error))) {
            ADD_FAILURE() << error;
            return -1;
        }
        SessionEnvironment env;
        env.vendorStore = &vendor;
        env.profileStore = &profile;
        env.out = &out;
        env.err = &err;
        return RunHeadless(cl, env);
    }

    test::TempFolder m_temp;
    const fs::path m_dir = m_temp.Path();
    std::vector<std::int16_t> m_music;
    CMemorySettingsStore vendor;
    CMemorySettingsStore profile;
    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(AlsaHeadlessTest, ManualRecordingExportsTheExactInput) {
    if (test::SystemAlsaConf().empty())
        GTEST_SKIP() << "no ALSA configuration";
    ASSERT_EQ(Run({"--headless", "--fake-usb", "08BB:29C0", "--split", "manual", "--mark", "5",
                   "--stop-after", "12", "--artist", "Alsa", "--album", "Test", "--title", "A",
                   "--title", "B", "--export-folder", (m_dir / "export").string()}),
              0)
        << out.str() << err.str();

    const fs::path album = m_dir / "export" / "Alsa Test";
    ASSERT_TRUE(fs::exists(album / "A.wav")) << out.str();
    ASSERT_TRUE(fs::exists(album / "B.wav")) << out.str();
    std::vector<std::int16_t> all = ReadWaveSamples16(album / "A.wav");
    const std::vector<std::int16_t> second = ReadWaveSamples16(album / "B.wav");
    all.insert(all.end(), second.begin(), second.end());

    // Silence (the lead-in), the recording unchanged, then silence.
    std::size_t start = 0;
    while (start < all.size() && all[start] == 0)
        ++start;
    ASSERT_EQ(start % 2, 0u);
    ASSERT_GE(all.size() - start, m_music.size()) << "the recording was cut short";
    EXPECT_TRUE(std::equal(m_music.begin(), m_music.end(),
                           all.begin() + static_cast<std::ptrdiff_t>(start)));
    for (std::size_t i = start + m_music.size(); i < all.size(); ++i)
        ASSERT_EQ(all[i], 0) << i;
    // Recording ran for the asked time, and the mark split it at 5 s.
    EXPECT_GE(all.size(), 12u * 44100 * 2);
    EXPECT_NEAR(static_cast<double>(ReadWaveSamples16(album / "A.wav").size()) / (2 * 44100), 5.0,
                1.1);
}

TEST_F(AlsaHeadlessTest, UnpluggedDeviceEndsTheRecordingAndExportsAllBeforeIt) {
    if (test::SystemAlsaConf().empty())
        GTEST_SKIP() << "no ALSA configuration";
    // A deck that plays in real time and is unplugged five seconds into the side.
    constexpr std::uint32_t kUnplugFrame = 5 * 44100;
    const std::vector<std::int16_t> side = test::NumberedSide(2 * kUnplugFrame);
    test::WriteRawSide(m_dir / "numbered.raw", side);
    test::UseAlsaConfig(
        m_dir / "deck.conf",
        test::TestDeckPcm(m_dir / "numbered.raw", "unplug_at " + std::to_string(kUnplugFrame)) +
            test::RecordingPcm("!default", m_dir / "played.raw"));
    // Something was exported, so the run counts as a success.
    ASSERT_EQ(Run({"--headless", "--fake-usb", "08BB:29C0", "--split", "manual", "--stop-after",
                   "60", "--artist", "Alsa", "--album", "Unplugged", "--title", "A",
                   "--export-folder", (m_dir / "export").string()}),
              0)
        << out.str() << err.str();
    EXPECT_NE(out.str().find(LoadString(kIdsMsgDeviceDisconnected)), std::string::npos)
        << out.str();
    EXPECT_NE(err.str().find("disconnected"), std::string::npos) << err.str();

    // From wherever recording began, every frame up to the unplugging and nothing after.
    const std::vector<std::int16_t> exported =
        ReadWaveSamples16(m_dir / "export" / "Alsa Unplugged" / "A.wav");
    ASSERT_GE(exported.size(), 2u * 44100) << out.str();
    const std::uint32_t first = test::FrameNumber(exported, 0);
    ASSERT_LT(first, kUnplugFrame);
    ASSERT_EQ(exported.size(), 2u * (kUnplugFrame - first));
    EXPECT_TRUE(std::equal(exported.begin(), exported.end(),
                           side.begin() + static_cast<std::ptrdiff_t>(2 * first)));
}

}  // namespace
}  // namespace sondrel
