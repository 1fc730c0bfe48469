// The Linux platform's own services: the XDG music folder, the temporary folder, the opener's
// input checks, the clock, the reported version and the simulated USB device option.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "common/ProcessState.h"
#include "common/TempFolder.h"
#include "devices/KnownDevices.h"
#include "devices/StereoCheck.h"
#include "platform/DebugOutput.h"
#include "platform/alsa/CAlsaAudioSystem.h"
#include "platform/linux/CLinuxPlatform.h"
#include "platform/linux/CLinuxShell.h"
#include "platform/linux/CLinuxThreadServices.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

TEST(LinuxShell, UserDirsValuesAreExpandedAndValidated) {
    const fs::path home = "/home/ada";
    const std::string text =
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        "XDG_MUSIC_DIR=\"$HOME/Musik\"\n";
    EXPECT_EQ(CLinuxShell::ParseUserDirs(text, "XDG_MUSIC_DIR", home), fs::path("/home/ada/Musik"));
    EXPECT_EQ(CLinuxShell::ParseUserDirs(text, "XDG_VIDEOS_DIR", home), std::nullopt);
    // Absolute paths, escapes and trailing slashes.
    EXPECT_EQ(CLinuxShell::ParseUserDirs("XDG_MUSIC_DIR=\"/srv/my \\\"tunes\\\"/\"\n",
                                         "XDG_MUSIC_DIR", home),
              fs::path("/srv/my \"tunes\""));
    // $HOME itself switches the folder off; relative and unterminated values are invalid.
    EXPECT_EQ(CLinuxShell::ParseUserDirs("XDG_MUSIC_DIR=\"$HOME/\"", "XDG_MUSIC_DIR", home),
              std::nullopt);
    EXPECT_EQ(CLinuxShell::ParseUserDirs("XDG_MUSIC_DIR=\"Music\"", "XDG_MUSIC_DIR", home),
              std::nullopt);
    EXPECT_EQ(CLinuxShell::ParseUserDirs("XDG_MUSIC_DIR=\"$HOME/Music", "XDG_MUSIC_DIR", home),
              std::nullopt);
    // A longer key with the same start is another key.
    EXPECT_EQ(CLinuxShell::ParseUserDirs("XDG_MUSIC_DIRS=\"/x\"", "XDG_MUSIC_DIR", home),
              std::nullopt);
}

TEST(LinuxShell, MusicFolderComesFromUserDirsOrFallsBackToMusic) {
    const test::TempFolder temp;
    ASSERT_TRUE(temp.Valid());
    const fs::path home = temp.Path();
    fs::create_directories(home / ".config");
    ScopedEnv homeEnv("HOME", home.c_str());
    ScopedEnv configEnv("XDG_CONFIG_HOME", nullptr);
    CLinuxShell shell;
    fs::path folder;
    ASSERT_EQ(shell.GetMusicFolder(folder), S_OK);
    EXPECT_EQ(folder, home / "Music");

    std::ofstream(home / ".config" / "user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Records\"\n";
    ASSERT_EQ(shell.GetMusicFolder(folder), S_OK);
    EXPECT_EQ(folder, home / "Records");
}

TEST(LinuxShell, TempFolderFollowsTmpdir) {
    CLinuxShell shell;
    fs::path folder;
    {
        ScopedEnv env("TMPDIR", "/var/tmp/sondrel");
        ASSERT_EQ(shell.GetTempFolder(folder), S_OK);
        EXPECT_EQ(folder, fs::path("/var/tmp/sondrel"));
    }
    {
        ScopedEnv env("TMPDIR", nullptr);
        ASSERT_EQ(shell.GetTempFolder(folder), S_OK);
        EXPECT_EQ(folder, fs::path("/tmp"));
    }
}

TEST(LinuxShell, RecordingsAreKeptInTheXdgStateFolderNotInTheTemporaryOne) {
    CLinuxShell shell;
    fs::path folder;
    {
        ScopedEnv env("XDG_STATE_HOME", "/srv/state");
        ASSERT_EQ(shell.GetRecordingsFolder(folder), S_OK);
        EXPECT_EQ(folder, fs::path("/srv/state/sondrel/recordings"));
    }
    {
        ScopedEnv state("XDG_STATE_HOME", "relative/state");  // not absolute: ignored
        ScopedEnv home("HOME", "/home/someone");
        ASSERT_EQ(shell.GetRecordingsFolder(folder), S_OK);
        EXPECT_EQ(folder, fs::path("/home/someone/.local/state/sondrel/recordings"));
    }
}

TEST(LinuxShell, OpenersRefuseWhatTheyShouldNotStart) {
    CLinuxShell shell;
    EXPECT_EQ(shell.OpenWebAddress("file:///etc/passwd"), E_FAIL);
    EXPECT_EQ(shell.OpenWebAddress("--help"), E_FAIL);
    EXPECT_EQ(shell.OpenFolder(""), E_FAIL);
    // A program that does not exist is reported, not taken as success.
    EXPECT_FALSE(CLinuxShell::Launch("sondrel-no-such-program", "x"));
    EXPECT_TRUE(CLinuxShell::Launch("true", "x"));
}

TEST(LinuxThreadServices, ClockSleepAndPriority) {
    CLinuxThreadServices threads;
    const std::uint64_t before = threads.MonotonicMs();
    threads.SleepMs(20);
    const std::uint64_t after = threads.MonotonicMs();
    EXPECT_GE(after - before, 20u);
    EXPECT_LT(after - before, 2000u);
    EXPECT_EQ(threads.BeginTimerPeriod(1), S_OK);
    EXPECT_EQ(threads.EndTimerPeriod(1), S_OK);

    // Granted or not, the answer must say what the thread really got.
    std::thread worker([&] {
        const bool realtime = threads.RaiseCurrentThreadPriority();
        int policy = 0;
        sched_param param{};
        ASSERT_EQ(pthread_getschedparam(pthread_self(), &policy, &param), 0);
        EXPECT_EQ(realtime, policy == SCHED_FIFO);
    });
    worker.join();
}

TEST(LinuxPlatform, ReportsAVersionWithStereoCheckAndWithoutMixerVolume) {
    std::unique_ptr<CLinuxPlatform> platform;
    std::string error;
    ASSERT_EQ(CLinuxPlatform::Create({std::make_pair(0x08BBu, 0x29C0u)}, platform, error), S_OK)
        << error;
    const SystemVersion version = platform->System().GetVersion();
    EXPECT_EQ(version.platformId, kPlatformIdNt);
    EXPECT_GT(version.major, 5u);
    EXPECT_FALSE(version.major == 6 && version.minor == 1);
}

TEST(LinuxPlatform, WithoutASoundServerTheAlsaDevicesAreUsedAndVerboseOutputSaysWhy) {
    test::TempFolder empty;
    setenv("PIPEWIRE_RUNTIME_DIR", empty.Path().c_str(), 1);
    std::string told;
    SetDebugOutputSink([&told](std::string_view text) { told += text; });
    std::unique_ptr<CLinuxPlatform> platform;
    std::string error;
    const HRESULT hr = CLinuxPlatform::Create({std::make_pair(0x08BBu, 0x29C0u)}, platform, error);
    SetDebugOutputSink({});
    unsetenv("PIPEWIRE_RUNTIME_DIR");
    ASSERT_EQ(hr, S_OK) << error;
    EXPECT_FALSE(platform->UsesPipeWire());
    EXPECT_EQ(&platform->Audio(), static_cast<IAudioSystem*>(&platform->AlsaAudio()));
    EXPECT_NE(told.find("Audio: ALSA devices directly, since no PipeWire server answers (nothing "
                        "answers at " +
                        (empty.Path() / "pipewire-0").string()),
              std::string::npos)
        << told;
}

TEST(LinuxPlatform, FakeUsbPresentsExactlyThatKnownDevice) {
    std::unique_ptr<CLinuxPlatform> platform;
    std::string error;
    ASSERT_EQ(CLinuxPlatform::Create({std::make_pair(0x15E4u, 0x0179u)}, platform, error), S_OK)
        << error;
    const std::vector<UsbIdPair> found = FindKnownDevices(platform->Usb());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], UsbIdPair(0x15E4, 0x0179));
}

}  // namespace
}  // namespace sondrel
