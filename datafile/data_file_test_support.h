// Test helpers shared by the data-file fault tests: a store loaded from a file
// with one more entry pending, and the number of rows a file loads with now.
#pragma once

#include <memory>
#include <string>

#include "base/os_services.h"
#include "datafile/data_file.h"
#include "store/packet_codec.h"
#include "store/record_store.h"

namespace quillset {
namespace testing_support {

// The list in the data file at `path`, with a new entry ("C:\new", "D:\new")
// inserted and not yet committed.
inline std::unique_ptr<TClientDataSet> LoadWithANewEntry(OsServices& os, PacketCodec& codec,
                                                         const std::string& path) {
  auto store = MakeBackupEntryStore(&codec);
  LoadFile(*store, os, path);
  store->MoveLast();
  store->InsertRow();
  store->FieldAt(0).WriteText("C:\\new");
  store->FieldAt(1).WriteText("D:\\new");
  return store;
}

// The rows of the data file at `path` as it loads now.
inline int RowsInDataFile(OsServices& os, PacketCodec& codec, const std::string& path) {
  auto check = MakeBackupEntryStore(&codec);
  LoadFile(*check, os, path);
  return check->RowCount();
}

}  // namespace testing_support
}  // namespace quillset
