// The settings-file object and the locale's date settings on the OS services
// the program really runs on: the host services (real files) natively, the
// Win32 services under Wine in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/errors.h"
#include "locale/calendar_dates.h"
#include "settings/ini_file.h"
#include "locale/locale_settings.h"
#include "settings/settings_keys.h"

#ifdef _WIN32
#include "base/win32_os_services.h"
using RealOs = quillset::Win32OsServices;
#else
#include "base/host_os_services.h"
using RealOs = quillset::HostOsServices;
#endif

namespace quillset {
namespace {

namespace fs = std::filesystem;

class SettingsOnRealOsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillset-schedule-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  std::string PathOf(const std::string& name) const { return (folder_ / name).string(); }

  RealOs os_;
  fs::path folder_;
};

TEST_F(SettingsOnRealOsTest, ValuesWrittenAreInTheFileAndReadBack) {
  const std::string path = PathOf("Quillset.ini");
  {
    TIniFile ini(os_, path);
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "");  // no file yet
    ini.WriteString(kTimeSection, kTimerSetKey, "0");
    ini.WriteInteger(kTimeSection, kTimerIniSetKey, 1);
    ini.UpdateFile();
  }
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  EXPECT_NE(content.str().find("[Time]"), std::string::npos) << content.str();
  EXPECT_NE(content.str().find("TimerSet=0"), std::string::npos) << content.str();
  EXPECT_NE(content.str().find("TimerIniSet=1"), std::string::npos) << content.str();
  {
    TIniFile ini(os_, path);
    ini.WriteString(kTimeSection, kTimerSetKey, "2027/03/08");
    ini.WriteInteger(kTimeSection, kTimerIniSetKey, 2);
    ini.UpdateFile();
  }
  // The file's attributes stay with it (on a system that keeps them).
  std::uint32_t attributes = 0;
  const std::uint32_t kHidden = 0x2;
  const bool keeps_hidden = os_.SetAttributes(path, kHidden) && os_.GetAttributes(path, attributes) &&
                            (attributes & kHidden) != 0;
  {
    TIniFile ini(os_, path);
    ini.WriteString(kTimeSection, kTimerSetKey, "2027/03/08");
    ini.UpdateFile();
  }
  if (keeps_hidden) {
    ASSERT_TRUE(os_.GetAttributes(path, attributes));
    EXPECT_NE(attributes & kHidden, 0u);
  }
  EXPECT_FALSE(fs::exists(path + ".new")) << "no new file stays beside it";
  TIniFile ini(os_, path);
  EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "2027/03/08");
  EXPECT_EQ(ini.ReadString(kTimeSection, kTimerIniSetKey, ""), "2");
  EXPECT_EQ(ini.ReadString("Other", kTimerSetKey, "none"), "none");
}

TEST_F(SettingsOnRealOsTest, WriteIntoAMissingFolderFailsWithTheFileName) {
  const std::string path = PathOf("missing") + (fs::path::preferred_separator == '\\' ? "\\" : "/") +
                           "Quillset.ini";
  TIniFile ini(os_, path);
  try {
    ini.WriteString(kTimeSection, kTimerSetKey, "0");
    ini.UpdateFile();
    ADD_FAILURE();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), path + " に書き込めません");
  }
}

TEST_F(SettingsOnRealOsTest, TodayAndNowReadBackInTheLocaleFormats) {
  const LocaleDateSettings settings = LocaleDateSettings::FromOs(os_);
  // Both run as a Japanese system: code page 932, "/" between the numbers.
  EXPECT_TRUE(settings.FarEast);
  EXPECT_EQ(settings.DateSeparatorChar, '/');
  EXPECT_EQ(settings.TimeAMString, "午前");
  const TDateTime today = TodayDate(os_);
  const std::string text = FormatShortDate(today, settings);
  EXPECT_EQ(ParseShortDate(text, settings, os_), today) << text;
  EXPECT_EQ(ParseShortDate(FormatShortDate(AddMonthsToDate(today, 1), settings), settings, os_),
            AddMonthsToDate(today, 1));

  // The grid text of the current moment reads back to the second.
  const TDateTime now = CurrentDateTime(os_);
  EXPECT_EQ(CompareWholeDays(now, today), 0);
  int h, n, s, z;
  DecodeTime(now, h, n, s, z);
  const TDateTime to_the_second = ComposeDateTime(today, EncodeTime(h, n, s, 0));
  const std::string grid_text = FormatDateTimeText(now, settings);
  EXPECT_EQ(ParseDateTimeText(grid_text, settings, os_), to_the_second) << grid_text;
}

}  // namespace
}  // namespace quillset
