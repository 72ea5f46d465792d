#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/testing/in_memory_os.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

TEST(SettingsFilePathTest, ExecutablePathWithTheIniExtension) {
  testing_support::InMemoryOs os;
  os.SetExecutablePath("C:\\Tools\\Quillset.exe");
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools\\Quillset.ini");
  os.SetExecutablePath("C:\\Tools.v2\\Quillset");
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools.v2\\Quillset.ini");
  os.SetExecutablePath("C:\\表\\Quillset");  // 表 ends in the byte of "\"
  EXPECT_EQ(SettingsFilePath(os), "C:\\表\\Quillset.ini");
}

TEST(TIniFileTest, ReadsWritesAndDefaults) {
  testing_support::InMemoryOs os;
  os.AddFolder("C:\\Q");
  {
    TIniFile ini(os, "C:\\Q\\Quillset.ini");
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "");
    ini.WriteString(kTimeSection, kTimerSetKey, "2027/03/08");
    ini.WriteInteger(kTimeSection, kTimerIniSetKey, 2);
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "2027/03/08");
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerIniSetKey, ""), "2");
    EXPECT_EQ(ini.ReadString(kTimeSection, "Missing", "7"), "7");
    ini.WriteInteger(kTimeSection, kTimerIniSetKey, -12);
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerIniSetKey, ""), "-12");
  }
  EXPECT_EQ(os.GetProfileString("Time", "TimerSet", "", "C:\\Q\\Quillset.ini"), "2027/03/08");
}

// A read-only settings file refuses every write, as Windows does.
void MakeReadOnlySettingsFile(testing_support::InMemoryOs& os, const std::string& path) {
  os.AddFile(path, "");
  os.SetAttributes(path, kAttributeReadOnly);
}

TEST(TIniFileTest, RefusedWriteNamesTheFileAndReleaseStillFlushes) {
  testing_support::InMemoryOs os;
  MakeReadOnlySettingsFile(os, "C:\\Q\\Quillset.ini");
  {
    TIniFile ini(os, "C:\\Q\\Quillset.ini");
    try {
      ini.WriteString(kTimeSection, kTimerSetKey, "0");
      ADD_FAILURE();
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), "C:\\Q\\Quillset.ini に書き込めません");
    }
    EXPECT_THROW(ini.WriteInteger(kTimeSection, kTimerIniSetKey, 1), EIniFileException);
    EXPECT_TRUE(os.ProfileFlushes().empty());
  }
  EXPECT_EQ(os.FileContent("C:\\Q\\Quillset.ini"), "");
  EXPECT_EQ(os.ProfileFlushes(), std::vector<std::string>{"C:\\Q\\Quillset.ini"});
}

TEST(TIniFileTest, ReleaseDuringAFailureFlushesOnce) {
  testing_support::InMemoryOs os;
  MakeReadOnlySettingsFile(os, "a.ini");
  try {
    TIniFile ini(os, "a.ini");
    ini.WriteString(kTimeSection, kTimerSetKey, "0");
  } catch (const EIniFileException&) {
  }
  EXPECT_EQ(os.ProfileFlushes(), std::vector<std::string>{"a.ini"});
}

}  // namespace
}  // namespace quillset
