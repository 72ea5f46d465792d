// The data file against the real Windows file calls (run under Wine): the
// safe save replaces the file, a file held open with no sharing by another
// opener fails the load and the save, and the old content survives.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/errors.h"
#include "app/win32_os_services.h"
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
  const std::string path = folder.Path() + "\\Quillset.cds";
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

}  // namespace
}  // namespace quillset
