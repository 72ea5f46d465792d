#include "base/host_os_services.h"

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "base/locale_items.h"
#include "base/testing/temp_folder.h"

namespace quillset {
namespace {

namespace fs = std::filesystem;

class HostOsServicesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }
  void WriteText(const std::string& name, const std::string& text) const {
    testing_support::WriteBytes(folder_ / name, text);
  }
  std::string ReadText(const std::string& name) const { return testing_support::ReadBytes(folder_ / name); }

  testing_support::TempFolder folder_;
  const fs::path dir_{folder_.Path()};
  HostOsServices os_;
};

// ---- Profile files

TEST_F(HostOsServicesTest, ProfileReadsBackWhatWasWrittenAndKeepsTheRest) {
  std::string ini = Path("Quillset.ini");
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerSet", "0", ini));
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerIniSet", "1", ini));
  os_.FlushProfile(ini);
  EXPECT_EQ(ReadText("Quillset.ini"), "[Time]\r\nTimerSet=0\r\nTimerIniSet=1\r\n");

  EXPECT_TRUE(os_.WriteProfileString("Other", "Key", "値", ini));
  EXPECT_TRUE(os_.WriteProfileString("time", "TIMERSET", "2027/03/08", ini));
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "2027/03/08");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerIniSet", "", ini), "1");
  EXPECT_EQ(os_.GetProfileString("Other", "Key", "", ini), "値");
  EXPECT_EQ(ReadText("Quillset.ini"),
            "[Time]\r\nTimerSet=2027/03/08\r\nTimerIniSet=1\r\n[Other]\r\nKey=値\r\n");
  EXPECT_EQ(os_.ProfileFlushes().size(), 1u);
}

TEST_F(HostOsServicesTest, ProfileGivesTheDefaultForAMissingFileSectionOrKey) {
  std::string ini = Path("Quillset.ini");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "dflt", ini), "dflt");
  EXPECT_FALSE(fs::exists(ini));  // reading creates nothing
  WriteText("Quillset.ini", "[Time]\nTimerIniSet=2\n");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "none", ini), "none");
  EXPECT_EQ(os_.GetProfileString("Else", "TimerIniSet", "none", ini), "none");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerIniSet", "none", ini), "2");
  // A folder in the file's place reads as no file.
  fs::create_directory(Path("dir.ini"));
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "none", Path("dir.ini")), "none");
}

TEST_F(HostOsServicesTest, ProfileValuesAreTrimmedAndUnquotedLikeTheSystemReader) {
  std::string ini = Path("q.ini");
  WriteText("q.ini", "[Time]\r\nTimerSet =  30 \r\nTimerIniSet=\"1\"\r\n");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "30");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerIniSet", "", ini), "1");
  // Written with blanks, a value comes back without them, as on Windows.
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerSet", " 15 ", ini));
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "15");
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerSet", "'x'", ini));
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "x");
}

TEST_F(HostOsServicesTest, ProfileWriteFailsWhenTheFileCannotBeWritten) {
  // A missing folder, a folder in the file's place, an empty path.
  EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", Path("no/such/q.ini")));
  fs::create_directory(Path("dir.ini"));
  EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", Path("dir.ini")));
  EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", ""));
  // A file held open with no sharing by another program.
  std::string ini = Path("q.ini");
  WriteText("q.ini", "[Time]\r\nTimerSet=5\r\n");
  {
    auto lock = os_.OpenExclusive(ini, FileOpenMode::kReadExisting);
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", ini));
    EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "d", ini), "d");
  }
  EXPECT_EQ(ReadText("q.ini"), "[Time]\r\nTimerSet=5\r\n");
  // A read-only file (root may write anyway, so only check when it is refused).
  fs::permissions(ini, fs::perms::owner_read, fs::perm_options::replace);
  if (::access(ini.c_str(), W_OK) != 0) {
    EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", ini));
    EXPECT_EQ(ReadText("q.ini"), "[Time]\r\nTimerSet=5\r\n");
  }
}

// ---- Copy, move, delete

TEST_F(HostOsServicesTest, CopyOverwritesUnlessAskedNotTo) {
  WriteText("a.txt", "new content");
  WriteText("b.txt", "an older and longer copy");
  EXPECT_TRUE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
  EXPECT_EQ(ReadText("b.txt"), "new content");

  WriteText("a.txt", "newest");
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("b.txt"), true));
  EXPECT_EQ(ReadText("b.txt"), "new content");
  EXPECT_TRUE(os_.CopyFile(Path("a.txt"), Path("c.txt"), true));
  EXPECT_EQ(ReadText("c.txt"), "newest");
}

TEST_F(HostOsServicesTest, CopyFailsWithoutHarm) {
  WriteText("a.txt", "content");
  fs::create_directory(Path("dir"));
  EXPECT_FALSE(os_.CopyFile(Path("missing.txt"), Path("b.txt"), false));
  EXPECT_FALSE(fs::exists(Path("b.txt")));
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("dir"), false));   // a folder as target
  EXPECT_FALSE(os_.CopyFile(Path("dir"), Path("b.txt"), false));   // a folder as source
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("no/such/b.txt"), false));
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("a.txt"), false)); // onto itself
  fs::create_hard_link(Path("a.txt"), Path("link.txt"));
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("link.txt"), false));  // itself by another name
  EXPECT_EQ(ReadText("a.txt"), "content");
  {
    auto held = os_.OpenExclusive(Path("a.txt"), FileOpenMode::kReadExisting);
    EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
  }
  WriteText("b.txt", "old");
  {
    auto held = os_.OpenExclusive(Path("b.txt"), FileOpenMode::kReadExisting);
    EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
  }
  EXPECT_EQ(ReadText("b.txt"), "old");
  EXPECT_TRUE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
}

TEST_F(HostOsServicesTest, CopyWithProgressReportsEachPartAndCanBeCancelled) {
  const std::uint64_t mib = 1u << 20;
  std::string content(2 * mib + 5, 'x');
  content[mib] = 'y';  // a byte at the edge of two parts
  content.back() = 'z';
  WriteText("big.bin", content);
  std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;
  auto record = [&](std::uint64_t copied, std::uint64_t total) {
    steps.emplace_back(copied, total);
    return CopyProgressAnswer::kContinue;
  };
  EXPECT_TRUE(os_.CopyFileWithProgress(Path("big.bin"), Path("copy.bin"), false, record));
  EXPECT_EQ(ReadText("copy.bin"), content);
  const std::uint64_t total = content.size();
  EXPECT_EQ(steps, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                       {0, total}, {mib, total}, {2 * mib, total}, {total, total}}));

  // An empty file is reported once, at its end.
  WriteText("empty.bin", "");
  steps.clear();
  EXPECT_TRUE(os_.CopyFileWithProgress(Path("empty.bin"), Path("empty-copy.bin"), false, record));
  EXPECT_EQ(steps, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{0, 0}}));
  EXPECT_TRUE(fs::exists(Path("empty-copy.bin")));

  // Cancelled after the first part: the copy fails and leaves no target, as
  // the system's copy does; fail_if_exists is kept as in the plain copy.
  int calls = 0;
  auto cancel_second = [&](std::uint64_t, std::uint64_t) {
    return ++calls == 2 ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  };
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("big.bin"), Path("cut.bin"), false, cancel_second));
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(fs::exists(Path("cut.bin")));
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("big.bin"), Path("copy.bin"), true, record));
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("missing.bin"), Path("m.bin"), false, record));
  EXPECT_FALSE(fs::exists(Path("m.bin")));
}

TEST_F(HostOsServicesTest, MoveReplacesTheTargetUnlessItIsHeldOpen) {
  WriteText("new.tmp", "new");
  WriteText("data.cds", "old");
  {
    auto held = os_.OpenExclusive(Path("data.cds"), FileOpenMode::kReadExisting);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
    EXPECT_EQ(ReadText("data.cds"), "old");
  }
  EXPECT_TRUE(os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
  EXPECT_EQ(ReadText("data.cds"), "new");
  EXPECT_FALSE(fs::exists(Path("new.tmp")));
  EXPECT_FALSE(os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds")));  // source gone

  EXPECT_TRUE(os_.RemoveFile(Path("data.cds")));
  EXPECT_FALSE(os_.RemoveFile(Path("data.cds")));
}

// ---- Windows' rules: read-only files, why a call failed, file identity

TEST_F(HostOsServicesTest, AReadOnlyFileCanBeReadAndCopiedButNeitherReplacedRemovedNorWritten) {
  WriteText("ro.txt", "kept");
  WriteText("new.txt", "new");
  ASSERT_TRUE(os_.SetAttributes(Path("ro.txt"), kAttributeReadOnly));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os_.GetAttributes(Path("ro.txt"), attributes));
  EXPECT_EQ(attributes, kAttributeReadOnly);

  EXPECT_FALSE(os_.MoveFileReplacing(Path("new.txt"), Path("ro.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.RemoveFile(Path("ro.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.CopyFile(Path("new.txt"), Path("ro.txt"), false));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_EQ(os_.OpenExclusive(Path("ro.txt"), FileOpenMode::kCreateAlways), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.FlushFile(Path("ro.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_EQ(ReadText("ro.txt"), "kept");
  EXPECT_NE(os_.OpenExclusive(Path("ro.txt"), FileOpenMode::kReadExisting), nullptr);

  // The copy of a read-only file is read-only; the bit can be lifted again.
  ASSERT_TRUE(os_.CopyFile(Path("ro.txt"), Path("copy.txt"), false));
  ASSERT_TRUE(os_.GetAttributes(Path("copy.txt"), attributes));
  EXPECT_EQ(attributes & kAttributeReadOnly, kAttributeReadOnly);
  EXPECT_EQ(ReadText("copy.txt"), "kept");
  ASSERT_TRUE(os_.SetAttributes(Path("ro.txt"), kAttributeNormal));
  EXPECT_TRUE(os_.MoveFileReplacing(Path("new.txt"), Path("ro.txt")));
  EXPECT_EQ(ReadText("ro.txt"), "new");
  ASSERT_TRUE(os_.GetAttributes(Path("ro.txt"), attributes));
  EXPECT_EQ(attributes, kAttributeNormal);
  EXPECT_TRUE(os_.RemoveFile(Path("ro.txt")));
  fs::create_directory(Path("dir"));
  ASSERT_TRUE(os_.GetAttributes(Path("dir"), attributes));
  EXPECT_EQ(attributes, kAttributeDirectory);
}

TEST_F(HostOsServicesTest, AFailedCallTellsAHeldFileFromAMissingOneAndATakenName) {
  WriteText("held.txt", "x");
  WriteText("other.txt", "y");
  EXPECT_EQ(os_.OpenExclusive(Path("missing"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
  EXPECT_FALSE(os_.RemoveFile(Path("missing")));
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
  EXPECT_EQ(os_.OpenExclusive(Path("other.txt"), FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kExists);

  auto held = os_.OpenExclusive(Path("held.txt"), FileOpenMode::kReadExisting);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(os_.OpenExclusive(Path("held.txt"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.CopyFile(Path("held.txt"), Path("copy.txt"), false));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.MoveFileReplacing(Path("other.txt"), Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.MoveFileReplacing(Path("held.txt"), Path("moved.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.RemoveFile(Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.FlushFile(Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  // Attributes and identity need no access to the content.
  std::uint32_t attributes = 0;
  FileId id;
  EXPECT_TRUE(os_.GetAttributes(Path("held.txt"), attributes));
  EXPECT_TRUE(os_.FileIdentity(Path("held.txt"), id));
  held.reset();
  EXPECT_TRUE(os_.RemoveFile(Path("held.txt")));
}

TEST_F(HostOsServicesTest, EverySpellingOfOneFileHasItsIdentityAndOtherFilesAnother) {
  fs::create_directory(Path("dir"));
  WriteText("dir/a.txt", "a");
  WriteText("dir/b.txt", "a");
  fs::create_hard_link(Path("dir/a.txt"), Path("link.txt"));
  FileId a, other;
  ASSERT_TRUE(os_.FileIdentity(Path("dir/a.txt"), a));
  for (const std::string& spelling :
       {Path("dir/./a.txt"), Path("dir/../dir/a.txt"), dir_.string() + "//dir//a.txt",
        Path("link.txt")}) {
    ASSERT_TRUE(os_.FileIdentity(spelling, other)) << spelling;
    EXPECT_EQ(other, a) << spelling;
  }
  ASSERT_TRUE(os_.FileIdentity(Path("dir/b.txt"), other));
  EXPECT_NE(other, a);
  EXPECT_FALSE(os_.FileIdentity(Path("dir/missing.txt"), other));
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
}

TEST_F(HostOsServicesTest, SleepOnlyAddsUpTheTime) {
  os_.Sleep(1500);
  os_.Sleep(600000);
  EXPECT_EQ(os_.SleptMilliseconds(), 601500u);
}

// ---- Whole-file access

TEST_F(HostOsServicesTest, ExclusiveOpenRefusesASecondOpenerUntilClosed) {
  std::string path = Path("data.cds");
  auto writer = os_.OpenExclusive(path, FileOpenMode::kCreateNew);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kCreateAlways), nullptr);
  // The same file named another way is the same file.
  EXPECT_EQ(os_.OpenExclusive((dir_ / "." / "data.cds").string(), FileOpenMode::kReadExisting),
            nullptr);
  std::size_t done = 0;
  ASSERT_TRUE(writer->Write("abcdef", 6, done));
  EXPECT_EQ(done, 6u);
  EXPECT_TRUE(writer->Flush());
  writer.reset();

  auto reader = os_.OpenExclusive(path, FileOpenMode::kReadExisting);
  ASSERT_NE(reader, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(reader->Size(size));
  EXPECT_EQ(size, 6u);
  char buffer[16] = {};
  ASSERT_TRUE(reader->Read(buffer, sizeof buffer, done));
  EXPECT_EQ(done, 6u);  // a short read at the end, no failure
  EXPECT_EQ(std::string(buffer, done), "abcdef");
  // A file outliving the services that opened it closes cleanly.
  auto other = std::make_unique<HostOsServices>();
  auto survivor = other->OpenExclusive(Path("x.bin"), FileOpenMode::kCreateAlways);
  other.reset();
  survivor.reset();
}

TEST_F(HostOsServicesTest, ExclusiveOpenModes) {
  std::string path = Path("data.cds");
  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kReadExisting), nullptr);  // missing
  WriteText("data.cds", "old content");
  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kCreateNew), nullptr);     // exists
  EXPECT_NE(os_.OpenExclusive(path, FileOpenMode::kCreateAlways), nullptr);  // truncates
  EXPECT_EQ(ReadText("data.cds"), "");
  fs::create_directory(Path("dir"));
  EXPECT_EQ(os_.OpenExclusive(Path("dir"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.OpenExclusive(Path("no/such/file"), FileOpenMode::kCreateAlways), nullptr);
}

// ---- File and folder tests

TEST_F(HostOsServicesTest, FileAndFolderTestsTellThemApart) {
  WriteText("file.txt", "x");
  fs::create_directory(Path("folder"));
  EXPECT_TRUE(os_.FileExists(Path("file.txt")));
  EXPECT_FALSE(os_.FileExists(Path("folder")));
  EXPECT_FALSE(os_.FileExists(Path("missing")));
  EXPECT_FALSE(os_.FileExists(""));
  EXPECT_TRUE(os_.DirectoryExists(Path("folder")));
  EXPECT_FALSE(os_.DirectoryExists(Path("file.txt")));
  EXPECT_FALSE(os_.DirectoryExists(Path("missing")));

  std::uint64_t stamp = 0, size = 0;
  ASSERT_TRUE(os_.FileStamp(Path("file.txt"), stamp, size));
  EXPECT_EQ(size, 1u);
  EXPECT_FALSE(os_.FileStamp(Path("folder"), stamp, size));
  EXPECT_FALSE(os_.FileStamp(Path("missing"), stamp, size));
}

TEST_F(HostOsServicesTest, AFileWhoseTimeHasNoDosDateDoesNotExist) {
  WriteText("old.txt", "x");
  // 1 January 1970: before the first DOS date.
  struct timeval times[2] = {{86400, 0}, {86400, 0}};
  ASSERT_EQ(::utimes(Path("old.txt").c_str(), times), 0);
  EXPECT_FALSE(os_.FileExists(Path("old.txt")));
}

// ---- Clock and locale

TEST_F(HostOsServicesTest, LocaleAnswersAsAJapaneseSystemAndNeedsRoomForTheTerminator) {
  std::string value;
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSShortDate, 256, value));
  EXPECT_EQ(value, "yyyy/MM/dd");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSDate, 2, value));
  EXPECT_EQ(value, "/");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kS1159, 256, value));
  EXPECT_EQ(value, "午前");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSDayName7, 256, value));
  EXPECT_EQ(value, "日曜日");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSMonthName12, 256, value));
  EXPECT_EQ(value, "12月");

  // "yyyy/MM/dd" and its terminator need 11 bytes.
  value = "unchanged";
  EXPECT_FALSE(os_.LocaleInfo(locale_item::kSShortDate, 10, value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_TRUE(os_.LocaleInfo(locale_item::kSShortDate, 11, value));
  // A two-character separator does not fit a 2-byte buffer.
  os_.SetLocaleItem(locale_item::kSDate, "-.");
  EXPECT_FALSE(os_.LocaleInfo(locale_item::kSDate, 2, value));
  os_.RemoveLocaleItem(locale_item::kSDate);
  EXPECT_FALSE(os_.LocaleInfo(locale_item::kSDate, 256, value));
  EXPECT_FALSE(os_.LocaleInfo(0xFFFF, 256, value));

  EXPECT_EQ(os_.ThreadLocale(), 0x0411u);
  os_.SetThreadLocaleId(0x0409);
  os_.SetThreadLocaleToUserDefault();
  EXPECT_EQ(os_.ThreadLocale(), 0x0411u);
  EXPECT_TRUE(os_.IsValidLocale(0x0411));
  EXPECT_FALSE(os_.IsValidLocale(0x7777));
}

TEST_F(HostOsServicesTest, ClockStartsOnAMondayMorningInDecember) {
  SystemTime now = os_.LocalTime();
  EXPECT_EQ(now.year, 2026);
  EXPECT_EQ(now.month, 12);
  EXPECT_EQ(now.day, 7);
  EXPECT_EQ(now.day_of_week, 1);
  EXPECT_EQ(now.hour, 10);
}

}  // namespace
}  // namespace quillset
