#include "base/win32_os_services.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <cstdlib>
#include <cstring>

#include "base/errors.h"
#include "base/locale_items.h"
#include "base/win32_text.h"

// The interface's member names, not the Win32 A/W macros.

namespace quillset {

// The locale items portable code names, checked against the Windows headers.
static_assert(locale_item::kILanguage == LOCALE_ILANGUAGE, "LOCALE_ILANGUAGE");
static_assert(locale_item::kSDate == LOCALE_SDATE, "LOCALE_SDATE");
static_assert(locale_item::kSShortDate == LOCALE_SSHORTDATE, "LOCALE_SSHORTDATE");
static_assert(locale_item::kSLongDate == LOCALE_SLONGDATE, "LOCALE_SLONGDATE");
static_assert(locale_item::kITime == LOCALE_ITIME, "LOCALE_ITIME");
static_assert(locale_item::kITLZero == LOCALE_ITLZERO, "LOCALE_ITLZERO");
static_assert(locale_item::kS1159 == LOCALE_S1159, "LOCALE_S1159");
static_assert(locale_item::kS2359 == LOCALE_S2359, "LOCALE_S2359");
static_assert(locale_item::kSDayName1 == LOCALE_SDAYNAME1, "LOCALE_SDAYNAME1");
static_assert(locale_item::kSDayName2 == LOCALE_SDAYNAME2, "LOCALE_SDAYNAME2");
static_assert(locale_item::kSDayName3 == LOCALE_SDAYNAME3, "LOCALE_SDAYNAME3");
static_assert(locale_item::kSDayName4 == LOCALE_SDAYNAME4, "LOCALE_SDAYNAME4");
static_assert(locale_item::kSDayName5 == LOCALE_SDAYNAME5, "LOCALE_SDAYNAME5");
static_assert(locale_item::kSDayName6 == LOCALE_SDAYNAME6, "LOCALE_SDAYNAME6");
static_assert(locale_item::kSDayName7 == LOCALE_SDAYNAME7, "LOCALE_SDAYNAME7");
static_assert(locale_item::kSAbbrevDayName1 == LOCALE_SABBREVDAYNAME1, "LOCALE_SABBREVDAYNAME1");
static_assert(locale_item::kSAbbrevDayName2 == LOCALE_SABBREVDAYNAME2, "LOCALE_SABBREVDAYNAME2");
static_assert(locale_item::kSAbbrevDayName3 == LOCALE_SABBREVDAYNAME3, "LOCALE_SABBREVDAYNAME3");
static_assert(locale_item::kSAbbrevDayName4 == LOCALE_SABBREVDAYNAME4, "LOCALE_SABBREVDAYNAME4");
static_assert(locale_item::kSAbbrevDayName5 == LOCALE_SABBREVDAYNAME5, "LOCALE_SABBREVDAYNAME5");
static_assert(locale_item::kSAbbrevDayName6 == LOCALE_SABBREVDAYNAME6, "LOCALE_SABBREVDAYNAME6");
static_assert(locale_item::kSAbbrevDayName7 == LOCALE_SABBREVDAYNAME7, "LOCALE_SABBREVDAYNAME7");
static_assert(locale_item::kSMonthName1 == LOCALE_SMONTHNAME1, "LOCALE_SMONTHNAME1");
static_assert(locale_item::kSMonthName2 == LOCALE_SMONTHNAME2, "LOCALE_SMONTHNAME2");
static_assert(locale_item::kSMonthName3 == LOCALE_SMONTHNAME3, "LOCALE_SMONTHNAME3");
static_assert(locale_item::kSMonthName4 == LOCALE_SMONTHNAME4, "LOCALE_SMONTHNAME4");
static_assert(locale_item::kSMonthName5 == LOCALE_SMONTHNAME5, "LOCALE_SMONTHNAME5");
static_assert(locale_item::kSMonthName6 == LOCALE_SMONTHNAME6, "LOCALE_SMONTHNAME6");
static_assert(locale_item::kSMonthName7 == LOCALE_SMONTHNAME7, "LOCALE_SMONTHNAME7");
static_assert(locale_item::kSMonthName8 == LOCALE_SMONTHNAME8, "LOCALE_SMONTHNAME8");
static_assert(locale_item::kSMonthName9 == LOCALE_SMONTHNAME9, "LOCALE_SMONTHNAME9");
static_assert(locale_item::kSMonthName10 == LOCALE_SMONTHNAME10, "LOCALE_SMONTHNAME10");
static_assert(locale_item::kSMonthName11 == LOCALE_SMONTHNAME11, "LOCALE_SMONTHNAME11");
static_assert(locale_item::kSMonthName12 == LOCALE_SMONTHNAME12, "LOCALE_SMONTHNAME12");
static_assert(locale_item::kSAbbrevMonthName1 == LOCALE_SABBREVMONTHNAME1, "LOCALE_SABBREVMONTHNAME1");
static_assert(locale_item::kSAbbrevMonthName2 == LOCALE_SABBREVMONTHNAME2, "LOCALE_SABBREVMONTHNAME2");
static_assert(locale_item::kSAbbrevMonthName3 == LOCALE_SABBREVMONTHNAME3, "LOCALE_SABBREVMONTHNAME3");
static_assert(locale_item::kSAbbrevMonthName4 == LOCALE_SABBREVMONTHNAME4, "LOCALE_SABBREVMONTHNAME4");
static_assert(locale_item::kSAbbrevMonthName5 == LOCALE_SABBREVMONTHNAME5, "LOCALE_SABBREVMONTHNAME5");
static_assert(locale_item::kSAbbrevMonthName6 == LOCALE_SABBREVMONTHNAME6, "LOCALE_SABBREVMONTHNAME6");
static_assert(locale_item::kSAbbrevMonthName7 == LOCALE_SABBREVMONTHNAME7, "LOCALE_SABBREVMONTHNAME7");
static_assert(locale_item::kSAbbrevMonthName8 == LOCALE_SABBREVMONTHNAME8, "LOCALE_SABBREVMONTHNAME8");
static_assert(locale_item::kSAbbrevMonthName9 == LOCALE_SABBREVMONTHNAME9, "LOCALE_SABBREVMONTHNAME9");
static_assert(locale_item::kSAbbrevMonthName10 == LOCALE_SABBREVMONTHNAME10, "LOCALE_SABBREVMONTHNAME10");
static_assert(locale_item::kSAbbrevMonthName11 == LOCALE_SABBREVMONTHNAME11, "LOCALE_SABBREVMONTHNAME11");
static_assert(locale_item::kSAbbrevMonthName12 == LOCALE_SABBREVMONTHNAME12, "LOCALE_SABBREVMONTHNAME12");
static_assert(locale_item::kSTimeFormat == LOCALE_STIMEFORMAT, "LOCALE_STIMEFORMAT");
static_assert(locale_item::kIDefaultAnsiCodePage == LOCALE_IDEFAULTANSICODEPAGE, "LOCALE_IDEFAULTANSICODEPAGE");
static_assert(locale_item::kITimeMarkPosn == LOCALE_ITIMEMARKPOSN, "LOCALE_ITIMEMARKPOSN");
static_assert(locale_item::kICalendarType == LOCALE_ICALENDARTYPE, "LOCALE_ICALENDARTYPE");
static_assert(kLocaleUserDefault == LOCALE_USER_DEFAULT, "LOCALE_USER_DEFAULT");

static_assert(sizeof(void*) == 4, "the Windows build is the 32-bit program");

namespace {

constexpr DWORD kPathBufferSize = 260;

// Every name goes to Windows in UTF-16, converted from Shift-JIS, whatever the
// system code page is. Bytes that are not Shift-JIS name no file: the call is
// not made and the failure says so, instead of a "?" reaching a path.
bool WidePath(const std::string& path, std::wstring& wide) {
  if (ShiftJisToUtf16(path, wide)) return true;
  SetLastError(ERROR_NO_UNICODE_TRANSLATION);
  return false;
}

class Win32ExclusiveFile : public ExclusiveFile {
 public:
  explicit Win32ExclusiveFile(HANDLE handle) : handle_(handle) {}
  ~Win32ExclusiveFile() override { CloseHandle(handle_); }

  bool Size(std::uint64_t& size) override {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle_, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = (static_cast<std::uint64_t>(high) << 32) | low;
    return true;
  }

  bool Read(void* buffer, std::size_t length, std::size_t& done) override {
    DWORD got = 0;
    BOOL ok = ReadFile(handle_, buffer, static_cast<DWORD>(length), &got, nullptr);
    done = got;
    return ok != 0;
  }

  bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
    DWORD put = 0;
    BOOL ok = WriteFile(handle_, buffer, static_cast<DWORD>(length), &put, nullptr);
    done = put;
    return ok != 0;
  }

  bool Flush() override { return FlushFileBuffers(handle_) != 0; }

 private:
  HANDLE handle_;
};

// ---- Calendar eras: EnumCalendarInfoW has no context argument.

std::vector<std::wstring>* g_calendar_texts = nullptr;

BOOL CALLBACK CollectCalendarText(LPWSTR text) {
  g_calendar_texts->push_back(text);
  return TRUE;
}

// The texts in Shift-JIS; none when one of them cannot be written in it.
std::vector<std::string> CalendarTexts(int calendar, CALTYPE type) {
  std::vector<std::wstring> wide_texts;
  g_calendar_texts = &wide_texts;
  EnumCalendarInfoW(CollectCalendarText, GetThreadLocale(), static_cast<CALID>(calendar), type);
  g_calendar_texts = nullptr;
  std::vector<std::string> texts;
  for (const std::wstring& wide : wide_texts) {
    std::string text;
    if (!Utf16ToShiftJis(wide, text)) return {};
    texts.push_back(text);
  }
  return texts;
}

const ShiftJisCodePage kShiftJis;

}  // namespace

// Shift-JIS whatever the system code page is: the program's texts are.
bool Win32OsServices::IsLeadByte(std::uint8_t byte) const { return kShiftJis.IsLeadByte(byte); }

std::string Win32OsServices::ExecutablePath() {
  wchar_t buffer[kPathBufferSize] = {};
  DWORD length = GetModuleFileNameW(nullptr, buffer, kPathBufferSize);
  std::wstring wide(buffer, std::min<DWORD>(length, kPathBufferSize));
  std::string path;
  std::uint32_t unwritable = 0;
  // The data and settings files are named after the exe: in a folder whose
  // name Shift-JIS cannot write the program cannot name them.
  if (!Utf16ToShiftJis(wide, path, &unwritable))
    throw Exception(FormatMessageText(
        "プログラムのパスに Shift-JIS で表せない文字 %s があるため、データファイルを開けません。",
        {CodePointName(unwritable)}));
  return path;
}

bool Win32OsServices::FileExists(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  // Whatever its time: a file dated 1970 (an archive that kept no times) is
  // there, and a data file taken for none would be replaced by an empty list.
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32OsServices::DirectoryExists(const std::string& path) {
  std::wstring wide;
  if (!WidePath(path, wide)) return false;
  DWORD attributes = GetFileAttributesW(wide.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32OsServices::FileStamp(const std::string& path, std::uint64_t& write_time,
                                std::uint64_t& size) {
  std::wstring wide;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!WidePath(path, wide) || !GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
    return false;
  if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  write_time = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
               data.ftLastWriteTime.dwLowDateTime;
  size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool Win32OsServices::Failed() { return Failed(GetLastError()); }

bool Win32OsServices::Failed(std::uint32_t error) {
  switch (error) {
    // Only these two say that nothing is there; a share that does not
    // answer (ERROR_BAD_NETPATH) or a name the system refuses says nothing
    // about the file, and taken for "no file" it would be written over.
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: last_error_ = FileError::kNotFound; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: last_error_ = FileError::kExists; break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: last_error_ = FileError::kInUse; break;
    case ERROR_ACCESS_DENIED: last_error_ = FileError::kAccessDenied; break;
    default: last_error_ = FileError::kOther; break;
  }
  return false;
}

bool Win32OsServices::GetAttributes(const std::string& path, std::uint32_t& attributes) {
  std::wstring wide;
  if (!WidePath(path, wide)) return Failed();
  const DWORD found = GetFileAttributesW(wide.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return Failed();
  attributes = found;
  return true;
}

bool Win32OsServices::SetAttributes(const std::string& path, std::uint32_t attributes) {
  std::wstring wide;
  return (WidePath(path, wide) && SetFileAttributesW(wide.c_str(), attributes) != 0) || Failed();
}

bool Win32OsServices::FileIdentity(const std::string& path, FileId& id) {
  // No access asked: the query works while another program holds the file.
  // Backup semantics open folders too.
  std::wstring wide;
  if (!WidePath(path, wide)) return Failed();
  HANDLE file = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed();
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  if (!ok) Failed();
  CloseHandle(file);
  if (!ok) return false;
  id.volume = info.dwVolumeSerialNumber;
  id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  if (id.index == 0) {  // some network file systems give no index
    last_error_ = FileError::kOther;
    return false;
  }
  return true;
}

void Win32OsServices::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

namespace {

// A copy with progress runs on a thread of its own: the calling thread hears
// of the progress at short intervals whatever the system's copy reports, and
// how often (some systems call the progress routine only rarely, or never).
constexpr DWORD kProgressIntervalMs = 50;

struct CopyJob {
  std::wstring source, target;
  DWORD flags = 0;
  std::atomic<std::uint64_t> copied{0};
  std::atomic<bool> cancel{false};
  // The copy's own cancel flag, read by the system between parts, also where
  // it calls no progress routine.
  volatile BOOL cancel_flag = FALSE;
  BOOL ok = FALSE;
  DWORD error = ERROR_SUCCESS;  // why the copy failed, from the copying thread
};

DWORD CALLBACK ReportCopyProgress(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER,
                                  LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
  CopyJob& job = *static_cast<CopyJob*>(data);
  job.copied = static_cast<std::uint64_t>(transferred.QuadPart);
  return job.cancel ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// The thread owns a share of the job: a cancelled copy is not waited for.
DWORD WINAPI RunCopyJob(LPVOID data) {
  std::unique_ptr<std::shared_ptr<CopyJob>> owner(static_cast<std::shared_ptr<CopyJob>*>(data));
  CopyJob& job = **owner;
  job.ok = CopyFileExW(job.source.c_str(), job.target.c_str(), ReportCopyProgress, &job,
                       const_cast<BOOL*>(&job.cancel_flag), job.flags);
  if (!job.ok) job.error = GetLastError();
  // A copy that ran to its end before it heard of the cancel goes as well.
  if (job.ok && job.cancel) DeleteFileW(job.target.c_str());
  return 0;
}

}  // namespace

bool Win32OsServices::CopyFileWithProgress(const std::string& source, const std::string& target,
                                           bool fail_if_exists, const CopyProgress& progress) {
  const DWORD flags = fail_if_exists ? COPY_FILE_FAIL_IF_EXISTS : 0;
  std::wstring wide_source, wide_target;
  if (!WidePath(source, wide_source) || !WidePath(target, wide_target)) return Failed();
  if (!progress)
    return CopyFileExW(wide_source.c_str(), wide_target.c_str(), nullptr, nullptr, nullptr,
                       flags) != 0 ||
           Failed();
  WIN32_FILE_ATTRIBUTE_DATA data;
  std::uint64_t total = 0;
  if (GetFileAttributesExW(wide_source.c_str(), GetFileExInfoStandard, &data))
    total = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  if (progress(0, total) == CopyProgressAnswer::kCancel) return Failed(ERROR_REQUEST_ABORTED);

  auto job = std::make_shared<CopyJob>();
  job->source = wide_source;
  job->target = wide_target;
  job->flags = flags;
  auto* thread_share = new std::shared_ptr<CopyJob>(job);
  HANDLE thread = CreateThread(nullptr, 0, RunCopyJob, thread_share, 0, nullptr);
  if (!thread) {
    const DWORD error = GetLastError();  // before the delete frees memory
    delete thread_share;
    return Failed(error);
  }
  bool cancelled = false;
  while (WaitForSingleObject(thread, kProgressIntervalMs) == WAIT_TIMEOUT) {
    if (progress(job->copied, total) == CopyProgressAnswer::kCancel) {
      cancelled = true;
      break;
    }
  }
  if (!cancelled && job->ok && progress(total, total) == CopyProgressAnswer::kCancel)
    cancelled = true;
  if (cancelled) {
    // The system's copy stops at its next part and removes its target; the
    // caller does not wait for it (a copy that calls no routine and reads no
    // flag, as Wine's, runs to its end on its own and is removed then).
    job->cancel = true;
    job->cancel_flag = TRUE;
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0 && job->ok) DeleteFileW(wide_target.c_str());
  }
  CloseHandle(thread);
  // A cancelled copy is not to be tried again, whatever it answered.
  if (cancelled) return Failed(ERROR_REQUEST_ABORTED);
  return job->ok != 0 || Failed(job->error);
}

bool Win32OsServices::MoveFileReplacing(const std::string& from, const std::string& to) {
  std::wstring wide_from, wide_to;
  return (WidePath(from, wide_from) && WidePath(to, wide_to) &&
          MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) ||
         Failed();
}

bool Win32OsServices::RemoveFile(const std::string& path) {
  std::wstring wide;
  return (WidePath(path, wide) && DeleteFileW(wide.c_str()) != 0) || Failed();
}

bool Win32OsServices::FlushFile(const std::string& path) {
  // FlushFileBuffers needs a handle with write access; a read-only file
  // refuses one. Readers may keep the file open meanwhile.
  std::wstring wide;
  if (!WidePath(path, wide)) return Failed();
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return Failed();
  const bool ok = FlushFileBuffers(file) != 0 || Failed();
  CloseHandle(file);
  return ok;
}

std::unique_ptr<ExclusiveFile> Win32OsServices::OpenExclusive(const std::string& path,
                                                              FileOpenMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = CREATE_ALWAYS;
  switch (mode) {
    case FileOpenMode::kReadExisting:
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      break;
    case FileOpenMode::kCreateAlways: disposition = CREATE_ALWAYS; break;
    case FileOpenMode::kCreateNew: disposition = CREATE_NEW; break;
    case FileOpenMode::kAppendExisting:
      access = GENERIC_WRITE;
      disposition = OPEN_EXISTING;
      break;
  }
  std::wstring wide;
  if (!WidePath(path, wide)) {
    Failed();
    return nullptr;
  }
  HANDLE file = CreateFileW(wide.c_str(), access, 0, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    Failed();
    return nullptr;
  }
  if (mode == FileOpenMode::kAppendExisting &&
      !SetFilePointerEx(file, LARGE_INTEGER{}, nullptr, FILE_END)) {
    Failed();
    CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<Win32ExclusiveFile>(file);
}


SystemTime Win32OsServices::LocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  SystemTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day_of_week = now.wDayOfWeek;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.milliseconds = now.wMilliseconds;
  return time;
}

bool Win32OsServices::LocaleInfo(std::uint32_t item, std::size_t buffer_size, std::string& value) {
  // A zero-size buffer would ask for the needed size instead of the value.
  if (buffer_size == 0) return false;
  const int length = GetLocaleInfoW(GetThreadLocale(), item, nullptr, 0);
  if (length <= 0) return false;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (GetLocaleInfoW(GetThreadLocale(), item, &wide[0], length) <= 0) return false;
  wide.resize(wcsnlen(wide.c_str(), wide.size()));
  // A text Shift-JIS cannot write is no answer; `buffer_size` counts its
  // bytes and the terminator, as the system's own buffer would.
  std::string text;
  if (!Utf16ToShiftJis(wide, text) || text.size() + 1 > buffer_size) return false;
  value = text;
  return true;
}

std::uint32_t Win32OsServices::ThreadLocale() { return GetThreadLocale(); }

void Win32OsServices::SetThreadLocaleToUserDefault() { SetThreadLocale(LOCALE_USER_DEFAULT); }

bool Win32OsServices::IsValidLocale(std::uint32_t lcid) {
  return ::IsValidLocale(lcid, LCID_INSTALLED) != 0;
}

std::vector<OsServices::Era> Win32OsServices::CalendarEras(int calendar) {
  std::vector<std::string> names = CalendarTexts(calendar, CAL_SERASTRING);
  std::vector<std::string> offsets = CalendarTexts(calendar, CAL_IYEAROFFSETRANGE);
  std::vector<Era> eras;
  if (names.empty() || names.size() != offsets.size()) return eras;
  for (std::size_t i = 0; i < names.size(); ++i) {
    Era era;
    era.name = names[i];
    era.start_year = std::atoi(offsets[i].c_str());
    if (era.start_year <= 0) return {};
    eras.push_back(era);
  }
  // The system lists the newest era first.
  std::stable_sort(eras.begin(), eras.end(),
                   [](const Era& a, const Era& b) { return a.start_year < b.start_year; });
  return eras;
}

}  // namespace quillset
