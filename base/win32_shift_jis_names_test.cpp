// The Win32 OS services with Japanese names and settings, run twice: in a
// Japanese locale and in a non-Japanese one (code page 1252), where only
// "W" calls with an explicit Shift-JIS conversion find the files.
#include "base/win32_os_services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/testing/win32_wide_tree.h"
#include "base/win32_text.h"

namespace quillset {
namespace {

// A fresh folder named in Japanese (表 and ソ end in the byte of "\") under
// the temporary folder, removed with its files afterwards.
class ShiftJisNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    static int counter = 0;
    wide_dir_ = std::wstring(temp) + L"\u4FDD\u5B58\u5148\u8868\u30BD-" +
                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    ASSERT_TRUE(CreateDirectoryW(wide_dir_.c_str(), nullptr));
    ASSERT_TRUE(Utf16ToShiftJis(wide_dir_, dir_));
  }
  void TearDown() override { testing_support::RemoveWideTree(wide_dir_); }

  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  bool ExistsAsNamed(const std::wstring& name) const {
    return GetFileAttributesW((wide_dir_ + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }
  std::string Bytes(const std::string& name) {
    std::string content;
    auto file = os_.OpenExclusive(Path(name), FileOpenMode::kReadExisting);
    if (!file) return "<unreadable>";
    char buffer[512];
    std::size_t got = 0;
    while (file->Read(buffer, sizeof buffer, got) && got > 0) content.append(buffer, got);
    return content;
  }

  std::wstring wide_dir_;
  std::string dir_;
  Win32OsServices os_;
};

TEST_F(ShiftJisNamesTest, FileCallsFindFilesByTheirJapaneseNames) {
  const std::string source = Path("\x95\x5C\x8E\xA6.txt");        // 表示.txt
  const std::string copy = Path("\x83\x5C\x81[\x83X.txt");        // ソース.txt
  const std::string moved = Path("\x88\xDA\x93\xAE.txt");         // 移動.txt
  auto file = os_.OpenExclusive(source, FileOpenMode::kCreateNew);
  ASSERT_TRUE(file);
  std::size_t put = 0;
  ASSERT_TRUE(file->Write("abc", 3, put));
  file.reset();
  EXPECT_TRUE(ExistsAsNamed(L"\u8868\u793A.txt"));
  EXPECT_TRUE(os_.DirectoryExists(dir_));
  EXPECT_TRUE(os_.FileExists(source));
  std::uint64_t stamp = 0, size = 0;
  EXPECT_TRUE(os_.FileStamp(source, stamp, size));
  EXPECT_EQ(size, 3u);
  FileId id;
  EXPECT_TRUE(os_.FileIdentity(source, id));

  ASSERT_TRUE(os_.CopyFileWithProgress(source, copy, true, [](std::uint64_t, std::uint64_t) {
    return CopyProgressAnswer::kContinue;
  }));
  EXPECT_TRUE(ExistsAsNamed(L"\u30BD\u30FC\u30B9.txt"));
  ASSERT_TRUE(os_.SetAttributes(copy, kAttributeReadOnly));
  std::uint32_t attributes = 0;
  ASSERT_TRUE(os_.GetAttributes(copy, attributes));
  EXPECT_EQ(attributes & kAttributeReadOnly, kAttributeReadOnly);
  ASSERT_TRUE(os_.SetAttributes(copy, kAttributeNormal));
  EXPECT_TRUE(os_.FlushFile(copy));
  ASSERT_TRUE(os_.MoveFileReplacing(copy, moved));
  EXPECT_TRUE(ExistsAsNamed(L"\u79FB\u52D5.txt"));
  EXPECT_TRUE(os_.CopyFileWithProgress(source, copy, true, {}));
  EXPECT_TRUE(os_.RemoveFile(source));
  EXPECT_FALSE(ExistsAsNamed(L"\u8868\u793A.txt"));
}

// Bytes that are not Shift-JIS name no file: the call fails and nothing is
// made under a name with a "?" or a stand-in in it.
TEST_F(ShiftJisNamesTest, NamesThatAreNotShiftJisFailWithoutTouchingAFile) {
  const std::string broken = Path("abc\x83");  // a lead byte without its trail byte
  EXPECT_FALSE(os_.OpenExclusive(broken, FileOpenMode::kCreateAlways));
  EXPECT_EQ(os_.LastFileError(), FileError::kOther);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((wide_dir_ + L"\\*").c_str(), &found);
  int names = 0;
  do {
    ++names;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  EXPECT_EQ(names, 2);  // "." and ".." only
}

// The locale's texts come as Shift-JIS or not at all; a lead byte is one of
// Shift-JIS whatever the system's code page.
TEST_F(ShiftJisNamesTest, LeadBytesAreShiftJisOnes) {
  EXPECT_TRUE(os_.IsLeadByte(0x81));
  EXPECT_TRUE(os_.IsLeadByte(0xFC));
  EXPECT_FALSE(os_.IsLeadByte(0xA0));
  EXPECT_FALSE(os_.IsLeadByte(0xB6));  // half-width katakana
  EXPECT_FALSE(os_.IsLeadByte('\\'));
}

}  // namespace
}  // namespace quillset
