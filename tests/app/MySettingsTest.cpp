#include "app/MySettings.h"
#include "support/ScopedEnvironment.h"
#include "support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

void PutFloat(Bytes& bytes, float value) {
    Put32(bytes, std::bit_cast<std::uint32_t>(value));
}

// A file of the given version with every field it holds set to a value unlike the defaults.
Bytes FileOfVersion(std::uint16_t version) {
    Bytes bytes;
    Put16(bytes, version);
    Put32(bytes, 0xC5); // bits 0, 2, 6 and 7
    if (version >= 2) {
        Put32(bytes, static_cast<std::uint32_t>(-20));
        Put32(bytes, 30);
        Put32(bytes, 1900);
        Put32(bytes, 1100);
        PutFloat(bytes, 0.75f);
    }
    if (version >= 3) {
        Put32(bytes, 17);
        Put32(bytes, 0x7FFFFFFF);
        Put32(bytes, static_cast<std::uint32_t>(-5));
    }
    return bytes;
}

Bytes ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& file, const Bytes& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ExpectDefaults(const MySettings& settings) {
    EXPECT_EQ(settings.version, 3);
    EXPECT_EQ(settings.flags, 0x28u);
    EXPECT_TRUE(settings.HasFlag(SettingsFlag_MinimizeToTrayOnClose));
    EXPECT_TRUE(settings.HasFlag(SettingsFlag_CheckLinkScheme));
    EXPECT_FALSE(settings.HasFlag(SettingsFlag_NoUpdateCheck)); // the update check is on
    EXPECT_FALSE(settings.HasFlag(SettingsFlag_ResumePlaying));
    EXPECT_EQ(settings.windowRect, (MySettings::Rect{50, 50, 850, 650}));
    EXPECT_FLOAT_EQ(settings.volume, 0.4f);
    EXPECT_FLOAT_EQ(settings.balance, 0.0f);
    EXPECT_EQ(settings.lastStationId, 0);
    EXPECT_EQ(settings.lastStreamId, 0);
    EXPECT_EQ(settings.lastSecond, 0);
}

// A local application-data folder holding "Vantri" with a settings file of the given bytes.
class SettingsFile : public ::testing::Test {
protected:
    fs::path folder() const { return scratch.path() / "Vantri"; }
    fs::path file() const { return folder() / "settings.vts"; }
    void Store(const Bytes& bytes) {
        fs::create_directories(folder());
        WriteAll(file(), bytes);
    }

    testsupport::ScratchFolder scratch;
};

} // namespace

TEST(SettingsFolder, FirstStartMakesTheFolderUnderXdgConfigHomeAndKeepsTheDefaults) {
    testsupport::ScratchFolder scratch;
    const fs::path config = scratch.path() / "config"; // not there yet either
    testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", config.string());

    MySettings settings;
    EXPECT_TRUE(fs::is_directory(config / "Vantri"));
    EXPECT_FALSE(fs::exists(config / "Vantri" / "settings.vts")); // made at the first save
    EXPECT_EQ(fs::path(settings.path), config / "Vantri" / "settings.vts");
    ExpectDefaults(settings);

    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fs::file_size(config / "Vantri" / "settings.vts"), 38u);
}

TEST(SettingsFolder, WithoutXdgConfigHomeTheFolderIsUnderDotConfig) {
    testsupport::ScratchFolder scratch;
    testsupport::ScopedEnvironment home("HOME", scratch.path().string());
    testsupport::ScopedEnvironment xdg("XDG_CONFIG_HOME", std::nullopt);
    EXPECT_EQ(fs::path(MySettings().path), scratch.path() / ".config" / "Vantri" / "settings.vts");
    EXPECT_TRUE(fs::is_directory(scratch.path() / ".config" / "Vantri"));

    // An empty or relative value does not count.
    testsupport::ScopedEnvironment relative("XDG_CONFIG_HOME", std::string("relative/config"));
    EXPECT_EQ(fs::path(MySettings().path), scratch.path() / ".config" / "Vantri" / "settings.vts");
    testsupport::ScopedEnvironment empty("XDG_CONFIG_HOME", std::string(""));
    EXPECT_EQ(fs::path(MySettings().path), scratch.path() / ".config" / "Vantri" / "settings.vts");
}

TEST(SettingsFolder, AFolderThatCannotBeMadeMeansDefaultsAndNoSaving) {
    testsupport::ScratchFolder scratch;
    // A file where the application-data folder should be: nothing can be made below it, even by root.
    const fs::path blocker = scratch.path() / "not-a-folder";
    WriteAll(blocker, {1, 2, 3});

    MySettings settings(blocker.u16string());
    EXPECT_TRUE(settings.path.empty());
    ExpectDefaults(settings);
    settings.volume = 0.9f;
    EXPECT_FALSE(settings.Save());
    EXPECT_FLOAT_EQ(settings.volume, 0.9f);
    EXPECT_EQ(ReadAll(blocker), (Bytes{1, 2, 3}));

    // A file named "Vantri" stands where the folder should be.
    WriteAll(scratch.path() / "Vantri", {4});
    MySettings blocked(scratch.text());
    EXPECT_TRUE(blocked.path.empty());
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(ReadAll(scratch.path() / "Vantri"), (Bytes{4}));
}

TEST(SettingsFolder, NoApplicationDataFolderAtAllMeansNoSaving) {
    MySettings settings(u"");
    EXPECT_TRUE(settings.path.empty());
    ExpectDefaults(settings);
    EXPECT_FALSE(settings.Save());
}

TEST(SettingsFolder, APathThatWouldBeTooLongTurnsSavingOff) {
    testsupport::ScratchFolder scratch;
    // "/Vantri/settings.vts" adds 20 units; the whole path and its terminating zero must fit 260 units.
    const std::size_t suffix = std::u16string(u"/Vantri/settings.vts").size();
    const std::size_t base = scratch.text().size() + 1;
    ASSERT_LT(base + suffix, 259u);
    const fs::path fits = scratch.path() / std::string(259 - suffix - base, 'f');
    const fs::path tooLong = scratch.path() / std::string(260 - suffix - base, 'l');
    fs::create_directories(fits);
    fs::create_directories(tooLong);

    MySettings longest(fits.u16string());
    EXPECT_EQ(longest.path.size(), 259u);
    EXPECT_TRUE(longest.Save());

    MySettings settings(tooLong.u16string());
    EXPECT_TRUE(settings.path.empty());
    ExpectDefaults(settings);
    EXPECT_FALSE(settings.Save());
    EXPECT_FALSE(fs::exists(tooLong / "Vantri")); // no folder is left behind that could never be used
}

TEST_F(SettingsFile, AnExistingFolderWithoutAFileKeepsTheDefaults) {
    fs::create_directories(folder());
    MySettings settings(scratch.text());
    EXPECT_EQ(fs::path(settings.path), file());
    ExpectDefaults(settings);
}

TEST_F(SettingsFile, Version3GivesEveryStoredField) {
    Store(FileOfVersion(3));
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.version, 3);
    EXPECT_EQ(settings.flags, 0xC5u);
    EXPECT_EQ(settings.windowRect, (MySettings::Rect{-20, 30, 1900, 1100}));
    EXPECT_FLOAT_EQ(settings.volume, 0.75f);
    EXPECT_EQ(settings.lastStationId, 17);
    EXPECT_EQ(settings.lastStreamId, 0x7FFFFFFF);
    EXPECT_EQ(settings.lastSecond, -5);
    EXPECT_FLOAT_EQ(settings.balance, 0.0f); // never stored
}

TEST_F(SettingsFile, Version2LeavesTheLastPositionAtZeroAndIsRewrittenAsVersion3) {
    Store(FileOfVersion(2));
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.flags, 0xC5u);
    EXPECT_EQ(settings.windowRect, (MySettings::Rect{-20, 30, 1900, 1100}));
    EXPECT_FLOAT_EQ(settings.volume, 0.75f);
    EXPECT_EQ(settings.lastStationId, 0);
    EXPECT_EQ(settings.lastStreamId, 0);
    EXPECT_EQ(settings.lastSecond, 0);

    ASSERT_TRUE(settings.Save());
    Bytes expected = FileOfVersion(2);
    expected[0] = 3;
    Put32(expected, 0);
    Put32(expected, 0);
    Put32(expected, 0);
    EXPECT_EQ(ReadAll(file()), expected);
}

TEST_F(SettingsFile, Version1GivesOnlyTheFlags) {
    Store(FileOfVersion(1));
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.flags, 0xC5u);
    EXPECT_EQ(settings.windowRect, MySettings::kDefaultWindowRect);
    EXPECT_FLOAT_EQ(settings.volume, 0.4f);
    EXPECT_EQ(settings.lastStationId, 0);
}

TEST_F(SettingsFile, Version1WithMoreBytesStillGivesOnlyTheFlags) {
    Bytes bytes = FileOfVersion(3);
    bytes[0] = 1;
    Store(bytes);
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.flags, 0xC5u);
    EXPECT_EQ(settings.windowRect, MySettings::kDefaultWindowRect);
    EXPECT_EQ(settings.lastStreamId, 0);
}

TEST_F(SettingsFile, OtherVersionsAreIgnoredAndOverwrittenAsVersion3) {
    for (std::uint16_t version : {0, 4, 0x0300, 0xFFFF}) {
        Bytes bytes = FileOfVersion(3);
        bytes[0] = static_cast<std::uint8_t>(version);
        bytes[1] = static_cast<std::uint8_t>(version >> 8);
        Store(bytes);
        MySettings settings(scratch.text());
        ExpectDefaults(settings);
        ASSERT_TRUE(settings.Save());
        Bytes written = ReadAll(file());
        ASSERT_EQ(written.size(), 38u);
        EXPECT_EQ(written[0], 3);
        EXPECT_EQ(written[1], 0);
        EXPECT_EQ(MySettings(scratch.text()).flags, 0x28u) << version;
    }
}

TEST_F(SettingsFile, AShortFileGivesTheFieldsItHoldsWholeAndDefaultsForTheRest) {
    const Bytes whole = FileOfVersion(3);
    for (std::size_t size = 0; size < whole.size(); ++size) {
        SCOPED_TRACE(size);
        Store(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size)));
        MySettings settings(scratch.text());
        EXPECT_EQ(settings.flags, size >= 6 ? 0xC5u : 0x28u);
        // The rectangle comes whole or not at all.
        EXPECT_EQ(settings.windowRect,
                  (size >= 22 ? MySettings::Rect{-20, 30, 1900, 1100} : MySettings::kDefaultWindowRect));
        EXPECT_FLOAT_EQ(settings.volume, size >= 26 ? 0.75f : 0.4f);
        EXPECT_EQ(settings.lastStationId, size >= 30 ? 17 : 0);
        EXPECT_EQ(settings.lastStreamId, size >= 34 ? 0x7FFFFFFF : 0);
        EXPECT_EQ(settings.lastSecond, 0); // the last field needs all 38 bytes
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(fs::file_size(file()), 38u);
    }
}

TEST_F(SettingsFile, BytesAfterTheRecordAreIgnored) {
    Bytes bytes = FileOfVersion(3);
    bytes.resize(4096, 0xEE);
    Store(bytes);
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.lastSecond, -5);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(ReadAll(file()), FileOfVersion(3));
}

TEST_F(SettingsFile, TheUnusedBitIsKeptAndWrittenBack) {
    Bytes bytes;
    Put16(bytes, 3);
    Put32(bytes, 0x02 | 0x08 | 0x100); // bit 1, bit 3 and an unknown bit
    Store(bytes);
    MySettings settings(scratch.text());
    EXPECT_TRUE(settings.HasFlag(SettingsFlag_Unused));
    settings.SetFlag(SettingsFlag_Muted, true);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(MySettings(scratch.text()).flags, 0x02u | 0x04u | 0x08u | 0x100u);
}

TEST_F(SettingsFile, HighContrastIsOffUnlessSavedOnAndFilesOfEveryVersionWithoutItReadOff) {
    EXPECT_FALSE(MySettings(scratch.text()).HasFlag(SettingsFlag_HighContrast)) << "off by default";
    for (const std::uint16_t version : {1, 2, 3}) {
        Store(FileOfVersion(version));
        EXPECT_FALSE(MySettings(scratch.text()).HasFlag(SettingsFlag_HighContrast)) << version;
    }
    MySettings settings(scratch.text());
    settings.SetFlag(SettingsFlag_HighContrast, true);
    ASSERT_TRUE(settings.Save());
    const MySettings next(scratch.text());
    EXPECT_TRUE(next.HasFlag(SettingsFlag_HighContrast));
    EXPECT_EQ(next.flags, 0xC5u | 0x800u) << "the other options stay as they were";
}

TEST_F(SettingsFile, AVolumeThatIsNotBetweenZeroAndOneIsMadeSafe) {
    const std::pair<float, float> cases[] = {
        {std::numeric_limits<float>::quiet_NaN(), 0.4f},
        {-std::numeric_limits<float>::infinity(), 0.0f},
        {std::numeric_limits<float>::infinity(), 1.0f},
        {-0.5f, 0.0f},
        {7.0f, 1.0f},
        {0.0f, 0.0f},
        {1.0f, 1.0f},
    };
    for (auto [stored, expected] : cases) {
        Bytes bytes = FileOfVersion(2);
        bytes.resize(22);
        PutFloat(bytes, stored);
        Store(bytes);
        EXPECT_FLOAT_EQ(MySettings(scratch.text()).volume, expected) << stored;
    }
}

TEST_F(SettingsFile, EverySaveWritesTheWholeVersion3RecordInFileOrder) {
    fs::create_directories(folder());
    MySettings settings(scratch.text());
    // Each change the program saves after: window moved or sized, volume, mute, a settings box, resume.
    settings.windowRect = {1, 2, 803, 604};
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fs::file_size(file()), 38u);
    settings.volume = 1.0f;
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fs::file_size(file()), 38u);
    settings.SetFlag(SettingsFlag_Muted, true);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fs::file_size(file()), 38u);
    settings.SetFlag(SettingsFlag_MinimizeToTrayOnClose, false);
    settings.SetFlag(SettingsFlag_NoUpdateCheck, true);
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fs::file_size(file()), 38u);
    settings.lastStationId = 0x01020304;
    settings.lastStreamId = -2;
    settings.lastSecond = 3600;
    settings.balance = -1.0f;
    ASSERT_TRUE(settings.Save());

    Bytes expected;
    Put16(expected, 3);
    Put32(expected, 0x20 | 0x80 | 0x04);
    Put32(expected, 1);
    Put32(expected, 2);
    Put32(expected, 803);
    Put32(expected, 604);
    PutFloat(expected, 1.0f);
    Put32(expected, 0x01020304);
    Put32(expected, static_cast<std::uint32_t>(-2));
    Put32(expected, 3600);
    EXPECT_EQ(ReadAll(file()), expected);
    EXPECT_FALSE(fs::exists(folder() / "settings.vts.new"));

    MySettings reloaded(scratch.text());
    EXPECT_EQ(reloaded.flags, settings.flags);
    EXPECT_EQ(reloaded.windowRect, settings.windowRect);
    EXPECT_FLOAT_EQ(reloaded.volume, 1.0f);
    EXPECT_EQ(reloaded.lastStreamId, -2);
    EXPECT_FLOAT_EQ(reloaded.balance, 0.0f);
}

TEST_F(SettingsFile, AFailedSaveLeavesTheOldFileWhole) {
    Store(FileOfVersion(3));
    MySettings settings(scratch.text());
    // A folder stands where the new file would be written, so the write cannot begin.
    fs::create_directories(folder() / "settings.vts.new");
    settings.lastSecond = 99;
    EXPECT_FALSE(settings.Save());
    EXPECT_EQ(ReadAll(file()), FileOfVersion(3));
    EXPECT_EQ(settings.lastSecond, 99); // memory keeps what was set

    fs::remove(folder() / "settings.vts.new");
    EXPECT_TRUE(settings.Save());
    EXPECT_EQ(MySettings(scratch.text()).lastSecond, 99);
}

TEST_F(SettingsFile, AFolderInPlaceOfTheFileMeansDefaultsAndNoHarm) {
    fs::create_directories(file());
    MySettings settings(scratch.text());
    ExpectDefaults(settings);
    EXPECT_FALSE(settings.Save());
    EXPECT_TRUE(fs::is_directory(file()));
    EXPECT_FALSE(fs::exists(folder() / "settings.vts.new")); // the written copy does not linger
}

TEST_F(SettingsFile, AReadOnlyFolderKeepsTheOldFile) {
    Store(FileOfVersion(3));
    fs::permissions(folder(), fs::perms::owner_read | fs::perms::owner_exec);
    {
        // A probe: some users (root) may write anyway, and then there is nothing to see here.
        std::ofstream probe(folder() / "probe");
        if (probe.is_open()) {
            probe.close();
            fs::remove(folder() / "probe");
            fs::permissions(folder(), fs::perms::owner_all);
            GTEST_SKIP() << "this user may write into read-only folders";
        }
    }
    MySettings settings(scratch.text());
    EXPECT_EQ(settings.lastSecond, -5);
    settings.lastSecond = 1;
    EXPECT_FALSE(settings.Save());
    fs::permissions(folder(), fs::perms::owner_all);
    EXPECT_EQ(ReadAll(file()), FileOfVersion(3));
}
