// The in-memory OS services keep the contract every implementation keeps, and
// the rules of their own: folders must exist, names with a trail byte "\".
// The settable clock and locale they share with the host services too.
#include "base/testing/in_memory_os.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "base/locale_items.h"
#include "base/testing/fault_injecting_os.h"
#include "base/testing/os_services_contract.h"

namespace quillset {
namespace testing_support {
namespace {

class InMemoryUnderTest : public OsServicesUnderTest {
 public:
  InMemoryUnderTest() { os_.AddFolder("C:\\test"); }
  OsServices& Os() override { return os_; }
  std::string Path(const std::string& name) override { return "C:\\test\\" + name; }
  bool MakeFolder(const std::string& path) override {
    os_.AddFolder(path);
    return true;
  }

 private:
  InMemoryOs os_;
};

std::unique_ptr<OsServicesUnderTest> MakeInMemoryUnderTest() {
  return std::make_unique<InMemoryUnderTest>();
}

INSTANTIATE_TEST_SUITE_P(InMemory, OsServicesContract, ::testing::Values(&MakeInMemoryUnderTest));

TEST(InMemoryOsTest, NamesAndDrivesAreTakenAsWindowsTakesThem) {
  InMemoryOs os;
  // A drive exists once the test sets it up; a file goes only into a folder
  // that exists.
  EXPECT_FALSE(os.DirectoryExists("D:\\"));
  EXPECT_EQ(os.OpenExclusive("D:\\a.txt", FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os.LastFileError(), FileError::kNotFound);
  os.AddFolder("D:\\");
  EXPECT_TRUE(os.DirectoryExists("d:"));
  EXPECT_EQ(os.OpenExclusive("D:\\new\\a.txt", FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os.LastFileError(), FileError::kNotFound);
  // Case, both separators, a name ending in a trail byte "\\", and the
  // trailing dots and spaces the system drops.
  os.AddFolder("D:\\表");  // 表 ends in the byte of "\\"
  os.AddFile("D:\\表\\a.txt", "a");
  EXPECT_TRUE(os.DirectoryExists("d:\\表"));
  EXPECT_TRUE(os.FileExists("D:/表./A.txt. ."));
  EXPECT_TRUE(os.CopyFileWithProgress("D:\\表\\a.txt", "D:\\b.txt ", true, {}));
  EXPECT_EQ(os.FileContent("d:\\B.TXT"), "a");
  EXPECT_EQ(os.CopiesMade(), 1);
  EXPECT_FALSE(os.RemoveFile("D:\\" + std::string(254, 'n') + ".x"));  // 259 characters
  EXPECT_EQ(os.LastFileError(), FileError::kNotFound);  // no such file, a name it takes

  // Names it refuses, and why.
  const std::pair<std::string, FileError> kRefused[] = {
      {"D:\\a?.txt", FileError::kNotFound},       // no name holds "?" (a lost character)
      {"D:\\a:b.txt", FileError::kNotFound},
      {"D:\\" + std::string(255, 'n') + ".x", FileError::kNotFound},  // past MAX_PATH
      {"D:\\\x82", FileError::kOther},            // a lead byte without its trail byte
      {"D:\\\x81\x7F.txt", FileError::kOther},   // no character of code page 932
      {"D:\\\xFD.txt", FileError::kOther},
      {"D:\\con", FileError::kOther},             // devices, with any extension
      {"D:\\Nul .txt", FileError::kOther},
      {"D:\\lpt1\\a.txt", FileError::kOther},
  };
  for (const auto& [name, why] : kRefused) {
    EXPECT_EQ(os.OpenExclusive(name, FileOpenMode::kCreateAlways), nullptr) << name;
    EXPECT_EQ(os.LastFileError(), why) << name;
    EXPECT_FALSE(os.CopyFileWithProgress("D:\\b.txt", name, false, {})) << name;
  }
  for (const char* name : {"D:\\COM0.txt", "D:\\console.txt", "D:\\表\\ソ.txt"})
    EXPECT_NE(os.OpenExclusive(name, FileOpenMode::kCreateAlways), nullptr) << name;
}

TEST(SettableSystemTest, ClockStartsOnAMondayMorningAndStepsAcrossMidnight) {
  InMemoryOs os;
  SystemTime now = os.LocalTime();
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(now.month, 12);
  EXPECT_EQ(now.day, 7);
  EXPECT_EQ(now.day_of_week, 1);
  EXPECT_EQ(now.hour, 10);
  os.SetClock(2026, 12, 31, 23, 59, 59, 999);
  os.SetClockStep(1);
  EXPECT_EQ(os.LocalTime().day, 31);
  now = os.LocalTime();
  EXPECT_EQ(now.year, 2027);
  EXPECT_EQ(now.month, 1);
  EXPECT_EQ(now.day, 1);
  EXPECT_EQ(now.day_of_week, 5);  // a Friday
  EXPECT_EQ(now.hour + now.minute + now.second + now.milliseconds, 0);
  EXPECT_EQ(os.ClockReads(), 3);
}

TEST(InMemoryOsTest, UnderTheFaultInjectorEveryFailureGivesItsOwnReason) {
  InMemoryOs os;
  FaultInjectingOs faults(os);
  os.AddFile("C:\\q.ini", "");
  faults.HoldAtNthCall(1, 1000, OsCall::kRemove);
  EXPECT_FALSE(faults.RemoveFile("C:\\q.ini"));
  EXPECT_EQ(faults.LastFileError(), FileError::kInUse);
  EXPECT_EQ(faults.OpenExclusive("C:\\no\\q.ini", FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(faults.LastFileError(), FileError::kNotFound);
  os.AddFile("C:\\r.ini", "");
  os.SetAttributes("C:\\r.ini", kAttributeReadOnly);
  EXPECT_EQ(faults.OpenExclusive("C:\\r.ini", FileOpenMode::kCreateAlways), nullptr);
  EXPECT_EQ(faults.LastFileError(), FileError::kAccessDenied);
}

TEST(SettableSystemTest, LocaleItemsCanBeChangedOrTakenAway) {
  InMemoryOs os;
  std::string value;
  ASSERT_TRUE(os.LocaleInfo(locale_item::kSDayName7, 256, value));
  EXPECT_EQ(value, "日曜日");
  os.SetLocaleItem(locale_item::kSDate, "-.");
  EXPECT_FALSE(os.LocaleInfo(locale_item::kSDate, 2, value));
  os.RemoveLocaleItem(locale_item::kSDate);
  EXPECT_FALSE(os.LocaleInfo(locale_item::kSDate, 256, value));
  EXPECT_FALSE(os.LocaleInfo(0xFFFF, 256, value));
  os.SetThreadLocaleId(0x0409);
  os.SetThreadLocaleToUserDefault();
  EXPECT_EQ(os.ThreadLocale(), 0x0411u);
  EXPECT_EQ(os.ThreadLocaleResets(), 1);
  os.SetSingleByteCodePage(true);
  EXPECT_FALSE(os.IsLeadByte(0x81));
}

TEST(SettableSystemTest, OneClockMovesWithEveryWaitTheDateAndHeldFilesIncluded) {
  InMemoryOs os;
  FaultInjectingOs faults(os);
  os.AddFile("C:\\held.txt", "x");
  os.SetClock(2026, 12, 31, 23, 59, 59, 500);
  ASSERT_TRUE(faults.HoldFileFor("C:\\held.txt", 2000));
  os.Sleep(1500);     // the machine's wait
  faults.Sleep(400);  // a wait through the fault injector: the same clock
  const SystemTime now = os.LocalTime();
  EXPECT_EQ(now.year * 10000 + now.month * 100 + now.day, 20270101);
  EXPECT_EQ(now.second * 1000 + now.milliseconds, 1400);
  EXPECT_EQ(faults.OpenExclusive("C:\\held.txt", FileOpenMode::kReadExisting), nullptr);
  os.Clock().Pass(100);  // a slow call charged elsewhere
  EXPECT_NE(faults.OpenExclusive("C:\\held.txt", FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os.SleptMilliseconds(), 1500u);
  EXPECT_EQ(faults.SleptMilliseconds(), 400u);
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
