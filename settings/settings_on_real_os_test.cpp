// The settings-file object and the locale's date settings on the OS services
// the program really runs on: the host services (real files) natively, the
// Win32 services under Wine in the Windows build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "base/errors.h"
#include "base/retrying_os_services.h"
#include "base/testing/temp_folder.h"
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
  const std::string content = testing_support::ReadBytes(path);
  EXPECT_NE(content.find("[Time]"), std::string::npos) << content;
  EXPECT_NE(content.find("TimerSet=0"), std::string::npos) << content;
  EXPECT_NE(content.find("TimerIniSet=1"), std::string::npos) << content;
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

// Notepad's "Unicode" with a Japanese value and a Japanese file name: read,
// and written back as UTF-16 LE, through the system's own code-page tables.
TEST_F(SettingsOnRealOsTest, AUtf16FileIsReadAndWrittenBackInUtf16) {
  const std::string path = PathOf("\x90\xDD\x92\xE8.ini");  // 設定.ini
  std::string bytes;
  ASSERT_TRUE(EncodeProfileFile("[\x95\x5C]\r\n\x83\x5C=\x92\x6C\\\r\n[Time]\r\nTimerSet=30\r\n",
                                ProfileEncoding::kUtf16Le, bytes));  // [表] ソ=値\ .
  EXPECT_EQ(bytes.substr(0, 6), std::string("\xFF\xFE[\0\x68\x88", 6));  // 表 is U+8868
  ASSERT_TRUE(testing_support::WriteBytes(path, bytes));
  {
    TIniFile ini(os_, path);
    EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "30");
    EXPECT_EQ(ini.ReadString("\x95\x5C", "\x83\x5C", ""), "\x92\x6C\\");
    ini.WriteString(kTimeSection, kTimerSetKey, "45");
    ini.UpdateFile();
  }
  std::string expected;
  ASSERT_TRUE(EncodeProfileFile("[\x95\x5C]\r\n\x83\x5C=\x92\x6C\\\r\n[Time]\r\nTimerSet=45\r\n",
                                ProfileEncoding::kUtf16Le, expected));
  EXPECT_EQ(testing_support::ReadBytes(path), expected);
}

// Another program holds the settings file a moment as it is replaced (a
// sync client): the system's refusal is told as a held file and waited for.
TEST_F(SettingsOnRealOsTest, AWriteWaitsForAFileAnotherProgramHoldsAMoment) {
  struct LetGoAtFirstWait : OsServicesWrapper {
    using OsServicesWrapper::OsServicesWrapper;
    void Sleep(std::uint32_t) override { held.reset(); }
    std::unique_ptr<ExclusiveFile> held;
  };
  const std::string path = PathOf("Quillset.ini");
  ASSERT_TRUE(testing_support::WriteBytes(path, "[Time]\r\nTimerSet=30\r\n"));
  LetGoAtFirstWait other_program(os_);
  RetryingOsServices retrying(other_program);
  TIniFile ini(retrying, path);
  ini.WriteString(kTimeSection, kTimerSetKey, "10");
  other_program.held = os_.OpenExclusive(path, FileOpenMode::kReadExisting);
  ASSERT_NE(other_program.held, nullptr);
  ini.UpdateFile();
  EXPECT_EQ(other_program.held, nullptr) << "waited for";
  EXPECT_EQ(testing_support::ReadBytes(path), "[Time]\r\nTimerSet=10\r\n");
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
