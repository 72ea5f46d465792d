#include "datafile/data_file.h"

#include <cstdio>
#include <limits>
#include <new>

#include "base/code_page.h"
#include "base/errors.h"
#include "datafile/table_packet.h"
#include "datafile/packet_writer.h"

namespace quillset {
namespace {

const char kCannotOpen[] = "ファイル %s は開けません";
const char kCannotCreate[] = "ファイル %s を作成できません";
// A file larger than this process can hold.
const char kTooLargeToLoad[] = "ファイル %s は大きすぎて読み込めません";
// Bytes the packet reader refused; the status follows in parentheses.
const char kDamaged[] = "ファイル %s のデータが正しくありません";

std::string WithStatus(const std::string& text, std::uint16_t status) {
  char code[16];
  std::snprintf(code, sizeof code, " (0x%04X)", static_cast<unsigned>(status));
  return text + code;
}

// The store's and the table's statuses carry no text of their own: a failure
// box would read only ".". Here they get one that names the file.
[[noreturn]] void RaiseLoadFailure(const std::string& path, std::uint16_t status) {
  if (status == kStatusOutOfMemory.Code())
    throw EDBClient(status, FormatMessageText(kTooLargeToLoad, {path}));
  throw EDBClient(status, WithStatus(FormatMessageText(kDamaged, {path}), status));
}
[[noreturn]] void RaiseSaveFailure(const std::string& path, std::uint16_t status) {
  throw EDBClient(status, WithStatus(FormatMessageText(kCannotCreate, {path}), status));
}

[[noreturn]] void RaiseCannotOpen(const std::string& path) {
  throw EFOpenError(FormatMessageText(kCannotOpen, {path}));
}
[[noreturn]] void RaiseCannotCreate(const std::string& path) {
  throw EFCreateError(FormatMessageText(kCannotCreate, {path}));
}

std::string LowerAscii(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// The load reads the data file through this, a piece at a time.
class FileSource : public PacketSource {
 public:
  FileSource(ExclusiveFile& file, std::uint64_t size) : file_(file), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  // False when the OS refuses or the file ends early.
  bool Read(std::uint8_t* out, std::size_t length) override {
    std::size_t at = 0;
    while (at < length) {
      std::size_t done = 0;
      if (!file_.Read(out + at, length - at, done) || done == 0 || done > length - at) {
        failed_ = true;
        return false;
      }
      at += done;
    }
    return true;
  }
  bool Failed() const { return failed_; }

 private:
  ExclusiveFile& file_;
  std::uint64_t size_;
  bool failed_ = false;
};

// The most one write call hands the OS. Writes of several megabytes at once
// were ten times slower per byte than writes of one megabyte on the Linux
// hosts Wine runs on, and one megabyte is plenty for Windows' own caching.
constexpr std::size_t kWritePieceBytes = 1024 * 1024;

// Writes every byte; a write that takes nothing (a full disk) is a failure.
bool WriteWhole(ExclusiveFile& file, const std::uint8_t* bytes, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    const std::size_t piece = length - at < kWritePieceBytes ? length - at : kWritePieceBytes;
    std::size_t done = 0;
    if (!file.Write(bytes + at, piece, done) || done == 0 || done > piece)
      return false;
    at += done;
  }
  return true;
}

// The save's packet goes to the new file as it is made.
class FileSink : public PacketSink {
 public:
  explicit FileSink(ExclusiveFile& file) : file_(file) {}
  Status Write(const std::uint8_t* bytes, std::size_t length) override {
    if (!WriteWhole(file_, bytes, length)) return Refused();
    return kStatusOk;
  }
  Status Flush() override { return file_.Flush() ? kStatusOk : Refused(); }
  bool Failed() const { return failed_; }

 private:
  Status Refused() {
    failed_ = true;
    return kStatusWriteFailed;
  }
  ExclusiveFile& file_;
  bool failed_ = false;
};

}  // namespace

std::string DataFilePathFor(OsServices& os) {
  return ReplaceExtension(os.ExecutablePath(), ".cds", os);
}

std::string NewDataFilePath(const std::string& path) { return path + ".new"; }

void DataFileState::RememberStamp(OsServices& os, const std::string& path) {
  Remember(os, path, false);
}

void DataFileState::RememberRefused(OsServices& os, const std::string& path) {
  Remember(os, path, true);
}

void DataFileState::Remember(OsServices& os, const std::string& path, bool refused) {
  has_stamp_ = os.FileStamp(path, write_time_, size_);
  refused_ = refused;
  stamp_path_ = path;
  if (!refused) {
    known_ = true;
    known_path_ = path;
  }
}

bool DataFileState::DataFileChangedSinceLastLoadOrSave(OsServices& os,
                                                       const std::string& path) const {
  if (!has_stamp_ || path != stamp_path_) return true;
  std::uint64_t write_time = 0, size = 0;
  if (!os.FileStamp(path, write_time, size)) return true;
  return write_time != write_time_ || size != size_;
}

bool DataFileState::HoldsRefusedBytes(OsServices& os, const std::string& path) const {
  return refused_ && !DataFileChangedSinceLastLoadOrSave(os, path);
}

void LoadFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state) {
  // Bytes that were read and refused are remembered, so that the window's
  // first activation does not read them again; a file that could not be
  // opened is not, so that it is tried again then.
  const auto refused = [&] {
    if (state) state->RememberRefused(os, path);
  };
  try {
    std::unique_ptr<ExclusiveFile> file = os.OpenExclusive(path, FileOpenMode::kReadExisting);
    if (!file) RaiseCannotOpen(path);
    std::uint64_t size = 0;
    if (!file->Size(size)) RaiseCannotOpen(path);
    // Sizes in a packet are 32-bit counts: no larger packet is ours, and
    // none larger than the address space could be held as rows.
    if (size > kMaxPacketBytes || size > std::numeric_limits<std::size_t>::max())
      throw std::bad_alloc();
    // The file stays held (no sharing) until the store is built from it.
    if (size == 0) {
      // An empty file: what the store held before.
      if (store.Active()) {
        store.Reopen();
      } else {
        store.OpenFromHeldPacket();
      }
    } else {
      FileSource source(*file, size);
      try {
        store.OpenFromSource(source);
      } catch (const EDBClient&) {
        if (source.Failed()) RaiseCannotOpen(path);
        throw;
      }
    }
  } catch (const EDBClient& e) {
    refused();
    if (!e.Message().empty()) throw;
    RaiseLoadFailure(path, e.Status());
  } catch (const EDatabaseError&) {
    refused();  // no column for a field, a kind that does not fit, nothing held
    throw;
  } catch (const std::bad_alloc&) {
    refused();
    RaiseLoadFailure(path, kStatusOutOfMemory.Code());
  }
  if (state) state->RememberStamp(os, path);
}

void SaveFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state, const PacketSaving& how) {
  if (!store.Active()) return;
  // A list kept open over a reload that refused the file is not written over
  // the refused bytes.
  if (state && state->HoldsRefusedBytes(os, path)) return;
  if (path.empty()) RaiseCannotCreate(path);  // the store has no file name of its own
  // A list that never held the file's content does not replace it. Only "no
  // such file" proves there is none.
  if (state && !state->LoadedOrSaved(path)) {
    std::uint32_t attributes = 0;
    if (os.GetAttributes(path, attributes) || os.LastFileError() != FileError::kNotFound)
      RaiseCannotCreate(path);
  }

  // Another program holding the data file open would make the replacement
  // fail at the end; find out before anything is done.
  if (os.FileExists(path)) {
    if (!os.OpenExclusive(path, FileOpenMode::kReadExisting)) RaiseCannotCreate(path);
  }
  const std::string new_path = NewDataFilePath(path);
  std::unique_ptr<ExclusiveFile> file = os.OpenExclusive(new_path, FileOpenMode::kCreateAlways);
  if (!file) RaiseCannotCreate(path);

  auto abandon = [&]() {
    file.reset();
    os.RemoveFile(new_path);
  };

  FileSink sink(*file);
  try {
    PacketSaving saving = how;
    const std::string base = ReplaceExtension(path, "", os);
    if (saving.form == PacketForm::kBinary && LowerAscii(path.substr(base.size())) == ".xml")
      saving.form = PacketForm::kText;
    store.SaveTo(sink, saving);
  } catch (const EDBClient& e) {
    abandon();
    if (sink.Failed()) RaiseCannotCreate(path);
    if (!e.Message().empty()) throw;
    RaiseSaveFailure(path, e.Status());
  } catch (const std::bad_alloc&) {
    abandon();
    RaiseSaveFailure(path, kStatusOutOfMemory.Code());
  } catch (...) {
    abandon();
    throw;
  }

  if (!file->Flush()) {
    abandon();
    RaiseCannotCreate(path);
  }
  file.reset();  // closed before it replaces the data file
  if (!os.MoveFileReplacing(new_path, path)) {
    os.RemoveFile(new_path);
    RaiseCannotCreate(path);
  }
  if (state) state->RememberStamp(os, path);
}

}  // namespace quillset
