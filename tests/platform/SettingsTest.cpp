#include "platform/Settings.h"
#include "support/TempDir.h"

#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace velmar::platform;

TEST(Settings, MissingValuesGiveTheDefaultAndWrittenOnesReadBack) {
    EXPECT_EQ(ReadSetting("Settings", "NeverWritten", 15), 15);
    WriteSetting("Settings", "Big", -7);
    EXPECT_EQ(ReadSetting("Settings", "Big", 0), -7);
    WriteStringSetting("GamesScore", "Name0", "Doe, Jane"); // a comma: still one text
    EXPECT_EQ(ReadStringSetting("GamesScore", "Name0", {}), "Doe, Jane");
    // (Binary values: the history lists' tests, whose stored form has zero bytes.)
}

TEST(Settings, FileIsPrivateToItsUser) {
    WriteSetting("Settings", "UseLinger", 1);
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(SettingsFilePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(SettingsFilePath().endsWith("Korvath CE Velmar/CE Velmar.conf"));
}

TEST(Settings, GarbageInTheFileReadsAsMissing) {
    velmar::test::TempDir dir;
    SetSettingsFolderForTesting(dir.path());
    dir.write("Korvath CE Velmar/CE Velmar.conf",
              "[Settings]\nConnectTimeout=abc\nSendTimeout=@ByteArray(xx)\n"
              "RecieveTimeout=99999999999999\n[Ping]\nLastHosts=plain text\n");
    EXPECT_EQ(ReadSetting("Settings", "ConnectTimeout", 15), 15);
    EXPECT_EQ(ReadSetting("Settings", "SendTimeout", 5), 5);
    EXPECT_EQ(ReadSetting("Settings", "RecieveTimeout", 5), 5);
    EXPECT_FALSE(ReadBinarySetting("Ping", "LastHosts").has_value());
    SetSettingsFolderForTesting(qEnvironmentVariable("XDG_CONFIG_HOME"));
}
