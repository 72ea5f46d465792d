// The data file against the real Windows file calls (run under Wine): the
// safe save replaces the file, a file held open with no sharing by another
// opener fails the load and the save, and the old content survives.
#include <gtest/gtest.h>

#include <cstdio>

#include "base/errors.h"
#include "store/testing/backup_history.h"
#include "base/win32_os_services.h"
#include "datafile/data_file.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"

namespace quillset {
namespace {

using testing_support::FileExistsOnDisk;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::WriteFileBytes;

TEST(DataFileWin32Test, SaveLoadAndAHeldFile) {
  TempFolder folder;
  const std::string path = folder / "Quillset.cds";
  Win32OsServices os;
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  store->CreateEmpty();
  SaveFile(*store, os, path);
  EXPECT_EQ(ReadFileBytes(path), testing_support::EmptyListFile());
  SaveFile(*store, os, path);  // replaces an existing file
  EXPECT_EQ(ReadFileBytes(path), testing_support::EmptyListFile());
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path)));

  WriteFileBytes(path, testing_support::OneEntryFile());
  {
    auto other = os.OpenExclusive(path, FileOpenMode::kReadExisting);
    ASSERT_TRUE(other);
    auto loaded = MakeBackupEntryStore(&codec);
    EXPECT_THROW(LoadFile(*loaded, os, path), EFOpenError);
    EXPECT_THROW(SaveFile(*store, os, path), EFCreateError);
  }
  EXPECT_EQ(ReadFileBytes(path), testing_support::OneEntryFile());
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path)));

  DataFileState state;
  auto loaded = MakeBackupEntryStore(&codec);
  LoadFile(*loaded, os, path, &state);
  EXPECT_EQ(loaded->RowCount(), 1);
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(os, path));
  SaveFile(*loaded, os, path, &state);
  EXPECT_EQ(ReadFileBytes(path), testing_support::OneEntryFile());
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(os, path));
  std::remove(path.c_str());
}

TEST(DataFileWin32Test, ManyVersionsAreReadAlongsideAndWrittenBehindByteForByte) {
  // 60,000 versions, about 5.8 MB: the rows are read in pieces on a second
  // thread, and with a small buffer the save writes and flushes the new file
  // on a second thread, through the real calls.
  TempFolder folder;
  const std::string path = folder / "Quillset.cds";
  DSBASE table;
  ASSERT_EQ(BuildBackupHistory(table, 60000, 20, 600000.0), kStatusOk);
  std::vector<std::uint8_t> packet;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, packet), kStatusOk);
  WriteFileBytes(path, packet);
  Win32OsServices os;
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  LoadFile(*store, os, path);
  EXPECT_EQ(store->RowCount(), 20);
  PacketSaving behind;
  behind.buffer_bytes = 256 * 1024;
  behind.writing = PacketWriting::kBehind;
  SaveFile(*store, os, path, nullptr, behind);
  EXPECT_TRUE(ReadFileBytes(path) == packet);
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path)));
  std::remove(path.c_str());
}

}  // namespace
}  // namespace quillset
