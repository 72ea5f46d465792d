// The real program on a system whose code page is not Japanese: the copy of
// the exe without the manifest's activeCodePage element (what Windows 10 on a
// UTF-8 or non-Japanese system runs) under Wine in the en_US.UTF-8 locale
// (code page 1252), against the same exe in the Japanese locale. The same
// steps in both: the first-run notice, a Japanese file added with a Japanese
// destination folder through the real dialogs, the grid drawn, a backup, and
// the files the program writes. Then a file whose name Shift-JIS cannot write
// is refused by its character, and nothing is added or written.
//
// Wine gives a started program the locale of the process that starts it, so
// this test program runs twice (two ctest entries): in the Japanese locale it
// records what it saw into the folder QUILLSET_CODE_PAGE_REFERENCE names; in
// en_US.UTF-8 it runs the same steps and compares. It reads the program's
// texts in UTF-16 and converts them itself, whatever its own code page.
#include <gtest/gtest.h>

#include <windows.h>
#include <dlgs.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/testing/win32_wide_tree.h"
#include "base/win32_text.h"
#include "tests/e2e/e2e_driver.h"
#include "ui/form_texts.h"
#include "ui/form_view.h"
#include "ui/win32/popup_menu.h"

namespace quillset {
namespace e2e {
namespace {

using form_texts::kApplicationTitle;
const char kFirstRunText[] =
    "初期設定値は ０分です。\r\nバックアップは開始しません！！\r\n"
    "メニューよりバックアップ開始間隔を設定して下さい。";
const char kFolderPromptSuffix[] = "バックアップ保存するディレクトリを選択して下さい";
// 資料表.txt and 保存先ソ: 表 and ソ end in the byte of "\".
const wchar_t kSourceName[] = L"\u8CC7\u6599\u8868.txt";
const wchar_t kFolderName[] = L"\u4FDD\u5B58\u5148\u30BD";
const char kSourceContent[] = "the source file's bytes";

std::string WithoutCodePageExe() { return ToWindowsPath(QUILLSET_WITHOUT_CODE_PAGE_EXE); }

bool InJapaneseLocale() { return GetACP() == 932; }

// A window's text in Shift-JIS, read in UTF-16.
std::string TextOf(HWND window) {
  wchar_t buffer[4096] = {};
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                           SMTO_ABORTIFHUNG, kDialogTimeout, &length))
    return "<no answer>";
  std::string text;
  if (!Utf16ToShiftJis(std::wstring(buffer, std::min<DWORD_PTR>(length, 4095)), text))
    return "<not Shift-JIS>";
  return text;
}
std::string BoxText(HWND box) {
  HWND text = GetDlgItem(box, 0xFFFF);
  return text ? TextOf(text) : std::string();
}
HWND ChildWithTextEnding(HWND parent, const std::string& suffix) {
  for (HWND child : ChildWindows(parent)) {
    const std::string text = TextOf(child);
    if (text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0)
      return child;
  }
  return nullptr;
}

// The recorded run of the Japanese locale: one file per item.
std::string ReferencePath(const std::string& item) {
  const char* folder = std::getenv("QUILLSET_CODE_PAGE_REFERENCE");
  return folder ? ToWindowsPath(folder) + "\\" + item : std::string();
}
bool Record(const std::string& item, const std::string& bytes) {
  FILE* out = std::fopen(ReferencePath(item).c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok;
}
bool Recorded(const std::string& item, std::string& bytes) {
  FILE* in = std::fopen(ReferencePath(item).c_str(), "rb");
  if (!in) return false;
  bytes.clear();
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, got);
  std::fclose(in);
  return true;
}

std::wstring Wide(const std::string& shift_jis) {
  std::wstring wide;
  EXPECT_TRUE(ShiftJisToUtf16(shift_jis, wide));
  return wide;
}
std::string ShiftJis(const std::wstring& wide) {
  std::string text;
  EXPECT_TRUE(Utf16ToShiftJis(wide, text));
  return text;
}

bool WriteWideNamedFile(const std::wstring& path, const std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const bool ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &put,
                            nullptr) && put == content.size();
  CloseHandle(file);
  return ok;
}
bool ReadWideNamedFile(const std::wstring& path, std::string& content) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char buffer[4096];
  DWORD got = 0;
  content.clear();
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
  CloseHandle(file);
  return true;
}

// A folder of the same name for both locales' runs, so that the entries'
// paths, and so the grid's cells and the data file, are the same; made empty.
class EntriesFolder {
 public:
  EntriesFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"quillset-code-page";
    testing_support::RemoveWideTree(path_);
    ok_ = CreateDirectoryW(path_.c_str(), nullptr) != 0;
  }
  ~EntriesFolder() { testing_support::RemoveWideTree(path_); }
  bool Ok() const { return ok_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool ok_ = false;
};

// The pixels of a window's client area as the screen shows them.
std::vector<std::uint32_t> ClientPixels(HWND window, SIZE& size) {
  RECT client = {};
  GetClientRect(window, &client);
  POINT origin = {0, 0};
  ClientToScreen(window, &origin);
  size = SIZE{client.right, client.bottom};
  std::vector<std::uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
  if (pixels.empty()) return pixels;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, size.cx, size.cy);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, size.cx, size.cy, screen, origin.x, origin.y, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof info;
  info.biWidth = size.cx;
  info.biHeight = -size.cy;  // top row first
  info.biPlanes = 1;
  info.biBitCount = 32;
  info.biCompression = BI_RGB;
  GetDIBits(memory, bitmap, 0, size.cy, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info),
            DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// What one locale's run saw and wrote.
struct RunSeen {
  std::string notice, caption, prompt;
  std::string grid;  // the client area's pixels, 4 bytes each
  std::string data_added, settings_added;    // after adding, closed
  std::string data_copied, settings_copied;  // after the backup, closed
  std::string copy;                          // the backup copy's bytes
};

class CodePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AnyRunningQuillset(), nullptr) << "a Quillset of an earlier run still runs";
  }
  void TearDown() override { Stop(); }
  void Stop() {
    if (process_ && process_->IsRunning()) {
      DWORD code = 99;
      if (!process_->CloseProgram(code)) process_->Terminate();
    }
    process_.reset();
  }

  void Start(const TestFolder& folder) {
    process_ = QuillsetProcess::Start(folder.ExePath());
    ASSERT_NE(process_, nullptr);
    form_ = process_->WaitForMainWindow();
    ASSERT_NE(form_, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return (grid_ = GridOf(form_)) != nullptr; }, kWindowTimeout));
  }
  void Close() {
    DWORD code = 99;
    ASSERT_TRUE(process_->CloseProgram(code));
    EXPECT_EQ(code, 0u);
    process_.reset();
  }
  // A dialog of the program other than `besides`, shown.
  HWND WaitForOtherDialog(HWND besides) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
          HWND box = process_->FindTopLevelWindow("#32770", nullptr, true);
          if (box && box != besides) found = box;
          return found != nullptr;
        },
        kDialogTimeout);
    return found;
  }
  // Types `path` (UTF-16, so that any character reaches the dialog) into the
  // file-open dialog opened by "backupファイル選択" and presses OK.
  HWND PickFile(const std::wstring& path) {
    PostMenuCommand(form_, MenuCommandId(MenuItemId::bakup1));
    HWND open = process_->WaitForDialog();
    EXPECT_NE(open, nullptr) << "no file-open dialog";
    if (!open) return nullptr;
    HWND field = nullptr;
    WaitUntil(
        [&] {
          for (HWND child : ChildWindows(open)) {
            const int id = GetDlgCtrlID(child);
            if (WindowClass(child) == "Edit" && (id == edt1 || id == cmb13))
              field = child;
          }
          return field != nullptr;
        },
        kDialogTimeout);
    EXPECT_NE(field, nullptr) << "no file name field";
    if (!field) return open;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()),
                        SMTO_ABORTIFHUNG, kDialogTimeout, &result);
    PressButton(open, IDOK);
    return open;
  }

  // The whole run in one locale, in a folder of its own.
  void RunSteps(RunSeen& seen) {
    TestFolder folder(WithoutCodePageExe());
    ASSERT_TRUE(folder.Ok());
    EntriesFolder entries;
    ASSERT_TRUE(entries.Ok());
    const std::wstring& base = entries.Path();
    const std::wstring source = base + L"\\" + kSourceName;
    const std::wstring target_folder = base + L"\\" + kFolderName;
    ASSERT_TRUE(WriteWideNamedFile(source, kSourceContent));
    ASSERT_TRUE(CreateDirectoryW(target_folder.c_str(), nullptr));

    ASSERT_NO_FATAL_FAILURE(Start(folder));
    HWND notice = process_->WaitForDialog();
    ASSERT_NE(notice, nullptr);
    seen.notice = BoxText(notice);
    PressButton(notice, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
    seen.caption = TextOf(form_);

    HWND open = PickFile(source);
    HWND browser = WaitForOtherDialog(open);
    ASSERT_NE(browser, nullptr) << "no folder browser after the file-open dialog";
    HWND prompt = ChildWithTextEnding(browser, kFolderPromptSuffix);
    ASSERT_NE(prompt, nullptr) << "no prompt in the folder browser";
    seen.prompt = TextOf(prompt);
    // The folder in UTF-16 with its terminator, placed in the program's memory.
    const std::wstring selection = target_folder + L'\0';
    LRESULT ignored = 0;
    ASSERT_TRUE(process_->SendMessageWithText(
        browser, BFFM_SETSELECTIONW, TRUE,
        std::string(reinterpret_cast<const char*>(selection.data()), selection.size() * 2),
        ignored));
    PressButton(browser, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(browser) || !IsWindowVisible(browser); },
                          kDialogTimeout));
    ASSERT_TRUE(WaitForPostedMessages(form_));
    // Nothing over the cells: the pointer away, so that the grid's hint goes.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    EXPECT_TRUE(WaitUntil(
        [&] { return process_->FindTopLevelWindow("tooltips_class32", nullptr, true) == nullptr; },
        kDialogTimeout));
    Sleep(400);  // let the grid finish painting
    SIZE size = {};
    const std::vector<std::uint32_t> pixels = ClientPixels(grid_, size);
    seen.grid = std::to_string(size.cx) + "x" + std::to_string(size.cy) + ":";
    for (std::uint32_t pixel : pixels) {
      pixel &= 0xFFFFFF;
      seen.grid.append(reinterpret_cast<const char*>(&pixel), sizeof pixel);
    }
    ASSERT_NO_FATAL_FAILURE(Close());
    ASSERT_TRUE(folder.ReadFile("Quillset.cds", seen.data_added));
    ASSERT_TRUE(folder.ReadFile("Quillset.ini", seen.settings_added));

    // Started again with the stored schedule: hidden; the icon shows it.
    ASSERT_NO_FATAL_FAILURE(Start(folder));
    PostTrayCallback(form_, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
    PostMenuCommand(form_, MenuCommandId(MenuItemId::Copy1));
    const std::wstring copy = target_folder + L"\\" + kSourceName;
    ASSERT_TRUE(WaitUntil([&] { return ReadWideNamedFile(copy, seen.copy) && !seen.copy.empty(); },
                          kDialogTimeout))
        << "no backup copy in the Japanese folder";
    ASSERT_TRUE(WaitForPostedMessages(form_));
    ASSERT_NO_FATAL_FAILURE(Close());
    ASSERT_TRUE(folder.ReadFile("Quillset.cds", seen.data_copied));
    ASSERT_TRUE(folder.ReadFile("Quillset.ini", seen.settings_copied));

    ASSERT_NO_FATAL_FAILURE(RefuseUnwritableName(folder, seen));
  }

  // "café.txt" picked: the refusal names é, the folder is not asked for, and
  // the data file stays as it was.
  void RefuseUnwritableName(const TestFolder& folder, const RunSeen& seen) {
    const std::wstring cafe = Wide(folder.Path()) + L"\\caf\u00E9.txt";
    ASSERT_TRUE(WriteWideNamedFile(cafe, kSourceContent));
    ASSERT_NO_FATAL_FAILURE(Start(folder));
    PostTrayCallback(form_, WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(form_) != FALSE; }, kWindowTimeout));
    HWND open = PickFile(cafe);
    HWND box = WaitForOtherDialog(open);
    ASSERT_NE(box, nullptr) << "no refusal";
    EXPECT_EQ(BoxText(box),
              "ファイル名に Shift-JIS で表せない文字 U+00E9 があるため、登録できません。\r\n" +
                  folder.Path() + "\\caf[U+00E9].txt");
    EXPECT_EQ(TextOf(box), kApplicationTitle);
    PressButton(box, IDOK);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, kDialogTimeout));
    ASSERT_TRUE(WaitForPostedMessages(form_));
    EXPECT_EQ(process_->FindTopLevelWindow("#32770", nullptr, true), nullptr)
        << "the folder browser opened after the refusal";
    ASSERT_NO_FATAL_FAILURE(Close());
    std::string data, settings;
    ASSERT_TRUE(folder.ReadFile("Quillset.cds", data));
    ASSERT_TRUE(folder.ReadFile("Quillset.ini", settings));
    EXPECT_EQ(data, seen.data_copied) << "the refused name changed the data file";
    EXPECT_EQ(settings, seen.settings_copied);
  }

  std::unique_ptr<QuillsetProcess> process_;
  HWND form_ = nullptr;
  HWND grid_ = nullptr;
};

// Where two data files written after a backup differ: the backup's time, one
// 8-byte value, and nothing else.
bool DifferOnlyInOneTime(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  size_t first = a.size(), last = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    first = std::min(first, i);
    last = i;
  }
  return first == a.size() || last - first < 8;
}

TEST(CodePageExeTest, TheCopyWithoutTheElementIsTheProgramWithoutIt) {
  const std::string exe = WithoutCodePageExe();
  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(image, nullptr) << exe;
  HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(image, found)));
  const std::string manifest(bytes, SizeofResource(image, found));
  FreeLibrary(image);
  EXPECT_EQ(manifest.find("activeCodePage"), std::string::npos);
  EXPECT_NE(manifest.find("<dpiAware>true</dpiAware>"), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
}

// Each item of a run, by the name it is recorded under.
std::vector<std::pair<std::string, const std::string*>> Items(const RunSeen& seen) {
  return {{"notice", &seen.notice},           {"caption", &seen.caption},
          {"prompt", &seen.prompt},           {"grid", &seen.grid},
          {"data-added", &seen.data_added},   {"settings-added", &seen.settings_added},
          {"data-copied", &seen.data_copied}, {"settings-copied", &seen.settings_copied},
          {"copy", &seen.copy}};
}

TEST_F(CodePageTest, NonJapaneseLocaleShowsWritesAndBacksUpAsTheJapaneseOne) {
  ASSERT_NE(std::getenv("QUILLSET_CODE_PAGE_REFERENCE"), nullptr);
  RunSeen seen;
  ASSERT_NO_FATAL_FAILURE(RunSteps(seen));
  EXPECT_EQ(seen.notice, kFirstRunText);
  EXPECT_EQ(seen.prompt, ShiftJis(kSourceName) + kFolderPromptSuffix);
  EXPECT_EQ(seen.copy, kSourceContent);
  EXPECT_NE(seen.data_added.find(ShiftJis(std::wstring(L"\\") + kFolderName)), std::string::npos);
  EXPECT_NE(seen.data_added.find(ShiftJis(std::wstring(L"\\") + kSourceName)), std::string::npos);
  if (InJapaneseLocale()) {
    for (const auto& item : Items(seen)) ASSERT_TRUE(Record(item.first, *item.second)) << item.first;
    return;
  }
  // The grid's cells drawn alike, pixel for pixel; the files byte for byte.
  for (const auto& item : Items(seen)) {
    std::string japanese;
    ASSERT_TRUE(Recorded(item.first, japanese)) << "no run in the Japanese locale recorded";
    if (item.first == "data-copied") {
      EXPECT_TRUE(DifferOnlyInOneTime(japanese, *item.second));
    } else if (item.first == "grid") {
      size_t differing = japanese.size() == item.second->size() ? 0 : japanese.size();
      for (size_t i = 0; i < std::min(japanese.size(), item.second->size()); ++i)
        differing += japanese[i] != (*item.second)[i];
      EXPECT_EQ(differing, 0u) << "bytes of the grid's pixels differ";
    } else {
      EXPECT_EQ(japanese, *item.second) << item.first;
    }
  }
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
