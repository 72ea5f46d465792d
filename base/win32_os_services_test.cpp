// The Win32 OS services against the real system (Wine in this project): the
// contract every implementation keeps (base/testing/os_services_contract.cpp),
// and what only the real system shows.
#include "base/win32_os_services.h"

#include <windows.h>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "base/locale_items.h"
#include "base/retrying_os_services.h"
#include "base/testing/os_services_contract.h"
#include "base/testing/temp_folder.h"

namespace quillset {
namespace {

using testing_support::OsServicesContract;

class Win32UnderTest : public testing_support::OsServicesUnderTest {
 public:
  Win32UnderTest() {
    // Wine, running as root, lets read-only files be replaced and removed;
    // what it does is recorded by ReadOnlyRulesAsThisSystemKeepsThem.
    refuses_read_only = false;
    reports_each_mib = false;
  }
  OsServices& Os() override { return os_; }
  std::string Path(const std::string& name) override { return folder_ / name; }
  bool MakeFolder(const std::string& path) override { return testing_support::MakeFolder(path); }

 private:
  testing_support::TempFolder folder_;
  Win32OsServices os_;
};

std::unique_ptr<testing_support::OsServicesUnderTest> MakeWin32UnderTest() {
  return std::make_unique<Win32UnderTest>();
}

INSTANTIATE_TEST_SUITE_P(Win32, OsServicesContract, ::testing::Values(&MakeWin32UnderTest));

// What only the real system shows: handles of another program, its own
// spellings of a path, what Wine does where Windows refuses.
class Win32OsServicesTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return folder_ / name; }
  void WriteText(const std::string& name, const std::string& text) const {
    testing_support::WriteBytes(Path(name), text);
  }
  std::string ReadText(const std::string& name) const { return testing_support::ReadBytes(Path(name)); }
  static HANDLE OpenUnshared(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  testing_support::TempFolder folder_;
  Win32OsServices os_;
};

TEST_F(Win32OsServicesTest, AFileOpenedExclusivelyRefusesAnotherProgramsHandle) {
  auto writer = os_.OpenExclusive(Path("data.cds"), FileOpenMode::kCreateAlways);
  ASSERT_NE(writer, nullptr);
  HANDLE other = OpenUnshared(Path("data.cds"));
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
  // And a file another program holds cannot be replaced: "access denied".
  writer.reset();
  WriteText("new.tmp", "new");
  HANDLE held = OpenUnshared(Path("data.cds"));
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(os_.MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("data.cds"), Path("copy.txt"), false, {}));
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  CloseHandle(held);
}

TEST_F(Win32OsServicesTest, ReadOnlyRulesAsThisSystemKeepsThem) {
  WriteText("ro.txt", "kept");
  WriteText("new.txt", "new");
  ASSERT_TRUE(os_.SetAttributes(Path("ro.txt"), kAttributeReadOnly));
  // Onto an existing file (the reserved name of a safe copy) Windows gives
  // the read-only bit too; Wine may not.
  WriteText("existing.txt", "");
  ASSERT_TRUE(os_.CopyFileWithProgress(Path("ro.txt"), Path("existing.txt"), false, {}));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os_.GetAttributes(Path("existing.txt"), attributes));
  RecordProperty("copy_onto_existing_read_only", (attributes & kAttributeReadOnly) ? "yes" : "no");
  // Windows refuses each of these on a read-only file; Wine running as root
  // may not. What this system does is recorded; the host and in-memory
  // services follow Windows.
  const bool moved_onto = os_.MoveFileReplacing(Path("new.txt"), Path("existing.txt"));
  RecordProperty("replace_read_only", moved_onto ? "replaced" : "refused");
  const bool flushed = os_.FlushFile(Path("ro.txt"));
  RecordProperty("flush_read_only", flushed ? "flushed" : "refused");
  const bool removed = os_.RemoveFile(Path("ro.txt"));
  RecordProperty("remove_read_only", removed ? "removed" : "refused");
  if (!removed) {
    EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  }
}

TEST_F(Win32OsServicesTest, TheSystemsOwnSpellingsOfOneFileHaveItsIdentity) {
  ASSERT_TRUE(testing_support::MakeFolder(Path("Long Folder Name")));
  const std::string file = Path("Long Folder Name\\Long File Name.txt");
  WriteText("Long Folder Name\\Long File Name.txt", "a");
  FileId id, other;
  ASSERT_TRUE(os_.FileIdentity(file, id));
  std::string slashes = file;
  for (char& c : slashes) c = c == '\\' ? '/' : c;
  std::vector<std::string> spellings = {slashes, "\\\\?\\" + file};
  char short_name[MAX_PATH] = {};
  const DWORD length = GetShortPathNameA(file.c_str(), short_name, MAX_PATH);
  RecordProperty("short_name", length > 0 ? short_name : "none");
  if (length > 0 && length < MAX_PATH) spellings.push_back(short_name);
  for (const std::string& spelling : spellings) {
    ASSERT_TRUE(os_.FileIdentity(spelling, other)) << spelling;
    EXPECT_EQ(other, id) << spelling;
  }
}

TEST_F(Win32OsServicesTest, AReaderSharingTheFileDoesNotStopItsFlush) {
  WriteText("b.txt", "content");
  HANDLE reader = CreateFileA(Path("b.txt").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(os_.FlushFile(Path("b.txt")));
  CloseHandle(reader);
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
  EXPECT_FALSE(retrying.CopyFileWithProgress(Path("data.cds"), Path("copy.txt"), false, {}));
  EXPECT_EQ(retrying.LastFileError(), FileError::kInUse);
  EXPECT_EQ(other_program.waited_ms, 2000u);
  other_program.LetGo();
}

// An archive that kept no times gives its files 1970 (no DOS date): such a
// data file is there all the same.
TEST_F(Win32OsServicesTest, AFileExistsWhateverItsTime) {
  WriteText("old.cds", "x");
  HANDLE file = CreateFileA(Path("old.cds").c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME day_one_1970 = {0xD53E8000u, 0x019DB1DEu};  // 1970-01-01 00:00 UTC
  const bool set = SetFileTime(file, nullptr, nullptr, &day_one_1970) != 0;
  CloseHandle(file);
  ASSERT_TRUE(set);
  EXPECT_TRUE(os_.FileExists(Path("old.cds")));
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
  std::string value;
  for (std::uint32_t item : {locale_item::kSShortDate, locale_item::kITimeMarkPosn,
                             locale_item::kICalendarType, locale_item::kSLongDate,
                             locale_item::kSMonthName1, locale_item::kSDayName1,
                             locale_item::kSAbbrevDayName7}) {
    ASSERT_TRUE(os_.LocaleInfo(item, 256, value)) << item;
    RecordProperty("locale_item_" + std::to_string(item), value);
  }
  const std::vector<OsServices::Era> eras = os_.CalendarEras(3);
  RecordProperty("japanese_eras", static_cast<int>(eras.size()));
  for (const auto& era : eras) {
    EXPECT_FALSE(era.name.empty());
    RecordProperty("era_" + std::to_string(era.start_year), era.name);
  }
}

}  // namespace
}  // namespace quillset
