// Loading and saving the data file: the whole record store as one data packet
// in a file beside the executable (its path with the extension ".cds").
//
// LoadFile(store, os, path): opens the file for reading with no sharing, and
// builds a table from it, reading it a piece at a time as the rows are
// placed (its bytes are never held whole beside the rows; a text-form file
// is); only then does the table take the place of the store's content (a
// pending row is dropped). An empty file opens the store from what it held
// before. The form (binary or text) is told by the first bytes, not by the
// name. Failures, raised to the caller:
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
// After any failure the store is as it was before the call: closed at the
// start, or open with the list it showed when a reload fails.
//
// SaveFile(store, os, path): nothing at all while the store is closed, nor
// while `state` says the file still holds bytes a load refused (they are
// kept for whoever can mend them). A data file that exists but that this
// process neither loaded nor saved (per `state`: taken for none at the start,
// say) is never replaced: "ファイル %s を作成できません". Otherwise the
// previous data file is never put at risk:
//   1. a data file held open by another program fails the save at once;
//   2. "<path>.new" is created (or truncated);
//   3. the store ends its pending row edit and hands its packet, through the
//      codec, to the new file as it is made (PacketSaving: the text form for
//      a path ending in ".xml"), in writes of at most 1 MiB; a short write
//      is a failure;
//   4. the new file is flushed and closed;
//   5. the new file replaces the data file in one step.
// If any step fails, the ".new" file is removed, the data file keeps its old
// content whole, and the failure is raised: "ファイル %s を作成できません" with
// the data file's path for every file step, the store's or the table's own
// error for step 3 (a status of the store or the table without a text of its
// own, a packet too large among them, gets "ファイル %s を作成できません
// (0x....)"). The store stays open as it was.
#pragma once

#include <cstdint>
#include <string>

#include "base/os_services.h"
#include "store/record_store.h"

namespace quillset {

// The running executable's path with its extension replaced by ".cds" (".cds"
// appended when it has none).
std::string DataFilePathFor(OsServices& os);

// What this process last saw of the data file on disk.
class DataFileState {
 public:
  // After a load or a save: the file as it is now holds this process's list.
  void RememberStamp(OsServices& os, const std::string& path);
  // After a load that read the file's bytes and refused them.
  void RememberRefused(OsServices& os, const std::string& path);
  // True unless this process loaded, saved or refused `path` and the file
  // still has the stamp (last-write time and size) it had then: the window's
  // first activation reloads only then. A file that could not be opened at
  // all leaves no stamp, so it is tried again.
  bool DataFileChangedSinceLastLoadOrSave(OsServices& os, const std::string& path) const;
  // True while `path` still holds the bytes a load refused.
  bool HoldsRefusedBytes(OsServices& os, const std::string& path) const;
  // This process loaded `path` or saved it.
  bool LoadedOrSaved(const std::string& path) const { return known_ && known_path_ == path; }

 private:
  void Remember(OsServices& os, const std::string& path, bool refused);
  bool has_stamp_ = false;
  bool refused_ = false;
  bool known_ = false;
  std::string known_path_;
  std::string stamp_path_;
  std::uint64_t write_time_ = 0;
  std::uint64_t size_ = 0;
};

// `state`, when given, gets the file's stamp after a successful load or
// save, and after a load that refused the file's bytes.
void LoadFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state = nullptr);
void SaveFile(TClientDataSet& store, OsServices& os, const std::string& path,
              DataFileState* state = nullptr, const PacketSaving& how = PacketSaving());

// The path of the file a save writes before it replaces the data file.
std::string NewDataFilePath(const std::string& path);

}  // namespace quillset
