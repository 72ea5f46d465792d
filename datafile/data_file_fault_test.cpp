// Saving the data file when the machine or another program gets in the way,
// through the shared fault-injecting OS services: a power loss after a save,
// or after any failing call of one, leaves the old or the new list whole; a
// data file another program holds fails the save before anything is written.
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/host_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "datafile/data_file.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"
#include "datafile/data_file_test_support.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::FileExistsOnDisk;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

class DataFileFaultTest : public testing_support::DataFileFixture {
 protected:
  FaultInjectingOs& os_ = faults_;  // what the saves here go through
};

TEST_F(DataFileFaultTest, APowerLossAfterASaveKeepsTheNewListWhole) {
  auto store = StoreWithANewEntry();
  SaveFile(*store, faults_, path_);
  const Bytes saved = ReadFileBytes(path_);
  EXPECT_TRUE(faults_.UnflushedFiles().empty());
  faults_.Crash();
  EXPECT_EQ(ReadFileBytes(path_), saved);
  EXPECT_EQ(RowsOnDisk(), 2);
}

TEST_F(DataFileFaultTest, APowerLossAfterAnyFailingCallOfASaveLeavesTheOldOrTheNewList) {
  // The save as it goes by default (one write), and written behind by a
  // second thread in parts of 24 bytes, each flushed there.
  PacketSaving behind;
  behind.buffer_bytes = 48;
  behind.writing = PacketWriting::kBehind;
  for (const PacketSaving& how : {PacketSaving(), behind}) {
    for (int n = 1;; ++n) {
      auto store = StoreWithANewEntry();
      faults_.FailNthCall(n);
      bool saved = true;
      try {
        SaveFile(*store, faults_, path_, nullptr, how);
      } catch (const EFCreateError&) {
        saved = false;
      }
      const bool done = !faults_.Injected();
      faults_.FailNthCall(0);
      faults_.Crash();
      if (saved) {
        EXPECT_EQ(RowsOnDisk(), 2) << "call " << n;
      } else {
        EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile()) << "call " << n;
      }
      if (done) break;
      ASSERT_LT(n, 60);
    }
  }
}

TEST_F(DataFileFaultTest, AHeldDataFileFailsTheSaveBeforeAnythingIsWritten) {
  auto store = StoreWithANewEntry();
  // Another program's file of the ".new" name, from an earlier run, say.
  WriteFileBytes(NewDataFilePath(path_), {1, 2, 3});
  ASSERT_TRUE(faults_.HoldFile(path_));
  faults_.FailNthCall(0, OsFault::kFail, OsCall::kWrite);  // counts the writes
  EXPECT_THROW(SaveFile(*store, faults_, path_), EFCreateError);
  EXPECT_EQ(faults_.Calls(), 0) << "nothing is written while the data file is held";
  faults_.ReleaseFile(path_);
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
  EXPECT_EQ(ReadFileBytes(NewDataFilePath(path_)), (Bytes{1, 2, 3}));
  // Once the other program lets go, the next save goes through.
  SaveFile(*store, faults_, path_);
  EXPECT_EQ(RowsOnDisk(), 2);
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
}

}  // namespace
}  // namespace quillset
