// Settings defaults and repair rules over the in-memory store, with the music folder in a
// temporary folder.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/CMemorySettingsStore.h"
#include "app/CSettings.h"
#include "app/SettingsValue.h"
#include "common/FakeShell.h"
#include "common/TempFolder.h"

namespace sondrel {
namespace {

namespace fs = std::filesystem;

using test::FakeShell;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_temp.Valid());
        m_shell.music = m_temp / "home" / "Music";
    }
    std::string Stored() {
        std::string value;
        return m_vendor.ReadString(kUserExportFolderValue, value) == S_OK ? value : "<missing>";
    }

    test::TempFolder m_temp;
    CMemorySettingsStore m_vendor;
    CMemorySettingsStore m_profile;
    FakeShell m_shell;
    CSettings m_settings{m_vendor, m_profile, m_shell};
};

TEST_F(SettingsTest, ProfileDefaultsWhenMissingOrUnreadable) {
    EXPECT_EQ(m_settings.ReadRecordLevelFixed(), 0x10000000u);
    EXPECT_EQ(m_settings.ReadRecordLevel(), 1.0f);
    EXPECT_EQ(m_settings.ReadRecordDeviceChannel(), -126976);
    EXPECT_EQ(static_cast<std::uint32_t>(m_settings.ReadRecordDeviceChannel()), 0xFFFE1000u);

    // More than four bytes, or text that is no number: the default.
    m_profile.Put(kRecordLevelValue, std::vector<std::uint8_t>{1, 2, 3, 4, 5});
    m_profile.Put(kRecordDeviceChannelValue, std::string("microphone"));
    EXPECT_EQ(m_settings.ReadRecordLevelFixed(), 0x10000000u);
    EXPECT_EQ(m_settings.ReadRecordDeviceChannel(), -126976);

    // The stored type is not checked: four bytes of binary data or a number in text count.
    m_profile.Put(kRecordLevelValue, std::vector<std::uint8_t>{0x00, 0x00, 0x00, 0x08});
    m_profile.Put(kRecordDeviceChannelValue, std::string("-2"));
    EXPECT_EQ(m_settings.ReadRecordLevel(), 0.5f);
    EXPECT_EQ(m_settings.ReadRecordDeviceChannel(), -2);
    m_profile.Put(kRecordDeviceChannelValue, std::string("4294840320"));
    EXPECT_EQ(m_settings.ReadRecordDeviceChannel(), -126976);
    m_profile.Put(kRecordDeviceChannelValue, std::string("4294967296"));
    EXPECT_EQ(m_settings.ReadRecordDeviceChannel(), -126976);  // too large: default
}

TEST_F(SettingsTest, RecordLevelIsStoredInFixedPointWithTheFractionCutOff) {
    m_settings.WriteRecordLevel(0.75f);
    EXPECT_EQ(m_settings.ReadRecordLevelFixed(), 0x0C000000u);
    EXPECT_EQ(m_settings.ReadRecordLevel(), 0.75f);
    // 0.1 has no exact fixed-point form: cut, not rounded.
    EXPECT_EQ(CSettings::RecordLevelToFixed(0.1f),
              static_cast<std::uint32_t>(std::trunc(static_cast<double>(0.1f) * 268435456.0)));
    EXPECT_EQ(CSettings::RecordLevelToFixed(1.0f / 268435456.0f * 0.99f), 0u);
    EXPECT_EQ(CSettings::RecordLevelToFixed(-1.0f), 0u);
    EXPECT_EQ(CSettings::RecordLevelToFixed(std::numeric_limits<float>::quiet_NaN()), 0u);
    EXPECT_EQ(CSettings::RecordLevelToFixed(100.0f), 0xFFFFFFFFu);

    m_settings.WriteRecordDeviceChannel(-126976);
    std::uint32_t raw = 0;
    ASSERT_EQ(m_profile.ReadInteger(kRecordDeviceChannelValue, raw), S_OK);
    EXPECT_EQ(raw, 0xFFFE1000u);
}

TEST_F(SettingsTest, RecordDeviceIsSixteenBytesInGuidLayout) {
    const GUID device{0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01}};
    m_settings.WriteRecordDevice(device);
    std::vector<std::uint8_t> bytes;
    ASSERT_EQ(m_profile.ReadBinary(kRecordDeviceValue, bytes), S_OK);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x44, 0x33, 0x22, 0x11, 0x66, 0x55, 0x88, 0x77,
                                                0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01}));
}

TEST_F(SettingsTest, MissingExportFolderIsTheMusicFolderCreatedButNotStored) {
    const fs::path folder = m_settings.ReadExportFolder();
    EXPECT_EQ(folder, m_shell.music);
    EXPECT_TRUE(fs::is_directory(m_shell.music));
    EXPECT_FALSE(m_vendor.Contains(kUserExportFolderValue));
}

TEST_F(SettingsTest, UnusableStoredValuesAreTreatedAsMissing) {
    const fs::path elsewhere = m_temp / "elsewhere";
    fs::create_directory(elsewhere);
    // Not a string.
    m_vendor.Put(kUserExportFolderValue, CMemorySettingsStore::OtherValue{elsewhere.string()});
    EXPECT_EQ(m_settings.ReadExportFolder(), m_shell.music);
    // Longer than 259 characters.
    const fs::path deep =
        m_temp / std::string(100, 'd') / std::string(100, 'e') / std::string(60, 'f');
    m_vendor.Put(kUserExportFolderValue, deep.string());
    EXPECT_EQ(m_settings.ReadExportFolder(), m_shell.music);
    EXPECT_FALSE(fs::exists(deep));
    // Relative.
    m_vendor.Put(kUserExportFolderValue, std::string("Music/Records"));
    EXPECT_EQ(m_settings.ReadExportFolder(), m_shell.music);
    // A usable one wins.
    m_vendor.Put(kUserExportFolderValue, elsewhere.string());
    EXPECT_EQ(m_settings.ReadExportFolder(), elsewhere);
}

TEST_F(SettingsTest, VanishedFolderIsRecreatedWithParentsAndTheValueKept) {
    const fs::path stored = m_temp / "usb" / "records" / "2024";
    m_vendor.Put(kUserExportFolderValue, stored.string());
    const auto writes = m_vendor.WriteCount();
    EXPECT_EQ(m_settings.ReadExportFolder(), stored);
    EXPECT_TRUE(fs::is_directory(stored));
    EXPECT_EQ(m_vendor.WriteCount(), writes);
    EXPECT_EQ(Stored(), stored.string());
}

TEST_F(SettingsTest, FolderThatCannotBeCreatedFallsBackToTheStoredMusicFolder) {
    test::WriteText(m_temp / "blocker", "a file where a folder should be");
    m_vendor.Put(kUserExportFolderValue, (m_temp / "blocker" / "records").string());
    EXPECT_EQ(m_settings.ReadExportFolder(), m_shell.music);
    EXPECT_TRUE(fs::is_directory(m_shell.music));
    EXPECT_EQ(Stored(), m_shell.music.string());

    // Without a music folder the last resort is an existing folder, stored as well.
    m_shell.music.clear();
    m_vendor.Put(kUserExportFolderValue, (m_temp / "blocker" / "records").string());
    const fs::path last = m_settings.ReadExportFolder();
    EXPECT_EQ(last, CSettings::FallbackFolder());
    EXPECT_TRUE(fs::is_directory(last));
    EXPECT_EQ(Stored(), last.string());

    // A music folder under a plain file cannot be made: the home folder serves, and nothing
    // that does not exist is ever stored.
    CMemorySettingsStore vendor;
    CSettings settings{vendor, m_profile, m_shell};
    m_shell.music = m_temp / "blocker" / "Music";
    const fs::path home = settings.ReadExportFolder();
    EXPECT_EQ(home, CSettings::FallbackFolder());
    std::string stored;
    if (vendor.ReadString(kUserExportFolderValue, stored) == S_OK) {
        EXPECT_TRUE(fs::is_directory(stored)) << stored;
    }
    EXPECT_EQ(settings.ReadExportFolder(), home);
}

TEST_F(SettingsTest, WritingALongFolderStoresTheMusicFolderInstead) {
    fs::path chosen = m_temp / "short";
    m_settings.WriteExportFolder(chosen);
    EXPECT_EQ(Stored(), (m_temp / "short").string());

    const std::string exact = "/" + std::string(129, 'a');  // 130 characters: kept
    fs::path atLimit = exact;
    m_settings.WriteExportFolder(atLimit);
    EXPECT_EQ(Stored(), exact);

    fs::path tooLong = "/" + std::string(130, 'a');
    m_settings.WriteExportFolder(tooLong);
    EXPECT_EQ(tooLong, m_shell.music);
    EXPECT_EQ(Stored(), m_shell.music.string());

    // Characters, not bytes: 100 two-byte letters are 101 characters.
    std::string umlauts = "/";
    for (int i = 0; i < 100; ++i)
        umlauts += "ü";
    fs::path wide = umlauts;
    m_settings.WriteExportFolder(wide);
    EXPECT_EQ(Stored(), umlauts);
}

TEST(SettingsInteger, ParsesTheFormsASettingsFileHolds) {
    std::uint32_t value = 0;
    EXPECT_TRUE(ParseSettingsInteger("268435456", value));
    EXPECT_EQ(value, 0x10000000u);
    EXPECT_TRUE(ParseSettingsInteger(" -126976 ", value));
    EXPECT_EQ(value, 0xFFFE1000u);
    EXPECT_TRUE(ParseSettingsInteger("0xFFFE1000", value));
    EXPECT_EQ(value, 0xFFFE1000u);
    EXPECT_TRUE(ParseSettingsInteger("-2147483648", value));
    EXPECT_EQ(value, 0x80000000u);
    EXPECT_FALSE(ParseSettingsInteger("-2147483649", value));
    EXPECT_FALSE(ParseSettingsInteger("4294967296", value));
    EXPECT_FALSE(ParseSettingsInteger("12abc", value));
    EXPECT_FALSE(ParseSettingsInteger("", value));
    EXPECT_FALSE(ParseSettingsInteger("-", value));
}

}  // namespace
}  // namespace sondrel
