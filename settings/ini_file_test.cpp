// The settings-file object over the in-memory OS with Windows' file rules and
// the shared fault injector: the forms a settings file comes in, a write cut
// at every step, and files that cannot be read.
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/retrying_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "base/testing/in_memory_os.h"
#include "settings/schedule_settings.h"
#include "settings/settings_keys.h"

namespace quillset {
namespace {

using testing_support::InMemoryOs;

const char kPath[] = "C:\\Q\\Quillset.ini";
const char kOld[] = "[Other]\r\nName=値\r\n[Time]\r\nTimerSet=30\r\nTimerIniSet=1\r\n";
const char kNew[] = "[Other]\r\nName=値\r\n[Time]\r\nTimerSet=2027/03/08\r\nTimerIniSet=2\r\n";

// `text` (Shift-JIS) as a file of `encoding` holds it.
std::string FileBytes(const std::string& text, ProfileEncoding encoding) {
  std::string bytes;
  EXPECT_TRUE(EncodeProfileFile(text, encoding, bytes));
  return bytes;
}

void WriteSchedule(OsServices& os) { ScheduleSettings(os).Write(Schedule{2, "2027/03/08"}); }

struct QOs : InMemoryOs {
  QOs() {
    SetExecutablePath("C:\\Q\\Quillset.exe");
    AddFolder("C:\\Q");
  }
  // Files left beside the settings file by writes.
  bool NewFileLeft() {
    for (int attempt = 0; attempt < 16; ++attempt)
      if (FileExists(SettingsNewFileName(kPath, attempt))) return true;
    return false;
  }
};

TEST(SettingsFilePathTest, ExecutablePathWithTheIniExtension) {
  InMemoryOs os;
  os.SetExecutablePath("C:\\Tools\\Quillset.exe");
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools\\Quillset.ini");
  os.SetExecutablePath("C:\\Tools.v2\\Quillset");
  EXPECT_EQ(SettingsFilePath(os), "C:\\Tools.v2\\Quillset.ini");
  os.SetExecutablePath("C:\\表\\Quillset");  // 表 ends in the byte of "\"
  EXPECT_EQ(SettingsFilePath(os), "C:\\表\\Quillset.ini");
}

TEST(TIniFileTest, ANewFileIsShiftJisWithBothKeysInOneWrite) {
  QOs os;
  TIniFile ini(os, kPath);
  EXPECT_EQ(ini.ReadString(kTimeSection, kTimerSetKey, ""), "") << "no file: the default";
  EXPECT_EQ(ini.ReadString(kTimeSection, "Missing", "7  "), "7");
  ini.WriteString(kTimeSection, kTimerSetKey, "0");
  ini.WriteInteger(kTimeSection, kTimerIniSetKey, -12);
  EXPECT_FALSE(os.FileExists(kPath)) << "nothing is written before UpdateFile";
  EXPECT_EQ(ini.ReadString(kTimeSection, kTimerIniSetKey, ""), "-12");
  ini.UpdateFile();
  EXPECT_EQ(os.FileContent(kPath), "[Time]\r\nTimerSet=0\r\nTimerIniSet=-12\r\n");
  EXPECT_FALSE(os.NewFileLeft());
}

// Read as Windows' profile functions read them, and written back in the same
// form: Notepad's "Unicode" (UTF-16 LE), a UTF-8 byte-order mark, Shift-JIS.
TEST(TIniFileTest, EachFormIsReadAndWrittenBackInItsOwnForm) {
  for (ProfileEncoding encoding : {ProfileEncoding::kCodePage, ProfileEncoding::kUtf8Marked,
                                   ProfileEncoding::kUtf16Le}) {
    SCOPED_TRACE(static_cast<int>(encoding));
    QOs os;
    os.AddFile(kPath, FileBytes(kOld, encoding));
    ScheduleSettings settings(os);
    EXPECT_EQ(settings.ReadValue(), "30");
    EXPECT_EQ(settings.ReadMode(), 1);
    WriteSchedule(os);
    EXPECT_EQ(os.FileContent(kPath), FileBytes(kNew, encoding));
  }
  // The bytes as Windows writes them: marks, then UTF-16 LE code units.
  EXPECT_EQ(FileBytes("[T]", ProfileEncoding::kUtf16Le), std::string("\xFF\xFE[\0T\0]\0", 8));
  EXPECT_EQ(FileBytes("値", ProfileEncoding::kUtf16Le), std::string("\xFF\xFE\x24\x50", 4));
  EXPECT_EQ(FileBytes("[T]", ProfileEncoding::kUtf8Marked), "\xEF\xBB\xBF[T]");
}

// Bytes another program wrote: the keys are found where they can be, and a
// file that a write could not give back unchanged is not written.
TEST(TIniFileTest, UnicodeTheProgramCannotHoldIsReadAroundAndNeverWrittenOver) {
  const std::string smile = std::string("\x3D\xD8\x00\xDE", 4);  // U+1F600, a surrogate pair
  const std::string time_lines = FileBytes("\r\n[Time]\r\nTimerSet=30\r\n", ProfileEncoding::kUtf16Le).substr(2);
  for (const std::string& bytes : {std::string("\xFF\xFE") + "[\0" + smile + "]\0" + time_lines,
                                   std::string("\xFF\xFE") + time_lines + "x"}) {  // odd length
    QOs os;
    os.AddFile(kPath, bytes);
    EXPECT_EQ(ScheduleSettings(os).ReadValue(), "30");
    EXPECT_THROW(WriteSchedule(os), EIniFileException);
    EXPECT_EQ(os.FileContent(kPath), bytes);
    EXPECT_FALSE(os.NewFileLeft());
  }
  for (const std::string& bytes : {std::string("\xFF\xFE"), std::string("\xFF"), std::string(64, '\0')}) {
    QOs os;
    os.AddFile(kPath, bytes);
    EXPECT_EQ(ScheduleSettings(os).ReadValue(), "") << "nothing stored in it";
  }
}

// A power loss or a failure at any call of a write: the file holds the old
// text or the new one, whole, and at most a leftover new file stays beside it.
TEST(TIniFileTest, AWriteCutAtEveryStepLeavesTheOldFileOrTheNewOneWhole) {
  for (ProfileEncoding encoding : {ProfileEncoding::kCodePage, ProfileEncoding::kUtf16Le}) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(n);
      QOs memory;
      memory.AddFile(kPath, FileBytes(kOld, encoding));
      FaultInjectingOs os(memory);
      os.FailNthCall(n);
      bool written = true;
      try {
        WriteSchedule(os);
      } catch (const EIniFileException& e) {
        written = false;
        EXPECT_EQ(e.Message(), std::string(kPath) + " に書き込めません");
      }
      os.Crash();
      EXPECT_EQ(memory.FileContent(kPath), FileBytes(written ? kNew : kOld, encoding));
      if (!os.Injected()) {
        EXPECT_TRUE(written);
        EXPECT_FALSE(memory.NewFileLeft());
        break;
      }
      // The next write goes through beside whatever the cut one left.
      WriteSchedule(memory);
      EXPECT_EQ(memory.FileContent(kPath), FileBytes(kNew, encoding));
      EXPECT_FALSE(memory.NewFileLeft());
    }
  }
}

TEST(TIniFileTest, ARefusedWriteNamesTheFileAndChangesNothing) {
  QOs os;
  os.AddFile(kPath, kOld);
  os.SetAttributes(kPath, kAttributeReadOnly);  // Windows' profile writer refuses it too
  try {
    WriteSchedule(os);
    ADD_FAILURE();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), std::string(kPath) + " に書き込めません");
  }
  EXPECT_EQ(os.FileContent(kPath), kOld);
  EXPECT_FALSE(os.NewFileLeft());
  // A file that appears while a first start writes is not replaced.
  QOs first;
  FaultInjectingOs faults(first);
  TIniFile ini(faults, kPath);
  ini.WriteString(kTimeSection, kTimerSetKey, "0");
  faults.BeforeCall(OsCall::kOpen, 1, [&] { first.AddFile(kPath, kOld); });
  EXPECT_THROW(ini.UpdateFile(), EIniFileException);
  EXPECT_EQ(first.FileContent(kPath), kOld);
  EXPECT_FALSE(first.NewFileLeft());
}

// A file another program holds is waited for as every held file is; one held
// for good, or refused for another reason, is never taken for a missing file.
TEST(TIniFileTest, AHeldOrUnreadableFileIsWaitedForAndNeverTakenForAMissingOne) {
  for (std::uint32_t held_ms : {1000u, 0u}) {
    QOs memory;
    memory.AddFile(kPath, kOld);
    FaultInjectingOs faults(memory);
    RetryingOsServices os(faults);
    if (held_ms != 0) {
      ASSERT_TRUE(faults.HoldFileFor(kPath, held_ms));
      EXPECT_EQ(ScheduleSettings(os).ReadValue(), "30");
      continue;
    }
    ASSERT_TRUE(faults.HoldFile(kPath));
    try {
      ScheduleSettings(os).ReadValue();
      ADD_FAILURE();
    } catch (const EIniFileException& e) {
      EXPECT_EQ(e.Message(), "ファイル " + std::string(kPath) + " は開けません");
    }
    EXPECT_THROW(WriteSchedule(os), EIniFileException);
    faults.ReleaseFile(kPath);
    EXPECT_EQ(memory.FileContent(kPath), kOld);
    EXPECT_FALSE(memory.NewFileLeft());
  }
  // Failures other than "no such file" (no rights, a share that does not
  // answer) are not "no file" either.
  for (OsCall call : {OsCall::kOpen, OsCall::kSize, OsCall::kRead}) {
    QOs memory;
    memory.AddFile(kPath, kOld);
    FaultInjectingOs os(memory);
    os.FailNthCall(1, OsFault::kFail, call);
    EXPECT_THROW(ScheduleSettings(os).ReadValue(), EIniFileException);
  }
}

}  // namespace
}  // namespace quillset
