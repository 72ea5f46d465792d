#include "base/testing/os_services_contract.h"

#include <cstdint>
#include <utility>
#include <vector>

#include "base/locale_items.h"

namespace quillset {
namespace testing_support {

void OsServicesContract::WriteText(const std::string& name, const std::string& text) {
  std::unique_ptr<ExclusiveFile> file = os().OpenExclusive(Path(name), FileOpenMode::kCreateAlways);
  std::size_t done = 0;
  ASSERT_TRUE(file && file->Write(text.data(), text.size(), done) && done == text.size()) << name;
}

std::string OsServicesContract::ReadText(const std::string& name) {
  std::unique_ptr<ExclusiveFile> file = os().OpenExclusive(Path(name), FileOpenMode::kReadExisting);
  std::uint64_t size = 0;
  if (!file || !file->Size(size)) return "<no file>";
  std::string text(static_cast<std::size_t>(size), '\0');
  std::size_t done = 0;
  if (size != 0 && (!file->Read(&text[0], text.size(), done) || done != text.size()))
    return "<unreadable>";
  return text;
}

namespace {

// ---- Copy, move, remove, flush

TEST_P(OsServicesContract, CopyOverwritesUnlessAskedNotTo) {
  WriteText("a.txt", "new content");
  WriteText("b.txt", "an older and longer copy");
  EXPECT_TRUE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), false, {}));
  EXPECT_EQ(ReadText("b.txt"), "new content");
  WriteText("a.txt", "newest");
  EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), true, {}));
  EXPECT_EQ(os().LastFileError(), FileError::kExists);
  EXPECT_EQ(ReadText("b.txt"), "new content");
  EXPECT_TRUE(os().CopyFileWithProgress(Path("a.txt"), Path("c.txt"), true, {}));
  EXPECT_EQ(ReadText("c.txt"), "newest");
}

TEST_P(OsServicesContract, CopyFailsWithoutHarm) {
  WriteText("a.txt", "content");
  ASSERT_TRUE(under_test_->MakeFolder(Path("dir")));
  EXPECT_FALSE(os().CopyFileWithProgress(Path("missing.txt"), Path("b.txt"), false, {}));
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
  EXPECT_FALSE(Exists("b.txt"));
  EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("dir"), false, {}));  // a folder as target
  EXPECT_FALSE(os().CopyFileWithProgress(Path("dir"), Path("b.txt"), false, {}));  // a folder as source
  EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("no\\such\\b.txt"), false, {}));
  EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("a.txt"), false, {}));  // onto itself
  EXPECT_EQ(ReadText("a.txt"), "content");
  {
    auto held = os().OpenExclusive(Path("a.txt"), FileOpenMode::kReadExisting);
    EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), false, {}));
    EXPECT_EQ(os().LastFileError(), FileError::kInUse);
  }
  WriteText("b.txt", "old");
  {
    auto held = os().OpenExclusive(Path("b.txt"), FileOpenMode::kReadExisting);
    EXPECT_FALSE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), false, {}));
  }
  EXPECT_EQ(ReadText("b.txt"), "old");
  EXPECT_TRUE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), false, {}));
}

TEST_P(OsServicesContract, CopyWithProgressReportsFromStartToEndAndCanBeCancelled) {
  const std::uint64_t mib = 1u << 20;
  std::string content(2 * mib + 5, 'x');
  content[mib] = 'y';  // a byte at the edge of two parts
  content.back() = 'z';
  WriteText("big.bin", content);
  const std::uint64_t total = content.size();
  std::vector<std::pair<std::uint64_t, std::uint64_t>> steps;
  auto record = [&](std::uint64_t copied, std::uint64_t of) {
    steps.emplace_back(copied, of);
    return CopyProgressAnswer::kContinue;
  };
  EXPECT_TRUE(os().CopyFileWithProgress(Path("big.bin"), Path("copy.bin"), false, record));
  EXPECT_EQ(ReadText("copy.bin"), content);
  ASSERT_GE(steps.size(), 2u);
  EXPECT_EQ(steps.front().first, 0u);
  EXPECT_EQ(steps.back(), std::make_pair(total, total));
  for (std::size_t i = 1; i < steps.size(); ++i) {
    EXPECT_LE(steps[i - 1].first, steps[i].first);
    EXPECT_EQ(steps[i].second, total);
  }
  if (under_test_->reports_each_mib) {
    EXPECT_EQ(steps, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{
                         {0, total}, {mib, total}, {2 * mib, total}, {total, total}}));
  }

  // Cancelled after the first report: the copy fails and leaves no target.
  int calls = 0;
  auto cancel_second = [&](std::uint64_t, std::uint64_t) {
    return ++calls == 2 ? CopyProgressAnswer::kCancel : CopyProgressAnswer::kContinue;
  };
  EXPECT_FALSE(os().CopyFileWithProgress(Path("big.bin"), Path("cut.bin"), false, cancel_second));
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(Exists("cut.bin"));
  EXPECT_FALSE(os().CopyFileWithProgress(Path("big.bin"), Path("copy.bin"), true, record));
  EXPECT_FALSE(os().CopyFileWithProgress(Path("missing.bin"), Path("m.bin"), false, record));
  EXPECT_FALSE(Exists("m.bin"));
}

TEST_P(OsServicesContract, MoveReplacesTheTargetInOneStepUnlessItIsHeldOpen) {
  WriteText("new.tmp", "new");
  WriteText("data.cds", "old");
  FileId moved, replaced;
  ASSERT_TRUE(os().FileIdentity(Path("new.tmp"), moved));
  {
    auto held = os().OpenExclusive(Path("data.cds"), FileOpenMode::kReadExisting);
    ASSERT_NE(held, nullptr);
    EXPECT_FALSE(os().MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
  }
  EXPECT_EQ(ReadText("data.cds"), "old");
  EXPECT_TRUE(os().MoveFileReplacing(Path("new.tmp"), Path("data.cds")));
  EXPECT_EQ(ReadText("data.cds"), "new");
  EXPECT_FALSE(Exists("new.tmp"));
  ASSERT_TRUE(os().FileIdentity(Path("data.cds"), replaced));
  EXPECT_EQ(replaced, moved) << "the file moved is the file now under the name";
  EXPECT_FALSE(os().MoveFileReplacing(Path("new.tmp"), Path("data.cds")));  // source gone
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
  EXPECT_EQ(ReadText("data.cds"), "new");

  EXPECT_TRUE(os().RemoveFile(Path("data.cds")));
  EXPECT_FALSE(os().RemoveFile(Path("data.cds")));
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
}

TEST_P(OsServicesContract, AFreshCopyCanBeFlushedAndAMissingFileCannot) {
  WriteText("a.txt", "content");
  ASSERT_TRUE(os().CopyFileWithProgress(Path("a.txt"), Path("b.txt"), false, {}));
  EXPECT_TRUE(os().FlushFile(Path("b.txt")));
  EXPECT_EQ(ReadText("b.txt"), "content");
  EXPECT_FALSE(os().FlushFile(Path("missing.txt")));
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
}

// ---- Windows' rules: read-only files, why a call failed, file identity

TEST_P(OsServicesContract, AReadOnlyFileCanBeReadAndCopiedButNeitherReplacedRemovedNorWritten) {
  WriteText("ro.txt", "kept");
  WriteText("new.txt", "new");
  ASSERT_TRUE(os().SetAttributes(Path("ro.txt"), kAttributeReadOnly));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os().GetAttributes(Path("ro.txt"), attributes));
  EXPECT_NE(attributes & kAttributeReadOnly, 0u);
  EXPECT_NE(os().OpenExclusive(Path("ro.txt"), FileOpenMode::kReadExisting), nullptr);

  // A new copy of a read-only file is read-only.
  ASSERT_TRUE(os().CopyFileWithProgress(Path("ro.txt"), Path("copy.txt"), false, {}));
  ASSERT_TRUE(os().GetAttributes(Path("copy.txt"), attributes));
  EXPECT_NE(attributes & kAttributeReadOnly, 0u);
  EXPECT_EQ(ReadText("copy.txt"), "kept");

  if (under_test_->refuses_read_only) {
    EXPECT_FALSE(os().MoveFileReplacing(Path("new.txt"), Path("ro.txt")));
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
    EXPECT_FALSE(os().RemoveFile(Path("ro.txt")));
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
    EXPECT_FALSE(os().CopyFileWithProgress(Path("new.txt"), Path("ro.txt"), false, {}));
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
    EXPECT_EQ(os().OpenExclusive(Path("ro.txt"), FileOpenMode::kCreateAlways), nullptr);
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
    EXPECT_FALSE(os().FlushFile(Path("ro.txt")));
    EXPECT_EQ(os().LastFileError(), FileError::kAccessDenied);
    EXPECT_EQ(ReadText("ro.txt"), "kept");
  }
  // The bit can be lifted again.
  ASSERT_TRUE(os().SetAttributes(Path("ro.txt"), kAttributeNormal));
  ASSERT_TRUE(os().GetAttributes(Path("ro.txt"), attributes));
  EXPECT_EQ(attributes & kAttributeReadOnly, 0u);
  EXPECT_TRUE(os().MoveFileReplacing(Path("new.txt"), Path("ro.txt")));
  EXPECT_EQ(ReadText("ro.txt"), "new");
  ASSERT_TRUE(under_test_->MakeFolder(Path("dir")));
  ASSERT_TRUE(os().GetAttributes(Path("dir"), attributes));
  EXPECT_NE(attributes & kAttributeDirectory, 0u);
}

TEST_P(OsServicesContract, AFailedCallTellsAHeldFileFromAMissingOneAndATakenName) {
  WriteText("held.txt", "x");
  WriteText("other.txt", "y");
  EXPECT_EQ(os().OpenExclusive(Path("missing"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
  EXPECT_EQ(os().OpenExclusive(Path("other.txt"), FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os().LastFileError(), FileError::kExists);

  auto held = os().OpenExclusive(Path("held.txt"), FileOpenMode::kReadExisting);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(os().OpenExclusive(Path("held.txt"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os().LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os().MoveFileReplacing(Path("held.txt"), Path("moved.txt")));
  EXPECT_EQ(os().LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os().RemoveFile(Path("held.txt")));
  EXPECT_EQ(os().LastFileError(), FileError::kInUse);
  EXPECT_FALSE(os().FlushFile(Path("held.txt")));
  EXPECT_EQ(os().LastFileError(), FileError::kInUse);
  // Attributes and identity need no access to the content.
  std::uint32_t attributes = 0;
  FileId id;
  EXPECT_TRUE(os().GetAttributes(Path("held.txt"), attributes));
  EXPECT_TRUE(os().FileIdentity(Path("held.txt"), id));
  held.reset();
  EXPECT_TRUE(os().RemoveFile(Path("held.txt")));
}

TEST_P(OsServicesContract, EverySpellingOfOneFileHasItsIdentityAndOtherFilesAnother) {
  ASSERT_TRUE(under_test_->MakeFolder(Path("dir")));
  WriteText("dir\\a.txt", "a");
  WriteText("dir\\b.txt", "a");
  FileId a, other;
  ASSERT_TRUE(os().FileIdentity(Path("dir\\a.txt"), a));
  std::vector<std::string> spellings = {Path("dir\\.\\a.txt"), Path("dir\\..\\dir\\a.txt"),
                                        Path("dir\\\\a.txt")};
  if (under_test_->case_blind_names) spellings.push_back(Path("DIR\\A.TXT"));
  for (const std::string& spelling : spellings) {
    ASSERT_TRUE(os().FileIdentity(spelling, other)) << spelling;
    EXPECT_EQ(other, a) << spelling;
  }
  ASSERT_TRUE(os().FileIdentity(Path("dir\\b.txt"), other));
  EXPECT_NE(other, a);
  ASSERT_TRUE(os().FileIdentity(Path("dir"), other));
  EXPECT_NE(other, a);
  EXPECT_FALSE(os().FileIdentity(Path("dir\\missing.txt"), other));
  EXPECT_EQ(os().LastFileError(), FileError::kNotFound);
  // A second open by another spelling meets the first.
  auto held = os().OpenExclusive(Path("dir\\a.txt"), FileOpenMode::kReadExisting);
  ASSERT_NE(held, nullptr);
  EXPECT_EQ(os().OpenExclusive(Path("dir\\.\\a.txt"), FileOpenMode::kReadExisting), nullptr);
}

// ---- Whole-file access, file and folder tests

TEST_P(OsServicesContract, ExclusiveOpenReadsWhatWasWrittenAndRefusesASecondOpener) {
  const std::string path = Path("data.cds");
  auto writer = os().OpenExclusive(path, FileOpenMode::kCreateNew);
  ASSERT_NE(writer, nullptr);
  EXPECT_EQ(os().OpenExclusive(path, FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os().OpenExclusive(path, FileOpenMode::kCreateAlways), nullptr);
  std::size_t done = 0;
  ASSERT_TRUE(writer->Write("abcdef", 6, done));
  EXPECT_EQ(done, 6u);
  EXPECT_TRUE(writer->Flush());
  writer.reset();

  auto reader = os().OpenExclusive(path, FileOpenMode::kReadExisting);
  ASSERT_NE(reader, nullptr);
  std::uint64_t size = 0;
  ASSERT_TRUE(reader->Size(size));
  EXPECT_EQ(size, 6u);
  char buffer[16] = {};
  ASSERT_TRUE(reader->Read(buffer, sizeof buffer, done));
  EXPECT_EQ(done, 6u);  // a short read at the end, no failure
  EXPECT_EQ(std::string(buffer, done), "abcdef");
  reader.reset();

  {
    auto appender = os().OpenExclusive(path, FileOpenMode::kAppendExisting);
    ASSERT_NE(appender, nullptr);
    EXPECT_EQ(os().OpenExclusive(path, FileOpenMode::kReadExisting), nullptr);
    ASSERT_TRUE(appender->Write("gh", 2, done) && done == 2u);
    EXPECT_TRUE(appender->Flush());
  }
  EXPECT_EQ(ReadText("data.cds"), "abcdefgh");
  EXPECT_EQ(os().OpenExclusive(Path("missing"), FileOpenMode::kAppendExisting), nullptr);
  EXPECT_EQ(os().OpenExclusive(path, FileOpenMode::kCreateNew), nullptr);           // exists
  EXPECT_NE(os().OpenExclusive(path, FileOpenMode::kCreateAlways), nullptr);        // truncates
  EXPECT_EQ(ReadText("data.cds"), "");
  ASSERT_TRUE(under_test_->MakeFolder(Path("dir")));
  EXPECT_EQ(os().OpenExclusive(Path("dir"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os().OpenExclusive(Path("no\\such\\file"), FileOpenMode::kCreateAlways), nullptr);
}

TEST_P(OsServicesContract, FileAndFolderTestsTellThemApart) {
  WriteText("file.txt", "x");
  ASSERT_TRUE(under_test_->MakeFolder(Path("folder")));
  EXPECT_TRUE(os().FileExists(Path("file.txt")));
  EXPECT_FALSE(os().FileExists(Path("folder")));
  EXPECT_FALSE(os().FileExists(Path("missing")));
  EXPECT_FALSE(os().FileExists(""));
  EXPECT_TRUE(os().DirectoryExists(Path("folder")));
  EXPECT_TRUE(os().DirectoryExists(Path("folder\\")));
  EXPECT_FALSE(os().DirectoryExists(Path("file.txt")));
  EXPECT_FALSE(os().DirectoryExists(Path("missing")));

  std::uint64_t stamp = 0, size = 0, later = 0;
  ASSERT_TRUE(os().FileStamp(Path("file.txt"), stamp, size));
  EXPECT_EQ(size, 1u);
  WriteText("file.txt", "xyz");
  ASSERT_TRUE(os().FileStamp(Path("file.txt"), later, size));
  EXPECT_EQ(size, 3u);
  EXPECT_GE(later, stamp);
  EXPECT_FALSE(os().FileStamp(Path("folder"), stamp, size));
  EXPECT_FALSE(os().FileStamp(Path("missing"), stamp, size));
}

// ---- Locale: a Japanese system

TEST_P(OsServicesContract, LocaleIsJapaneseAndEachValueNeedsRoomForItsTerminator) {
  EXPECT_EQ(os().ThreadLocale() & 0x3FF, 0x11u);  // primary language Japanese
  EXPECT_TRUE(os().IsLeadByte(0x81));
  EXPECT_TRUE(os().IsLeadByte(0xE0));
  EXPECT_FALSE(os().IsLeadByte(0x5C));
  EXPECT_FALSE(os().IsLeadByte(0xA0));
  std::string value;
  ASSERT_TRUE(os().LocaleInfo(locale_item::kSDate, 2, value));
  EXPECT_EQ(value, "/");
  ASSERT_TRUE(os().LocaleInfo(locale_item::kIDefaultAnsiCodePage, 16, value));
  EXPECT_EQ(value, "932");
  ASSERT_TRUE(os().LocaleInfo(locale_item::kSShortDate, 256, value));
  EXPECT_TRUE(value == "yyyy/MM/dd" || value == "yyyy/M/d") << value;
  const std::string pattern = value;
  value = "unchanged";
  EXPECT_FALSE(os().LocaleInfo(locale_item::kSShortDate, pattern.size(), value));
  EXPECT_EQ(value, "unchanged");
  EXPECT_FALSE(os().LocaleInfo(locale_item::kSShortDate, 0, value));
  EXPECT_TRUE(os().LocaleInfo(locale_item::kSShortDate, pattern.size() + 1, value));
  ASSERT_TRUE(os().LocaleInfo(locale_item::kS1159, 256, value));
  EXPECT_EQ(value, "午前");
  ASSERT_TRUE(os().LocaleInfo(locale_item::kS2359, 256, value));
  EXPECT_EQ(value, "午後");
  ASSERT_TRUE(os().LocaleInfo(locale_item::kSTimeFormat, 256, value));
  EXPECT_EQ(value, "H:mm:ss");
  os().SetThreadLocaleToUserDefault();
  EXPECT_EQ(os().ThreadLocale() & 0x3FF, 0x11u);
  EXPECT_TRUE(os().IsValidLocale(0x0411));
  EXPECT_FALSE(os().IsValidLocale(0x7777));

  const std::vector<OsServices::Era> eras = os().CalendarEras(3);
  for (std::size_t i = 1; i < eras.size(); ++i)
    EXPECT_LT(eras[i - 1].start_year, eras[i].start_year) << "oldest first";
  const SystemTime now = os().LocalTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_LE(now.day_of_week, 6);
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
