#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "locale/fake_locale_os.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

TEST(SettingsFilePathTest, ExecutablePathWithTheIniExtension) {
  FakeLocaleOs os;
  os.executable_path = "C:\\Tools\\Quillset.exe";
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools\\Quillset.ini");
  os.executable_path = "C:\\Tools.v2\\Quillset";
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools.v2\\Quillset.ini");
  os.executable_path = "C:\\表\\Quillset";  // 表 ends in the byte of "\"
  EXPECT_EQ(SettingsFilePath(os), "C:\\表\\Quillset.ini");
}

TEST(TIniFileTest, ReadsWritesAndDefaults) {
  FakeLocaleOs os;
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
  EXPECT_EQ(os.profile.at({"C:\\Q\\Quillset.ini", "Time", "TimerSet"}), "2027/03/08");
}

TEST(TIniFileTest, RefusedWriteNamesTheFileAndReleaseStillFlushes) {
  FakeLocaleOs os;
  os.profile_writes_fail = true;
  {
    TIniFile ini(os, "C:\\Q\\Quillset.ini");
    try {
      ini.WriteString(kTimeSection, kTimerSetKey, "0");
      ADD_FAILURE();
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), "C:\\Q\\Quillset.ini に書き込めません");
    }
    EXPECT_THROW(ini.WriteInteger(kTimeSection, kTimerIniSetKey, 1), EIniFileException);
    EXPECT_TRUE(os.flushed.empty());
  }
  EXPECT_TRUE(os.profile.empty());
  ASSERT_EQ(os.flushed.size(), 1u);
  EXPECT_EQ(os.flushed[0], "C:\\Q\\Quillset.ini");
}

TEST(TIniFileTest, ReleaseDuringAFailureFlushesOnce) {
  FakeLocaleOs os;
  os.profile_writes_fail = true;
  try {
    TIniFile ini(os, "a.ini");
    ini.WriteString(kTimeSection, kTimerSetKey, "0");
  } catch (const EIniFileException&) {
  }
  EXPECT_EQ(os.flushed, std::vector<std::string>{"a.ini"});
}

}  // namespace
}  // namespace quillset
