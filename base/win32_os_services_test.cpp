// The Win32 OS services against the real system (Wine in this project): the
// calls do what the portable code and the host services assume of them.
#include "base/win32_os_services.h"

#include <windows.h>
// The services' member names, not the Win32 A/W macros.
#undef CopyFile
#undef GetProfileString
#undef WriteProfileString

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <gtest/gtest.h>

#include "base/locale_items.h"
#include "base/retrying_os_services.h"

namespace quillset {
namespace {

// A fresh folder under the temporary folder, removed with its files afterwards.
class Win32OsServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    static int counter = 0;
    dir_ = std::string(temp) + "quillset-os-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
  }
  void TearDown() override { RemoveTree(dir_); }

  static void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = dir + "\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
  }

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  void WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string ReadText(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  static HANDLE OpenUnshared(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  std::string dir_;
  Win32OsServices os_;
};

// ---- Profile files: the system's reader and writer behave as the host codec.

TEST_F(Win32OsServicesTest, ProfileRoundTripKeepsOtherSectionsAndGivesDefaults) {
  std::string ini = Path("Quillset.ini");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "dflt", ini), "dflt");
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerSet", "0", ini));
  EXPECT_TRUE(os_.WriteProfileString("Time", "TimerIniSet", "1", ini));
  EXPECT_TRUE(os_.WriteProfileString("Other", "Key", "値", ini));
  os_.FlushProfile(ini);
  std::string text = ReadText("Quillset.ini");
  RecordProperty("profile_layout", text);
  EXPECT_NE(text.find("[Time]\r\nTimerSet=0\r\nTimerIniSet=1\r\n"), std::string::npos) << text;

  EXPECT_TRUE(os_.WriteProfileString("time", "TIMERSET", "2027/03/08", ini));
  os_.FlushProfile(ini);
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "2027/03/08");
  EXPECT_EQ(os_.GetProfileString("TIME", "timeriniset", "", ini), "1");
  EXPECT_EQ(os_.GetProfileString("Other", "Key", "", ini), "値");
  EXPECT_EQ(os_.GetProfileString("Time", "Missing", "none", ini), "none");
  EXPECT_EQ(os_.GetProfileString("Nowhere", "TimerSet", "none", ini), "none");
}

TEST_F(Win32OsServicesTest, ProfileReaderTrimsBlanksAndEnclosingQuotes) {
  WriteText("q.ini",
            "[Time]\r\nTimerSet =  30 \r\nTimerIniSet=\"1\"\r\nc='single'\r\n"
            "d=\"mismatched'\r\n");
  std::string ini = Path("q.ini");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", ini), "30");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerIniSet", "", ini), "1");
  EXPECT_EQ(os_.GetProfileString("Time", "c", "", ini), "single");
  EXPECT_EQ(os_.GetProfileString("Time", "d", "", ini), "\"mismatched'");
  EXPECT_EQ(os_.GetProfileString("Time", "none", "abc  ", ini), "abc");
  // The 2,048-byte buffer holds at most 2,047 bytes of a longer value.
  WriteText("long.ini", "[Time]\r\nTimerSet=" + std::string(3000, '7') + "\r\n");
  EXPECT_EQ(os_.GetProfileString("Time", "TimerSet", "", Path("long.ini")), std::string(2047, '7'));
}

TEST_F(Win32OsServicesTest, ProfileWriteIntoAMissingFolderFails) {
  EXPECT_FALSE(os_.WriteProfileString("Time", "TimerSet", "0", Path("no\\such\\q.ini")));
}

// ---- Files and folders

TEST_F(Win32OsServicesTest, CopyOverwritesUnlessAskedNotTo) {
  WriteText("a.txt", "new content");
  WriteText("b.txt", "an older and longer copy");
  EXPECT_TRUE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
  EXPECT_EQ(ReadText("b.txt"), "new content");
  WriteText("a.txt", "newest");
  EXPECT_FALSE(os_.CopyFile(Path("a.txt"), Path("b.txt"), true));
  EXPECT_EQ(ReadText("b.txt"), "new content");
  EXPECT_FALSE(os_.CopyFile(Path("missing.txt"), Path("c.txt"), false));
}

TEST_F(Win32OsServicesTest, FileAndFolderTestsTellThemApart) {
  WriteText("file.txt", "x");
  ASSERT_TRUE(CreateDirectoryA(Path("folder").c_str(), nullptr));
  EXPECT_TRUE(os_.FileExists(Path("file.txt")));
  EXPECT_FALSE(os_.FileExists(Path("folder")));
  EXPECT_FALSE(os_.FileExists(Path("missing")));
  EXPECT_TRUE(os_.DirectoryExists(Path("folder")));
  EXPECT_TRUE(os_.DirectoryExists(dir_ + "\\folder\\"));
  EXPECT_FALSE(os_.DirectoryExists(Path("file.txt")));
  EXPECT_FALSE(os_.DirectoryExists(Path("missing")));

  std::uint64_t stamp = 0, size = 0, stamp2 = 0;
  ASSERT_TRUE(os_.FileStamp(Path("file.txt"), stamp, size));
  EXPECT_EQ(size, 1u);
  Sleep(20);
  WriteText("file.txt", "xyz");
  ASSERT_TRUE(os_.FileStamp(Path("file.txt"), stamp2, size));
  EXPECT_EQ(size, 3u);
  EXPECT_GE(stamp2, stamp);
  EXPECT_FALSE(os_.FileStamp(Path("folder"), stamp, size));
}

TEST_F(Win32OsServicesTest, ExclusiveOpenRefusesASecondOpener) {
  std::string path = Path("data.cds");
  auto writer = os_.OpenExclusive(path, FileOpenMode::kCreateAlways);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kReadExisting), nullptr);
  HANDLE other = OpenUnshared(path);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  std::size_t done = 0;
  ASSERT_TRUE(writer->Write("abcdef", 6, done));
  EXPECT_EQ(done, 6u);
  EXPECT_TRUE(writer->Flush());
  writer.reset();

  EXPECT_EQ(os_.OpenExclusive(path, FileOpenMode::kCreateNew), nullptr);
  auto reader = os_.OpenExclusive(path, FileOpenMode::kReadExisting);
  ASSERT_NE(reader, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(reader->Size(size));
  EXPECT_EQ(size, 6u);
  char buffer[16] = {};
  ASSERT_TRUE(reader->Read(buffer, sizeof buffer, done));
  EXPECT_EQ(std::string(buffer, done), "abcdef");
  EXPECT_EQ(os_.OpenExclusive(Path("missing"), FileOpenMode::kReadExisting), nullptr);
}

TEST_F(Win32OsServicesTest, MoveReplacesTheTargetUnlessItIsHeldOpen) {
  WriteText("new.tmp", "new");
  WriteText("data.cds", "old");
  HANDLE held = OpenUnshared(Path("data.cds"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  bool moved_over_held = os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds"));
  DWORD error = GetLastError();
  CloseHandle(held);
  RecordProperty("move_over_held_target", moved_over_held ? "moved" : "refused");
  RecordProperty("move_over_held_target_error", static_cast<int>(error));
  EXPECT_FALSE(moved_over_held) << "the system replaced a file held open with no sharing";
  EXPECT_EQ(ReadText("data.cds"), moved_over_held ? "new" : "old");
  if (!moved_over_held) {
    EXPECT_TRUE(os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
    EXPECT_EQ(ReadText("data.cds"), "new");
  }
  EXPECT_TRUE(os_.RemoveFile(Path("data.cds")));
  EXPECT_FALSE(os_.RemoveFile(Path("data.cds")));
}

// ---- Why a call failed, read-only files, identity, flush, retries

TEST_F(Win32OsServicesTest, AFailedCallTellsAHeldFileFromAMissingOneAndATakenName) {
  WriteText("held.txt", "x");
  WriteText("other.txt", "y");
  EXPECT_EQ(os_.OpenExclusive(Path("missing"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
  EXPECT_FALSE(os_.RemoveFile(Path("missing")));
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
  EXPECT_EQ(os_.OpenExclusive(Path("other.txt"), FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kExists);

  HANDLE held = OpenUnshared(Path("held.txt"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(os_.OpenExclusive(Path("held.txt"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.CopyFile(Path("held.txt"), Path("copy.txt"), false));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  // A file held open cannot be replaced: the system answers "access denied".
  EXPECT_FALSE(os_.MoveFileReplacing(Path("other.txt"), Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.RemoveFile(Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os_.FlushFile(Path("held.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  // Attributes and identity need no access to the content.
  std::uint32_t attributes = 0;
  FileId id;
  EXPECT_TRUE(os_.GetAttributes(Path("held.txt"), attributes));
  EXPECT_TRUE(os_.FileIdentity(Path("held.txt"), id));
  CloseHandle(held);
}

TEST_F(Win32OsServicesTest, ANewCopyTakesTheSourcesReadOnlyBit) {
  WriteText("ro.txt", "kept");
  WriteText("new.txt", "new");
  ASSERT_TRUE(os_.SetAttributes(Path("ro.txt"), kAttributeReadOnly));
  ASSERT_TRUE(os_.CopyFile(Path("ro.txt"), Path("copy.txt"), false));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os_.GetAttributes(Path("copy.txt"), attributes));
  EXPECT_NE(attributes & kAttributeReadOnly, 0u);
  EXPECT_EQ(ReadText("copy.txt"), "kept");
  // Onto an existing file (the reserved name of a safe copy) Windows gives
  // the bit too; Wine may not.
  WriteText("existing.txt", "");
  ASSERT_TRUE(os_.CopyFile(Path("ro.txt"), Path("existing.txt"), false));
  ASSERT_TRUE(os_.GetAttributes(Path("existing.txt"), attributes));
  RecordProperty("copy_onto_existing_read_only", (attributes & kAttributeReadOnly) ? "yes" : "no");
  // Windows refuses each of these on a read-only file; Wine running as root
  // may not. What this system does is recorded; the host services follow
  // Windows.
  const bool moved_onto = os_.MoveFileReplacing(Path("new.txt"), Path("copy.txt"));
  RecordProperty("replace_read_only", moved_onto ? "replaced" : "refused");
  const bool flushed = os_.FlushFile(Path("ro.txt"));
  RecordProperty("flush_read_only", flushed ? "flushed" : "refused");
  const bool removed = os_.RemoveFile(Path("ro.txt"));
  RecordProperty("remove_read_only", removed ? "removed" : "refused");
  if (!removed) {
    EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
    ASSERT_TRUE(os_.SetAttributes(Path("ro.txt"), kAttributeNormal));
    EXPECT_TRUE(os_.RemoveFile(Path("ro.txt")));
  }
}

TEST_F(Win32OsServicesTest, EverySpellingOfOneFileHasItsIdentityAndOtherFilesAnother) {
  ASSERT_TRUE(CreateDirectoryA(Path("Long Folder Name").c_str(), nullptr));
  const std::string file = Path("Long Folder Name\\Long File Name.txt");
  WriteText("Long Folder Name\\Long File Name.txt", "a");
  WriteText("other.txt", "a");
  FileId id, other;
  ASSERT_TRUE(os_.FileIdentity(file, id));
  std::string upper = file, slashes = file;
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  for (char& c : slashes) c = c == '\\' ? '/' : c;
  std::vector<std::string> spellings = {
      upper, slashes, Path("Long Folder Name\\..\\Long Folder Name\\Long File Name.txt"),
      Path(".\\Long Folder Name\\\\Long File Name.txt"), "\\\\?\\" + file};
  char short_name[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(file.c_str(), short_name, MAX_PATH);
  RecordProperty("short_name", length > 0 ? short_name : "none");
  if (length > 0 && length < MAX_PATH) spellings.push_back(short_name);
  for (const std::string& spelling : spellings) {
    ASSERT_TRUE(os_.FileIdentity(spelling, other)) << spelling;
    EXPECT_EQ(other, id) << spelling;
  }
  ASSERT_TRUE(os_.FileIdentity(Path("other.txt"), other));
  EXPECT_NE(other, id);
  ASSERT_TRUE(os_.FileIdentity(Path("Long Folder Name"), other));
  EXPECT_NE(other, id);
  EXPECT_FALSE(os_.FileIdentity(Path("missing.txt"), other));
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
}

TEST_F(Win32OsServicesTest, AFreshCopyIsFlushedThroughAHandleOpenedForWriting) {
  WriteText("a.txt", "content");
  ASSERT_TRUE(os_.CopyFile(Path("a.txt"), Path("b.txt"), false));
  EXPECT_TRUE(os_.FlushFile(Path("b.txt")));
  EXPECT_EQ(ReadText("b.txt"), "content");
  // A reader sharing the file does not stop the flush.
  HANDLE reader = CreateFileA(Path("b.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(os_.FlushFile(Path("b.txt")));
  CloseHandle(reader);
  EXPECT_FALSE(os_.FlushFile(Path("missing.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
}

// Another handle holds the file with no sharing; it lets go at the Nth wait.
// The waits are counted, not waited.
class LetGoAtNthWait : public OsServicesWrapper {
 public:
  explicit LetGoAtNthWait(OsServices& target) : OsServicesWrapper(target) {}
  ~LetGoAtNthWait() override { LetGo(); }
  void Hold(HANDLE file, int at_wait) {
    held_ = file;
    let_go_at_ = waits_ + at_wait;
  }
  void LetGo() {
    if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
    held_ = INVALID_HANDLE_VALUE;
  }
  void Sleep(std::uint32_t milliseconds) override {
    waited_ms += milliseconds;
    if (++waits_ == let_go_at_) LetGo();
  }
  std::uint64_t waited_ms = 0;

 private:
  HANDLE held_ = INVALID_HANDLE_VALUE;
  int waits_ = 0;
  int let_go_at_ = -1;
};

TEST_F(Win32OsServicesTest, RetriesWaitForAFileAnotherHandleHoldsWithNoSharing) {
  WriteText("data.cds", "old");
  WriteText("data.cds.new", "new");
  LetGoAtNthWait other_program(os_);
  RetryingOsServices retrying(other_program);

  other_program.Hold(OpenUnshared(Path("data.cds")), 3);
  EXPECT_NE(retrying.OpenExclusive(Path("data.cds"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_GT(other_program.waited_ms, 0u);
  other_program.Hold(OpenUnshared(Path("data.cds")), 2);
  EXPECT_TRUE(retrying.MoveFileReplacing(Path("data.cds.new"), Path("data.cds")));
  EXPECT_EQ(ReadText("data.cds"), "new");

  // Held for longer than the waits: the copy fails as the system failed it.
  other_program.waited_ms = 0;
  other_program.Hold(OpenUnshared(Path("data.cds")), 100);
  EXPECT_FALSE(retrying.CopyFile(Path("data.cds"), Path("copy.txt"), false));
  EXPECT_EQ(retrying.LastFileError(), FileError::kInUse);
  EXPECT_EQ(other_program.waited_ms, 2000u);
  other_program.LetGo();
}

TEST_F(Win32OsServicesTest, ExecutablePathNamesThisProgram) {
  std::string path = os_.ExecutablePath();
  const std::string name = "win32_os_services_test.exe";
  ASSERT_GT(path.size(), name.size());
  EXPECT_EQ(path.substr(path.size() - name.size()), name);
  EXPECT_EQ(path[1], ':');
  EXPECT_TRUE(os_.FileExists(path));
}

// ---- Locale: a Japanese system (LANG=ja_JP.UTF-8 under Wine)

TEST_F(Win32OsServicesTest, LocaleIsJapaneseWithCodePage932) {
  EXPECT_EQ(GetACP(), 932u);
  EXPECT_EQ(os_.ThreadLocale() & 0x3FF, 0x11u);  // primary language Japanese
  EXPECT_TRUE(os_.IsLeadByte(0x81));
  EXPECT_TRUE(os_.IsLeadByte(0xE0));
  EXPECT_FALSE(os_.IsLeadByte(0x5C));
  EXPECT_FALSE(os_.IsLeadByte(0xA0));
  std::string value;
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSDate, 2, value));
  EXPECT_EQ(value, "/");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kIDefaultAnsiCodePage, 16, value));
  EXPECT_EQ(value, "932");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSShortDate, 256, value));
  RecordProperty("short_date", value);
  EXPECT_TRUE(value == "yyyy/MM/dd" || value == "yyyy/M/d") << value;
  // The pattern and its terminator must fit.
  EXPECT_FALSE(os_.LocaleInfo(locale_item::kSShortDate, value.size(), value));
  EXPECT_TRUE(os_.LocaleInfo(locale_item::kSShortDate, value.size() + 1, value));
  EXPECT_FALSE(os_.LocaleInfo(locale_item::kSShortDate, 0, value));
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kS1159, 256, value));
  EXPECT_EQ(value, "午前");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kS2359, 256, value));
  EXPECT_EQ(value, "午後");
  ASSERT_TRUE(os_.LocaleInfo(locale_item::kSTimeFormat, 256, value));
  EXPECT_EQ(value, "H:mm:ss");
  for (std::uint32_t item : {locale_item::kITimeMarkPosn, locale_item::kICalendarType, locale_item::kSLongDate,
                             locale_item::kSMonthName1, locale_item::kSDayName1, locale_item::kSAbbrevDayName7}) {
    ASSERT_TRUE(os_.LocaleInfo(item, 256, value)) << item;
    RecordProperty("locale_item_" + std::to_string(item), value);
  }
  os_.SetThreadLocaleToUserDefault();
  EXPECT_EQ(os_.ThreadLocale() & 0x3FF, 0x11u);
  EXPECT_TRUE(os_.IsValidLocale(0x0411));
  EXPECT_FALSE(os_.IsValidLocale(0x7777));

  SystemTime now = os_.LocalTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_LE(now.day_of_week, 6);
}

TEST_F(Win32OsServicesTest, JapaneseErasComeOldestFirstWhenTheSystemHasThem) {
  std::vector<OsServices::Era> eras = os_.CalendarEras(3);
  RecordProperty("japanese_eras", static_cast<int>(eras.size()));
  for (std::size_t i = 1; i < eras.size(); ++i) EXPECT_LT(eras[i - 1].start_year, eras[i].start_year);
  for (const auto& era : eras) {
    EXPECT_FALSE(era.name.empty());
    RecordProperty("era_" + std::to_string(era.start_year), era.name);
  }
}

}  // namespace
}  // namespace quillset
