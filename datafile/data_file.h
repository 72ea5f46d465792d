// Loading and saving the data file: the whole record store as one data packet
// in a file beside the executable (its path with the extension ".cds").
//
// LoadFile(store, os, path): closes the store (its content goes into the held
// packet), opens the file for reading with no sharing, and opens the store
// from it, reading it a piece at a time as the rows are placed (its bytes
// are never held whole beside the rows; a text-form file is); an empty file
// opens the store from the packet held before. The form (binary or text) is
// told by the first bytes, not by the name. Failures, raised to the caller:
//   the file cannot be opened or read   EFOpenError "ファイル %s は開けません"
//   nothing to open from                EDatabaseError "ClientDataSet1: データ
//                                       プロバイダ/パケットがありません"
//   bytes refused                       EDBClient carrying the status, text
//                                       "ファイル %s のデータが正しくありません
//                                       (0x....)" with the path and the status
//   too large to hold in memory (or     EDBClient 0x2501 "ファイル %s は大きす
//   over 4 GiB, more than a packet      ぎて読み込めません"
//   holds)
//   a field without a column, a kind mismatch   the store's errors
// After any failure the store is closed.
//
// SaveFile(store, os, path): nothing at all while the store is closed.
// Otherwise the previous data file is never put at risk:
//   1. a data file held open by another program fails the save at once;
//   2. "<path>.new" is created (or truncated);
//   3. the pending row edit is ended and the packet written to it as it is
//      made, through a buffer of `buffer_bytes`, in writes of at most 1 MiB
//      (binary; the text form, for a path ending in ".xml", is built whole
//      first); a short write is a failure;
//   4. the new file is flushed and closed;
//   5. the new file replaces the data file in one step.
// If any step fails, the ".new" file is removed, the data file keeps its old
// content whole, and the failure is raised: "ファイル %s を作成できません" with
// the data file's path for every file step, the store's or the table's own
// error for step 3 (a status of the store or the table without a text of its
// own gets "ファイル %s を作成できません (0x....)"). The store stays open as it
// was.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/os_services.h"
#include "datafile/packet_interfaces.h"
#include "store/record_store.h"

namespace quillset {

// The running executable's path with its extension replaced by ".cds" (".cds"
// appended when it has none).
std::string DataFilePathFor(OsServices& os);

// DataFilePath, and what this process last saw of the data file on disk.
class DataFileState {
 public:
  // Empty until a load or the creation of an empty store succeeded.
  const std::string& DataFilePath() const { return data_file_path_; }
  void SetDataFilePath(std::string path) { data_file_path_ = std::move(path); }

  // Records the file's stamp (last-write time and size) after a load or save.
  void RememberStamp(OsServices& os, const std::string& path);
  void ForgetStamp() { has_stamp_ = false; }
  // True unless this process loaded or saved `path` and the file still has
  // the stamp it had then: the window's first activation reloads only then.
  bool DataFileChangedSinceLastLoadOrSave(OsServices& os, const std::string& path) const;

 private:
  std::string data_file_path_;
  bool has_stamp_ = false;
  std::string stamp_path_;
  std::uint64_t write_time_ = 0;
  std::uint64_t size_ = 0;
};

// `state`, when given, gets the file's stamp after a successful load or save.
void LoadFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state = nullptr);
// The save's buffer: what the packet may take in memory beside the store.
constexpr std::size_t kSaveBufferBytes = 16 * 1024 * 1024;

void SaveFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state = nullptr, PacketForm form = PacketForm::kBinary,
              std::size_t buffer_bytes = kSaveBufferBytes);

// The path of the file a save writes before it replaces the data file.
std::string NewDataFilePath(const std::string& path);

}  // namespace quillset
