// The one fixture of the data-file tests: a data file in a fresh temporary
// folder, reached through the host's services (`host_`), the shared
// fault-injecting ones over them (`faults_`), or the program's retries over
// those (`retrying_`), and the helpers the tests share.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/host_os_services.h"
#include "base/os_services.h"
#include "base/retrying_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "datafile/data_file.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"
#include "datafile/table_packet_test_support.h"
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

class DataFileFixture : public ::testing::Test {
 protected:
  std::unique_ptr<TClientDataSet> NewStore() { return MakeBackupEntryStore(&codec_); }
  // The one-entry file written as the data file, loaded, with a second entry
  // pending.
  std::unique_ptr<TClientDataSet> StoreWithANewEntry() {
    WriteFileBytes(path_, OneEntryFile());
    return LoadWithANewEntry(host_, codec_, path_);
  }
  // The rows of the data file as it loads now.
  int RowsOnDisk() { return RowsInDataFile(host_, codec_, path_); }

  TempFolder folder_;
  std::string path_ = folder_ / "Quillset.cds";
  BinaryPacketCodec codec_;
  HostOsServices host_;
  FaultInjectingOs faults_{host_};
  RetryingOsServices retrying_{faults_};
};

}  // namespace testing_support
}  // namespace quillset
