// Loading and saving the data file against real files in a temporary folder,
// through the fault-injecting OS services: the 1st, 2nd, ... Nth I/O call of a
// save fails, or power is lost after it, and the data file holds the old or
// the new content whole, with no ".new" file left behind.
#include "datafile/data_file.h"
#include "datafile/data_file_test_support.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/host_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "datafile/little_endian.h"
#include "datafile/packet_test_support.h"
#include "datafile/packet_writer.h"
#include "datafile/table_packet.h"
#include "datafile/table_packet_test_support.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::FileExistsOnDisk;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;
using testing_support::ToHex;
using testing_support::AddEntry;
using testing_support::WriteFileBytes;

class DataFileTest : public testing_support::DataFileFixture {
 protected:
  FaultInjectingOs& os_ = faults_;  // what the loads and saves here go through
  std::string CannotCreate(const std::string& path) {
    return FormatMessageText("ファイル %s を作成できません", {path});
  }
  std::string CannotOpen(const std::string& path) {
    return FormatMessageText("ファイル %s は開けません", {path});
  }
};

TEST_F(DataFileTest, DataFilePathIsTheExecutablesWithCds) {
  host_.SetExecutablePath("C:\\Tools\\Quillset.exe");
  EXPECT_EQ(DataFilePathFor(faults_), "C:\\Tools\\Quillset.cds");
  host_.SetExecutablePath("C:\\Tools.v2\\Quillset");
  EXPECT_EQ(DataFilePathFor(faults_), "C:\\Tools.v2\\Quillset.cds");
  host_.SetExecutablePath("C:\\表\\Quillset");  // 表 ends in byte 0x5C
  EXPECT_EQ(DataFilePathFor(faults_), "C:\\表\\Quillset.cds");
}

TEST_F(DataFileTest, SaveWritesTheProgramsFilesAndLoadThenSaveKeepsTheBytes) {
  auto store = NewStore();
  SaveFile(*store, faults_, path_);  // closed store: nothing at all
  EXPECT_FALSE(FileExistsOnDisk(path_));
  store->CreateEmpty();
  SaveFile(*store, faults_, path_);
  EXPECT_EQ(ToHex(ReadFileBytes(path_)), ToHex(testing_support::EmptyListFile()));
  AddEntry(*store, "C:\\data\\a.txt", "D:\\bak");  // pending: the save commits it
  SaveFile(*store, faults_, path_);
  EXPECT_EQ(ToHex(ReadFileBytes(path_)), ToHex(testing_support::OneEntryFile()));
  EXPECT_TRUE(store->Active());

  WriteFileBytes(path_, testing_support::AfterBackupRunFile());
  auto loaded = NewStore();
  LoadFile(*loaded, faults_, path_);
  EXPECT_EQ(loaded->RowCount(), 1);
  EXPECT_EQ(loaded->FieldAt(2).ReadText(), "バックアップ成功");
  SaveFile(*loaded, faults_, path_);
  EXPECT_EQ(ToHex(ReadFileBytes(path_)), ToHex(testing_support::AfterBackupRunFile()));
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
}

TEST_F(DataFileTest, LoadFailuresAndTheirMessages) {
  auto store = NewStore();
  // No file.
  try {
    LoadFile(*store, faults_, path_);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), CannotOpen(path_));
  }
  EXPECT_FALSE(store->Active());
  // Held open by another program.
  WriteFileBytes(path_, testing_support::OneEntryFile());
  {
    auto other = faults_.OpenExclusive(path_, FileOpenMode::kReadExisting);
    ASSERT_TRUE(other);
    EXPECT_THROW(LoadFile(*store, faults_, path_), EFOpenError);
  }
  // An empty file at start-up: nothing held, nothing to open.
  WriteFileBytes(path_, {});
  try {
    LoadFile(*store, faults_, path_);
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message(), "ClientDataSet1: データプロバイダ/パケットがありません");
  }
  // Damaged bytes: the status, a text that names the file, the store closed.
  Bytes cut = testing_support::OneEntryFile();
  cut.resize(150);
  WriteFileBytes(path_, cut);
  try {
    LoadFile(*store, faults_, path_);
    FAIL();
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusBadPacket.Code());
    EXPECT_EQ(e.Message(),
              FormatMessageText("ファイル %s のデータが正しくありません", {path_}) + " (0x4005)");
  }
  EXPECT_FALSE(store->Active());
  Bytes not_metadata = testing_support::OneEntryFile();
  StoreU32(not_metadata.data() + 18, 0);
  WriteFileBytes(path_, not_metadata);
  try {
    LoadFile(*store, faults_, path_);
    FAIL();
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusNoMetadata.Code());
  }
  // A field without its column, and a column of another kind.
  {
    DSBASE table;
    ColumnDescription a;
    a.name = "バックアップファイル";
    a.width = 100;
    ASSERT_EQ(table.Create({a}), kStatusOk);
    Bytes packet;
    ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, packet), kStatusOk);
    WriteFileBytes(path_, packet);
    try {
      LoadFile(*store, faults_, path_);
      FAIL();
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.Message(), "ClientDataSet1: 項目 '保管場所' が見つかりません");
    }
  }
  {
    DSBASE table;
    std::vector<ColumnDescription> columns(4);
    const char* names[] = {"バックアップファイル", "保管場所", "結果", "バックアップ日時"};
    for (int i = 0; i < 4; ++i) {
      columns[i].name = names[i];
      columns[i].width = 100;
    }
    ASSERT_EQ(table.Create(columns), kStatusOk);
    Bytes packet;
    ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, packet), kStatusOk);
    WriteFileBytes(path_, packet);
    try {
      LoadFile(*store, faults_, path_);
      FAIL();
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.Message(),
                std::string("ClientDataSet1: 項目 'バックアップ日時' の型が一致しません。") +
                    ColumnKindName(ColumnKind::kDateTime) + " に対して " +
                    ColumnKindName(ColumnKind::kString) + " が渡されました。");
    }
  }
  EXPECT_FALSE(store->Active());
  // A read that fails half-way.
  WriteFileBytes(path_, testing_support::OneEntryFile());
  faults_.FailNthCall(3);  // open, size, read
  EXPECT_THROW(LoadFile(*store, faults_, path_), EFOpenError);
  faults_.FailNthCall(0);
  EXPECT_FALSE(store->Active());
}

TEST_F(DataFileTest, EmptyFileReopensThePreviousContentLessThePendingRow) {
  auto store = NewStore();
  store->CreateEmpty();
  AddEntry(*store, "C:\\a", "D:\\b");
  store->EndRowEdit();
  AddEntry(*store, "C:\\pending", "D:\\b");  // dropped by the load
  WriteFileBytes(path_, {});
  LoadFile(*store, faults_, path_);
  EXPECT_TRUE(store->Active());
  EXPECT_EQ(store->RowCount(), 1);
  EXPECT_EQ(store->FieldAt(0).ReadText(), "C:\\a");
}

TEST_F(DataFileTest, TextFormFilesLoadAndAnXmlPathSavesTheTextForm) {
  auto store = NewStore();
  store->CreateEmpty();
  AddEntry(*store, "C:\\data\\a.txt", "D:\\bak");
  const std::string xml_path = folder_ / "list.XML";
  SaveFile(*store, faults_, xml_path);
  const Bytes text = ReadFileBytes(xml_path);
  ASSERT_GT(text.size(), 5u);
  EXPECT_EQ(std::string(text.begin(), text.begin() + 5), "<?xml");
  // A text-form file loads whatever its name.
  WriteFileBytes(path_, text);
  auto loaded = NewStore();
  LoadFile(*loaded, faults_, path_);
  EXPECT_EQ(loaded->FieldAt(1).ReadText(), "D:\\bak");
  SaveFile(*loaded, faults_, path_);  // and is saved in the binary form
  EXPECT_EQ(ToHex(ReadFileBytes(path_)), ToHex(testing_support::OneEntryFile()));
}

TEST_F(DataFileTest, AHeldDataFileFailsTheSaveAndKeepsItsContent) {
  WriteFileBytes(path_, testing_support::OneEntryFile());
  auto store = NewStore();
  store->CreateEmpty();
  {
    auto other = faults_.OpenExclusive(path_, FileOpenMode::kReadExisting);
    ASSERT_TRUE(other);
    try {
      SaveFile(*store, faults_, path_);
      FAIL();
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), CannotCreate(path_));
    }
  }
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
  EXPECT_TRUE(store->Active());
  // A ".new" file that another program holds fails the save the same way.
  WriteFileBytes(NewDataFilePath(path_), {1, 2, 3});
  {
    auto other = faults_.OpenExclusive(NewDataFilePath(path_), FileOpenMode::kReadExisting);
    EXPECT_THROW(SaveFile(*store, faults_, path_), EFCreateError);
  }
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
}

TEST_F(DataFileTest, ATableThatCannotBeWrittenFailsTheSaveWithItsStatus) {
  WriteFileBytes(path_, testing_support::OneEntryFile());
  TClientDataSet store("ClientDataSet1", &codec_);
  store.AddField(std::make_unique<TStringField>("RowState", 10));  // no packet can name it
  store.CreateEmpty();
  try {
    SaveFile(store, faults_, path_);
    FAIL();
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusOutOfOrder.Code());
    EXPECT_EQ(e.Message(), CannotCreate(path_) + " (0x2A04)");
  }
  EXPECT_TRUE(store.Active());
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
}

TEST_F(DataFileTest, EveryFailingCallOfASaveLeavesTheOldOrTheNewFileWhole) {
  // With the save's own buffer the packet goes out in one write; with a
  // small one in many, so that a failure falls in the middle of the stream.
  const Bytes old_content = testing_support::OneEntryFile();
  PacketSaving small_in_turn, small_behind;
  small_in_turn.buffer_bytes = small_behind.buffer_bytes = 48;
  small_in_turn.writing = PacketWriting::kInTurn;
  small_behind.writing = PacketWriting::kBehind;
  for (const PacketSaving& how : {PacketSaving(), small_in_turn, small_behind})
  for (auto fault : {OsFault::kFail, OsFault::kShortWrite, OsFault::kDiskFull}) {
    bool finished = false;
    for (int n = 1; n <= 120 && !finished; ++n) {
      WriteFileBytes(path_, old_content);
      auto store = NewStore();
      faults_.FailNthCall(0);
      LoadFile(*store, faults_, path_);
      AddEntry(*store, "C:\\new", "D:\\new");
      faults_.FailNthCall(n, fault);
      bool failed = false;
      try {
        SaveFile(*store, faults_, path_, nullptr, how);
      } catch (const EFCreateError& e) {
        failed = true;
        EXPECT_EQ(e.Message(), CannotCreate(path_));
      }
      const int calls = faults_.Calls();
      // A ".new" file whose removal failed may stay; the next save truncates it.
      const bool removal_failed = faults_.Injected() && faults_.FailedCall() == OsCall::kRemove;
      faults_.FailNthCall(0);
      if (n > calls) finished = true;  // no call was failed: the save went through
      EXPECT_TRUE(store->Active());
      if (!removal_failed) {
        EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_))) << "call " << n;
      }
      // Reload: the old list, or the new one, whole.
      auto check = NewStore();
      LoadFile(*check, faults_, path_);
      const std::int32_t rows = check->RowCount();
      if (failed) {
        EXPECT_EQ(ReadFileBytes(path_), old_content) << "call " << n;
      } else {
        EXPECT_EQ(rows, 2) << "call " << n;
      }
    }
    EXPECT_TRUE(finished);
  }
}

TEST_F(DataFileTest, AFileTooLargeToHoldIsRefusedByNameTheListStaysAndTheCloseWritesNothing) {
  WriteFileBytes(path_, testing_support::OneEntryFile());
  auto store = NewStore();
  store->CreateEmpty();
  AddEntry(*store, "C:\\new", "D:\\new");
  store->EndRowEdit();
  DataFileState state;
  faults_.FailNthCall(2, OsFault::kHugeSize);  // the open, then the size
  try {
    LoadFile(*store, faults_, path_, &state);
    FAIL();
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusOutOfMemory.Code());
    EXPECT_EQ(e.Message(), FormatMessageText("ファイル %s は大きすぎて読み込めません", {path_}));
  }
  faults_.FailNthCall(0);
  // A reload that cannot be done leaves the list as it was.
  ASSERT_TRUE(store->Active());
  EXPECT_EQ(store->RowCount(), 1);
  EXPECT_EQ(store->FieldAt(0).ReadText(), "C:\\new");
  SaveFile(*store, faults_, path_, &state);  // as the window's close does
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
  EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
}

TEST_F(DataFileTest, AReadFailingInTheMiddleOfTheFileRefusesTheLoadAndTheCloseWritesNothing) {
  // Over 1 MiB, so that the file is read in more than one piece.
  auto big = NewStore();
  big->CreateEmpty();
  const std::string folder(90, 'f');  // near the column's width of 100
  for (int i = 0; i < 10000; ++i) AddEntry(*big, "C:\\" + folder + std::to_string(i), "D:\\to");
  SaveFile(*big, faults_, path_);
  const Bytes content = ReadFileBytes(path_);
  ASSERT_GT(content.size(), 1u << 20);
  for (int fail_at : {1, 2}) {
    auto store = NewStore();
    faults_.FailNthCall(fail_at, OsFault::kFail, OsCall::kRead);
    try {
      LoadFile(*store, faults_, path_);
      FAIL() << "read " << fail_at;
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.Message(), CannotOpen(path_));
    }
    EXPECT_TRUE(faults_.Injected()) << "read " << fail_at;
    faults_.FailNthCall(0);
    EXPECT_FALSE(store->Active());
    SaveFile(*store, faults_, path_);  // as the window's close does
    EXPECT_EQ(ReadFileBytes(path_), content);
  }
}

// The list a reload finds in the data file, damaged or too large for memory:
// the failure names the file, the list shown stays, and the close writes
// nothing over the bytes that could not be read.
class RefusingAfterLoadCodec : public BinaryPacketCodec {
 public:
  Status refusal;  // what a load gives, once set
  Status StreamPacket(DSBASE& table, std::vector<std::uint8_t>& out) override {
    // Serialising the whole list, as a close once did first, runs out too.
    if (refusal) return kStatusOutOfMemory;
    return BinaryPacketCodec::StreamPacket(table, out);
  }
  Status AppendPacketFrom(DSBASE& table, PacketSource& source) override {
    if (refusal) return refusal;
    return BinaryPacketCodec::AppendPacketFrom(table, source);
  }
};

TEST_F(DataFileTest, AReloadThatFailsNamesTheFileKeepsTheListAndTheCloseWritesNothing) {
  Bytes fewer_rows = testing_support::OneEntryFile();
  StoreU32(fewer_rows.data() + 14, 0);  // one row, said to be none
  Bytes appended = testing_support::OneEntryFile();
  appended.push_back(0);
  struct Case {
    Bytes file;
    Status refusal;
    std::string message;
  } cases[] = {
      {fewer_rows, kStatusOk, "ファイル %s のデータが正しくありません (0x4005)"},
      {appended, kStatusOk, "ファイル %s のデータが正しくありません (0x4005)"},
      {testing_support::AfterBackupRunFile(), kStatusOutOfMemory,
       "ファイル %s は大きすぎて読み込めません"},
  };
  for (const Case& c : cases) {
    RefusingAfterLoadCodec codec;
    auto store = MakeBackupEntryStore(&codec);
    DataFileState state;
    WriteFileBytes(path_, testing_support::OneEntryFile());
    LoadFile(*store, faults_, path_, &state);
    AddEntry(*store, "C:\\since", "D:\\start");  // pending at the reload
    WriteFileBytes(path_, c.file);  // the file changes on disk
    codec.refusal = c.refusal;
    try {
      LoadFile(*store, faults_, path_, &state);
      FAIL() << c.message;
    } catch (const EDBClient& e) {
      EXPECT_EQ(e.Message(), FormatMessageText(c.message.c_str(), {path_}));
    }
    EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));  // not read again
    ASSERT_TRUE(store->Active()) << c.message;
    store->EndRowEdit();
    EXPECT_EQ(store->RowCount(), 2) << c.message;
    SaveFile(*store, faults_, path_, &state);  // as the window's close does
    EXPECT_EQ(ReadFileBytes(path_), c.file) << c.message;
  }
}

TEST_F(DataFileTest, APacketPastItsLimitFailsTheSaveByNameAndKeepsTheOldFile) {
  // The limit stands for 4 GiB, where a 32-bit save's counts once wrapped and
  // a cut file was reported saved.
  WriteFileBytes(path_, testing_support::OneEntryFile());
  auto store = NewStore();
  LoadFile(*store, faults_, path_);
  AddEntry(*store, "C:\\new", "D:\\new");
  for (PacketWriting writing : {PacketWriting::kInTurn, PacketWriting::kBehind}) {
    PacketSaving how;
    how.buffer_bytes = 64;
    how.writing = writing;
    how.max_packet_bytes = 220;  // the file with one entry has 200 bytes, with two more
    try {
      SaveFile(*store, faults_, path_, nullptr, how);
      FAIL();
    } catch (const EDBClient& e) {
      EXPECT_EQ(e.Status(), kStatusOutOfMemory.Code());
      EXPECT_EQ(e.Message(), CannotCreate(path_) + " (0x2501)");
    }
    EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
    EXPECT_FALSE(FileExistsOnDisk(NewDataFilePath(path_)));
  }
}

// A data file taken for none at the start (a time with no DOS date, a
// moment it could not be found), or one that appeared since: the list this
// process holds never held it, and is not written over it.
TEST_F(DataFileTest, ADataFileThisProcessNeverLoadedIsNeverReplaced) {
  auto store = NewStore();
  store->CreateEmpty();
  DataFileState state;
  WriteFileBytes(path_, testing_support::OneEntryFile());
  try {
    SaveFile(*store, os_, path_, &state);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), CannotCreate(path_));
  }
  EXPECT_EQ(ReadFileBytes(path_), testing_support::OneEntryFile());
  LoadFile(*store, os_, path_, &state);
  AddEntry(*store, "C:\\new", "D:\\new");
  SaveFile(*store, os_, path_, &state);  // loaded: saved over
  EXPECT_NE(ReadFileBytes(path_), testing_support::OneEntryFile());
}

TEST_F(DataFileTest, ChangeDetectionSinceTheLastLoadOrSave) {
  DataFileState state;
  EXPECT_TRUE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));  // never seen
  auto store = NewStore();
  store->CreateEmpty();
  SaveFile(*store, faults_, path_, &state);
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));
  LoadFile(*store, faults_, path_, &state);
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));
  WriteFileBytes(path_, testing_support::OneEntryFile());  // another program wrote it
  EXPECT_TRUE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));
  LoadFile(*store, faults_, path_, &state);
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));
  EXPECT_TRUE(state.DataFileChangedSinceLastLoadOrSave(faults_, folder_ / "other.cds"));
  // Refused bytes are remembered too: the same bytes are not read again.
  WriteFileBytes(path_, {1, 2, 3});
  EXPECT_ANY_THROW(LoadFile(*store, faults_, path_, &state));
  EXPECT_FALSE(state.DataFileChangedSinceLastLoadOrSave(faults_, path_));
}

}  // namespace
}  // namespace quillset
