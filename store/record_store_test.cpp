// The record store as the program drives it: row order of inserts and appends,
// the current-row flags, versions and the change log, deletes, the window,
// the notifications, opening and closing through a packet codec, and every
// store error text.
#include "store/testing/place_image.h"
#include "store/record_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/errors.h"
#include "store/testing/saved_packet.h"
#include "store/testing/test_packet_codec.h"

namespace quillset {
namespace {

class RecordingLink : public DataLink {
 public:
  std::vector<std::string> calls;
  int window_size = 1;
  std::function<void()> on_push;
  void FieldChanged(int i) override { calls.push_back("FieldChanged(" + std::to_string(i) + ")"); }
  void RowChanged() override { calls.push_back("RowChanged"); }
  void ViewChanged() override { calls.push_back("ViewChanged"); }
  void ViewScrolled(int n) override { calls.push_back("ViewScrolled(" + std::to_string(n) + ")"); }
  void StateChanged() override { calls.push_back("StateChanged"); }
  void PushPendingText() override {
    calls.push_back("PushPendingText");
    if (on_push) on_push();
  }
  void LeavingRow() override { calls.push_back("LeavingRow"); }
  int WantedWindowSize() override { return window_size; }
};

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store = MakeBackupEntryStore(&codec);
    store->SetDataLink(&link);
    store->CreateEmpty();
  }

  // Rows added at the end and committed.
  void AddRows(std::initializer_list<const char*> files) {
    for (const char* file : files) {
      store->AppendRow();
      store->FieldAt(0).WriteText(file);
      store->CommitRow();
    }
  }
  // The files of the view in order; leaves the first row current.
  std::vector<std::string> Files() {
    std::vector<std::string> files;
    for (std::int32_t k = 1; k <= store->RowCount(); ++k) {
      store->SetRowNumber(k);
      files.push_back(store->FieldAt(0).ReadText());
    }
    if (store->RowCount() > 0) store->SetRowNumber(1);
    return files;
  }
  std::string Current() { return store->FieldAt(0).ReadText(); }
  DSBASE& Table() { return *store->Table(); }

  // Replaces the store's content by rows placed with status 0, as a data
  // file without a change log would give them.
  // `stamps`, when given, are the rows' stored time values, as they lie.
  void OpenWithUnmodifiedRows(std::initializer_list<const char*> files,
                              std::vector<double> stamps = {}) {
    DSBASE table;
    std::vector<ColumnDescription> columns;
    for (int i = 0; i < store->FieldCount(); ++i) columns.push_back(store->FieldAt(i).Describe());
    ASSERT_EQ(kStatusOk, table.Create(columns));
    std::size_t row = 0;
    for (const char* file : files) {
      std::vector<std::uint8_t> image = table.Layout().NewImage();
      table.Layout().WriteString(image.data(), 0, file);
      if (row < stamps.size()) table.Layout().WriteBytes(image.data(), 3, &stamps[row], 8);
      ++row;
      ASSERT_EQ(kStatusOk, PlaceImage(table, image, RowStatusUnmodified));
    }
    std::vector<std::uint8_t> packet;
    ASSERT_EQ(kStatusOk, codec.StreamPacket(table, packet));
    store->Close();
    store->SetHeldPacket(packet);
    store->OpenFromHeldPacket();
  }

  TestPacketCodec codec;
  RecordingLink link;
  std::unique_ptr<TClientDataSet> store;
};

// --- Row order -------------------------------------------------------------

TEST_F(StoreTest, AnEntryAddedAfterMoveLastLandsInFrontOfTheLastRow) {
  AddRows({"A", "B", "C"});
  store->MoveLast();
  store->InsertRow();
  store->EditRow();  // no effect in Insert
  store->FieldAt(0).WriteText("N");
  EXPECT_EQ(StoreState::Insert, store->State());
  EXPECT_TRUE(store->AtEnd());
  EXPECT_EQ(-1, store->RowNumber());
  EXPECT_EQ(3, store->RowCount());  // the pending row is not counted
  store->EndRowEdit();
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_EQ("N", Current());
  EXPECT_EQ(3, store->RowNumber());
  EXPECT_EQ(4, store->RowCount());
  EXPECT_EQ((std::vector<std::string>{"A", "B", "N", "C"}), Files());
  EXPECT_EQ((ChangeLogEntry{4, 0, kChangeInsert}), Table().ChangeLog().back());
}

TEST_F(StoreTest, AnEntryAddedToAnEmptyOrOneRowStoreComesFirst) {
  store->MoveLast();
  EXPECT_TRUE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  store->InsertRow();
  store->FieldAt(0).WriteText("N");
  store->EndRowEdit();
  EXPECT_EQ((std::vector<std::string>{"N"}), Files());

  OpenWithUnmodifiedRows({"A"});
  store->MoveLast();
  store->InsertRow();
  store->FieldAt(0).WriteText("N");
  store->EndRowEdit();
  EXPECT_EQ((std::vector<std::string>{"N", "A"}), Files());
}

TEST_F(StoreTest, AppendRowPutsTheNewRowAfterAllOthers) {
  AddRows({"A", "B"});
  store->MoveFirst();
  store->AppendRow();
  EXPECT_FALSE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  store->FieldAt(0).WriteText("Z");
  store->CommitRow();
  EXPECT_EQ("Z", Current());
  EXPECT_EQ((std::vector<std::string>{"A", "B", "Z"}), Files());
}

TEST_F(StoreTest, InsertAndEndRowEditWithoutWritesStoresNothing) {
  AddRows({"A"});
  const std::uint32_t slots = Table().LastSlot();
  const std::size_t log = Table().ChangeLog().size();
  store->InsertRow();
  store->EndRowEdit();
  EXPECT_EQ(slots, Table().LastSlot());
  EXPECT_EQ(log, Table().ChangeLog().size());
  EXPECT_EQ("A", Current());  // the row current before the insert is back
  EXPECT_EQ(1, store->RowCount());
}

TEST_F(StoreTest, EditRowInInsertKeepsThePendingRowAndItsFields) {
  store->InsertRow();
  store->FieldAt(0).WriteText("file");
  store->FieldAt(1).WriteText("folder");
  store->EditRow();
  EXPECT_EQ(StoreState::Insert, store->State());
  EXPECT_TRUE(store->RowModified());
  EXPECT_EQ("file", store->FieldAt(0).ReadText());
  EXPECT_EQ("folder", store->FieldAt(1).ReadText());
  EXPECT_TRUE(store->FieldAt(2).ValueIsNull());
  EXPECT_TRUE(store->FieldAt(3).ValueIsNull());
}

TEST_F(StoreTest, EditRowOnAnEmptyStoreStartsANewRow) {
  store->EditRow();
  EXPECT_EQ(StoreState::Insert, store->State());
}

// --- Flags ------------------------------------------------------------------

TEST_F(StoreTest, AtEndAfterMoveLastAndAfterRunningPastTheEnd) {
  AddRows({"A", "B", "C"});
  store->MoveLast();
  EXPECT_FALSE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  EXPECT_EQ("C", Current());
  EXPECT_EQ(0, store->MoveRows(1));  // AtEnd: no move at all
  store->SetRowNumber(2);
  EXPECT_FALSE(store->AtEnd());
  EXPECT_FALSE(store->AtStart());
  EXPECT_EQ(1, store->MoveRows(5));  // one step, then past the end
  EXPECT_TRUE(store->AtEnd());
  EXPECT_EQ("C", Current());
  EXPECT_EQ(-2, store->MoveRows(-5));
  EXPECT_TRUE(store->AtStart());
  EXPECT_FALSE(store->AtEnd());
  EXPECT_EQ("A", Current());
  store->MoveFirst();
  EXPECT_TRUE(store->AtStart());
  EXPECT_FALSE(store->AtEnd());
}

TEST_F(StoreTest, SetRowNumberToTheCurrentRowCommitsAndMovesNothing) {
  AddRows({"A", "B"});
  store->SetRowNumber(2);
  store->EditRow();
  store->FieldAt(2).WriteText("ok");
  link.calls.clear();
  store->SetRowNumber(2);
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_EQ("B", Current());
  EXPECT_EQ(2, store->RowNumber());
  EXPECT_EQ("ok", store->FieldAt(2).ReadText());
  EXPECT_EQ(kChangeModify, Table().ChangeLog().back().kind);
}

// --- Versions and the change log ---------------------------------------------------

TEST_F(StoreTest, ARowChangedTwiceKeepsThreeVersionsAndTwoLogEntries) {
  OpenWithUnmodifiedRows({"A", "B", "C"});
  for (const char* result : {"r1", "r2"}) {
    store->SetRowNumber(2);
    store->EditRow();
    store->FieldAt(2).WriteText(result);
    store->CommitRow();
  }
  EXPECT_EQ(RowStatusOriginal, Table().SlotStatus(2));
  EXPECT_EQ(RowStatusOriginal | RowStatusModified, Table().SlotStatus(4));
  EXPECT_EQ(RowStatusModified, Table().SlotStatus(5));
  EXPECT_EQ((std::vector<ChangeLogEntry>{{4, 2, kChangeModify}, {5, 4, kChangeModify}}),
            Table().ChangeLog());
  store->SetRowNumber(2);
  EXPECT_EQ("r2", store->FieldAt(2).ReadText());
  EXPECT_EQ(3, store->RowCount());
}

TEST_F(StoreTest, AChangedInsertedRowKeepsTheInsertedBit) {
  AddRows({"N"});
  store->EditRow();
  store->FieldAt(2).WriteText("done");
  store->CommitRow();
  EXPECT_EQ(RowStatusInserted | RowStatusOriginal, Table().SlotStatus(1));
  EXPECT_EQ(RowStatusInserted | RowStatusModified, Table().SlotStatus(2));
  EXPECT_EQ(RowStatusInserted, store->WindowRow(store->ActiveWindowIndex()).status);
}

TEST_F(StoreTest, CommittingTheSameValuesStoresNothing) {
  AddRows({"A"});
  store->EditRow();
  store->FieldAt(0).WriteText("A");
  store->FieldAt(0).WriteText("A   ");  // trailing spaces are dropped
  EXPECT_TRUE(store->RowModified());
  store->CommitRow();
  EXPECT_EQ(1u, Table().LastSlot());
  EXPECT_EQ(1u, Table().ChangeLog().size());
  // A real change still costs a slot and an entry, every time.
  store->EditRow();
  store->FieldAt(0).WriteText("B");
  store->CommitRow();
  EXPECT_EQ(2u, Table().LastSlot());
  EXPECT_EQ(2u, Table().ChangeLog().size());
}

TEST_F(StoreTest, DiscardRowAfterAnEditShowsTheStoredValuesAgain) {
  AddRows({"A", "B"});
  store->SetRowNumber(1);
  store->EditRow();
  store->FieldAt(0).WriteText("changed");
  store->DiscardRow();
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_EQ("A", Current());
  EXPECT_EQ(2u, Table().LastSlot());
}

// --- Deleting ----------------------------------------------------------------------

TEST_F(StoreTest, DeletingTheLastRowMakesTheRowBeforeItCurrent) {
  AddRows({"A", "B", "C"});
  store->MoveLast();
  store->DeleteRow();
  EXPECT_EQ("B", Current());
  EXPECT_FALSE(store->AtEnd());
  EXPECT_EQ(2, store->RowCount());
  EXPECT_EQ(RowStatusInserted | RowStatusDeleted, Table().SlotStatus(3));
  EXPECT_EQ((ChangeLogEntry{3, 0, kChangeDelete}), Table().ChangeLog().back());
}

TEST_F(StoreTest, DeletingAMiddleRowMakesTheFollowingRowCurrent) {
  AddRows({"A", "B", "C"});
  store->SetRowNumber(2);
  store->DeleteRow();
  EXPECT_EQ("C", Current());
  EXPECT_EQ(2, store->RowNumber());
  EXPECT_EQ((std::vector<std::string>{"A", "C"}), Files());
}

TEST_F(StoreTest, DeletingTheOnlyRowEmptiesTheView) {
  AddRows({"A"});
  store->DeleteRow();
  EXPECT_EQ(0, store->RowCount());
  EXPECT_TRUE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  EXPECT_EQ(-1, store->ActiveWindowIndex());
  EXPECT_TRUE(store->FieldAt(0).ValueIsNull());
  EXPECT_EQ("", Current());
}

TEST_F(StoreTest, DeleteRowInInsertDropsTheNewRowOnly) {
  AddRows({"A", "B"});
  store->SetRowNumber(2);
  store->InsertRow();
  store->FieldAt(0).WriteText("N");
  store->DeleteRow();
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_EQ("B", Current());
  EXPECT_EQ((std::vector<std::string>{"A", "B"}), Files());
  EXPECT_EQ(2u, Table().ChangeLog().size());
}

TEST_F(StoreTest, DeleteRowInEditDeletesTheStoredRowAndDropsTheEdits) {
  AddRows({"A", "B"});
  store->SetRowNumber(1);
  store->EditRow();
  store->FieldAt(0).WriteText("changed");
  store->DeleteRow();
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_EQ((std::vector<std::string>{"B"}), Files());
  EXPECT_EQ(2u, Table().LastSlot());  // no version of the edits
  EXPECT_EQ(RowStatusInserted | RowStatusDeleted, Table().SlotStatus(1));
}

// --- Row marks ------------------------------------------------------------------------

// What a backup run does to every row: a new version with a result, the last
// row current afterwards.
void WriteResultIntoEveryRow(TDataSet& store, const std::string& result = "result ") {
  for (std::int32_t k = 1; k <= store.RowCount(); ++k) {
    store.SetRowNumber(k);
    store.EditRow();
    store.FieldAt(2).WriteText(result + std::to_string(k));
  }
  store.EndRowEdit();
}

TEST_F(StoreTest, AMarkedRowIsFoundAgainAfterNewVersionsAndOtherRowsComeAndGo) {
  AddRows({"A", "B", "C", "D"});
  store->SetRowNumber(2);
  const TDataSet::RowMark mark = store->MarkCurrentRow();
  WriteResultIntoEveryRow(*store, "first ");
  WriteResultIntoEveryRow(*store);  // two newer versions
  store->SetRowNumber(1);
  store->DeleteRow();  // a row before it goes
  store->MoveLast();
  store->InsertRow();
  store->FieldAt(0).WriteText("N");  // one comes, still pending
  ASSERT_TRUE(store->GoToMarkedRow(mark));
  EXPECT_EQ("B", Current());
  EXPECT_EQ("result 2", store->FieldAt(2).ReadText());  // the newest version
  EXPECT_EQ((std::vector<std::string>{"B", "C", "N", "D"}), Files()) << "N was committed";
}

TEST_F(StoreTest, AMarkedRowThatWasDeletedIsNotFoundAndNothingMoves) {
  AddRows({"A", "B", "C"});
  store->SetRowNumber(2);
  const TDataSet::RowMark mark = store->MarkCurrentRow();
  WriteResultIntoEveryRow(*store);
  store->SetRowNumber(2);
  store->DeleteRow();
  store->SetRowNumber(1);
  EXPECT_FALSE(store->GoToMarkedRow(mark));
  EXPECT_EQ("A", Current());

  // A mark of another opening of the store finds nothing either.
  store->SetRowNumber(2);
  const TDataSet::RowMark before_close = store->MarkCurrentRow();
  store->Close();
  store->OpenFromHeldPacket();
  EXPECT_FALSE(store->GoToMarkedRow(before_close));
  EXPECT_FALSE(store->GoToMarkedRow(TDataSet::RowMark{}));
}

TEST_F(StoreTest, AMarkedRowInEditKeepsItsPendingEditWhenItIsStillCurrent) {
  AddRows({"A", "B"});
  store->SetRowNumber(2);
  store->EditRow();
  store->FieldAt(0).WriteText("changed");
  const TDataSet::RowMark mark = store->MarkCurrentRow();
  ASSERT_TRUE(store->GoToMarkedRow(mark));
  EXPECT_EQ(StoreState::Edit, store->State());
  store->DeleteRow();
  EXPECT_EQ(2u, Table().LastSlot()) << "the edit was not committed on the way";
  EXPECT_EQ((std::vector<std::string>{"A"}), Files());
}

TEST_F(StoreTest, AMarkedNewRowIsFollowedIntoTheListOrGoneWhenDroppedUnchanged) {
  AddRows({"A", "B", "C"});
  store->MoveLast();
  store->InsertRow();
  store->FieldAt(0).WriteText("N");
  const TDataSet::RowMark pending = store->MarkCurrentRow();
  ASSERT_TRUE(store->GoToMarkedRow(pending));
  EXPECT_EQ(StoreState::Insert, store->State()) << "still the pending row";
  WriteResultIntoEveryRow(*store);  // commits it first, then gives it a result
  ASSERT_TRUE(store->GoToMarkedRow(pending));
  EXPECT_EQ("N", Current());
  EXPECT_EQ("result 3", store->FieldAt(2).ReadText());

  store->SetRowNumber(1);
  store->InsertRow();  // unchanged: a run drops it
  const TDataSet::RowMark empty_new = store->MarkCurrentRow();
  WriteResultIntoEveryRow(*store);
  EXPECT_FALSE(store->GoToMarkedRow(empty_new));
  EXPECT_EQ("C", Current());
}

// --- Window and notifications ---------------------------------------------------------

TEST_F(StoreTest, TheWindowHoldsTheRowsTheGridShowsAroundTheCurrentRow) {
  link.window_size = 3;
  AddRows({"A", "B", "C", "D", "E"});
  store->MoveLast();
  ASSERT_EQ(3, store->WindowRowCount());
  EXPECT_EQ(2, store->ActiveWindowIndex());
  EXPECT_EQ("C", store->WindowGridText(0, 0));
  EXPECT_EQ("E", store->WindowGridText(2, 0));
  EXPECT_EQ(5, store->WindowRow(2).row_number);
  EXPECT_EQ(PositionMarker::OnRow, store->WindowRow(2).marker);
  EXPECT_TRUE(store->WindowValueIsNull(0, 3));
  EXPECT_EQ("", store->WindowGridText(0, 3));

  store->MoveFirst();
  link.calls.clear();
  EXPECT_EQ(1, store->MoveRows(1));  // inside the window: no scrolling
  EXPECT_EQ(1, store->ActiveWindowIndex());
  EXPECT_EQ(2, store->MoveRows(2));  // two rows further: the window moves by one
  EXPECT_EQ("D", Current());
  EXPECT_EQ(2, store->ActiveWindowIndex());
  EXPECT_EQ("B", store->WindowGridText(0, 0));
  EXPECT_EQ((std::vector<std::string>{"LeavingRow", "ViewScrolled(0)", "LeavingRow",
                                      "ViewScrolled(1)"}),
            link.calls);

  // A new row opens at the current row's place and pushes it down; when that
  // row was last in the window, the window moves so that it stays in view.
  store->InsertRow();
  ASSERT_EQ(3, store->WindowRowCount());
  EXPECT_EQ(1, store->ActiveWindowIndex());
  EXPECT_EQ(PositionMarker::NewRow, store->WindowRow(1).marker);
  EXPECT_EQ(-1, store->WindowRow(1).row_number);
  EXPECT_EQ("C", store->WindowGridText(0, 0));
  EXPECT_EQ("D", store->WindowGridText(2, 0));
  store->DiscardRow();
  store->SetRowNumber(2);
  store->MoveRows(-1);  // A at the top of the window
  ASSERT_EQ(0, store->ActiveWindowIndex());
  store->InsertRow();
  EXPECT_EQ(0, store->ActiveWindowIndex());
  EXPECT_EQ("A", store->WindowGridText(1, 0));
  EXPECT_EQ("B", store->WindowGridText(2, 0));
}

TEST_F(StoreTest, ReadingAnotherWindowRowLeavesTheFieldsOnTheCurrentRow) {
  // The grid reads the other buffered rows through the same field objects;
  // the current row must read as itself afterwards, also after a read that
  // failed (a time value no date can be made of).
  link.window_size = 3;
  const double good = 63932247600000.0;  // 2026-12-06 13:40:00
  OpenWithUnmodifiedRows({"A", "B", "C"}, {0.0, good, good});
  store->MoveLast();
  ASSERT_EQ(2, store->ActiveWindowIndex());
  EXPECT_EQ("A", store->WindowGridText(0, 0));
  EXPECT_EQ("C", Current());
  EXPECT_FALSE(store->WindowValueIsNull(0, 3));
  EXPECT_EQ("C", Current());
  EXPECT_THROW(store->WindowGridText(0, 3), EConvertError);
  EXPECT_EQ("C", Current());
  EXPECT_NO_THROW(store->FieldAt(3).GridText());
  // Writes go to the current row as well.
  store->EditRow();
  store->FieldAt(0).WriteText("C2");
  store->CommitRow();
  EXPECT_EQ("A", store->WindowGridText(0, 0));
  EXPECT_EQ("C2", store->WindowGridText(2, 0));
}

TEST_F(StoreTest, NotificationsComeInTheirOrder) {
  AddRows({"A"});
  link.calls.clear();
  store->InsertRow();
  store->FieldAt(1).WriteText("x");
  store->EndRowEdit();
  EXPECT_EQ((std::vector<std::string>{
                "LeavingRow",                     // EndRowEdit in Browse
                "StateChanged", "ViewChanged",    // InsertRow
                "FieldChanged(1)",                // the write
                "LeavingRow", "PushPendingText",  // EndRowEdit
                "PushPendingText", "LeavingRow",  // CommitRow
                "StateChanged", "ViewChanged"}),
            link.calls);
  link.calls.clear();
  store->EditRow();
  EXPECT_EQ((std::vector<std::string>{"LeavingRow", "StateChanged", "RowChanged"}), link.calls);
}

TEST_F(StoreTest, TextPushedByTheGridBeforeACommitIsStored) {
  AddRows({"A"});
  store->EditRow();
  link.on_push = [this] {
    if (store->State() == StoreState::Edit && !store->RowModified())
      store->FieldAt(2).WriteText("typed");
  };
  store->EndRowEdit();
  link.on_push = nullptr;
  EXPECT_EQ("typed", store->FieldAt(2).ReadText());
  EXPECT_EQ(2u, Table().LastSlot());
}

// --- Opening, closing, packets ---------------------------------------------------------

TEST_F(StoreTest, CloseDropsThePendingRowAndReopeningShowsRowsInSlotOrder) {
  AddRows({"A", "B", "C"});
  store->MoveLast();
  store->InsertRow();
  store->FieldAt(0).WriteText("N");
  store->EndRowEdit();  // A, B, N, C with N in slot 4
  store->SetRowNumber(1);
  store->EditRow();
  store->FieldAt(0).WriteText("pending");
  store->Close();
  EXPECT_EQ(StoreState::Inactive, store->State());
  EXPECT_TRUE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  ASSERT_NE(nullptr, store->HeldPacket());
  EXPECT_EQ("", Current());  // a closed store reads as null
  EXPECT_TRUE(store->FieldAt(0).ValueIsNull());

  store->OpenFromHeldPacket();
  EXPECT_EQ(nullptr, store->HeldPacket());
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_TRUE(store->AtStart());
  EXPECT_FALSE(store->AtEnd());
  EXPECT_EQ("A", Current());
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C", "N"}), Files());
  EXPECT_EQ(4u, Table().ChangeLog().size());
  EXPECT_EQ(4u, Table().LastSlot());
  // The content streams out whole while the store stays open.
  const std::vector<std::uint8_t> packet = testing_support::SavedPacket(*store);
  EXPECT_FALSE(packet.empty());
  EXPECT_EQ(StoreState::Browse, store->State());
}

TEST_F(StoreTest, OpeningAnEmptyTableSetsBothFlags) {
  store->Close();
  store->OpenFromHeldPacket();
  EXPECT_TRUE(store->AtStart());
  EXPECT_TRUE(store->AtEnd());
  EXPECT_EQ(0, store->RowCount());
}

TEST_F(StoreTest, APacketTheCodecRefusesLeavesTheStoreClosedWithItsPacket) {
  store->Close();
  store->SetHeldPacket({1, 2, 3});
  try {
    store->OpenFromHeldPacket();
    FAIL() << "no error";
  } catch (const EDBClient& e) {
    EXPECT_EQ(0x4005, e.Status());
    EXPECT_EQ("", e.Message());
  }
  EXPECT_EQ(StoreState::Inactive, store->State());
  ASSERT_NE(nullptr, store->HeldPacket());
  EXPECT_EQ(3u, store->HeldPacket()->size());
}

TEST_F(StoreTest, AFailingSerialisationIsReportedAndTheStoreIsClosed) {
  store->MoveLast();
  codec.stream_status = kStatusOutOfMemory;
  try {
    testing_support::SavedPacket(*store);
    FAIL() << "no error";
  } catch (const EDBClient& e) {
    EXPECT_EQ(0x2501, e.Status());
  }
  EXPECT_EQ(StoreState::Browse, store->State());
  EXPECT_THROW(store->Close(), EDBClient);
  EXPECT_EQ(StoreState::Inactive, store->State());
}

// --- Errors -----------------------------------------------------------------------------

std::string MessageOf(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const Exception& e) {
    return e.Message();
  }
  return "(no error)";
}

TEST_F(StoreTest, EveryMisuseRaisesItsText) {
  const std::string closed = "ClientDataSet1: データセットは閉じているため, この操作は実行できません";
  const std::string not_editing = "ClientDataSet1: データセットが編集または挿入モードではありません";
  EXPECT_EQ(not_editing, MessageOf([&] { store->CommitRow(); }));
  EXPECT_EQ(not_editing, MessageOf([&] { store->FieldAt(0).WriteText("x"); }));
  EXPECT_EQ(not_editing, MessageOf([&] {
              static_cast<TDateTimeField&>(store->FieldAt(3)).WriteDateTime(1.0);
            }));
  EXPECT_EQ("ClientDataSet1: 空のデータセットには, この操作は実行できません",
            MessageOf([&] { store->DeleteRow(); }));
  EXPECT_EQ("ClientDataSet1: データセットが開かれているため, この操作は実行できません",
            MessageOf([&] { store->CreateEmpty(); }));
  try {
    store->SetRowNumber(5);
    FAIL() << "no error";
  } catch (const EDBClient& e) {
    EXPECT_EQ(kStatusNoMore.Code(), e.Status());
  }

  store->Close();
  for (const auto& operation : std::vector<std::function<void()>>{
           [&] { store->EndRowEdit(); }, [&] { store->InsertRow(); },
           [&] { store->AppendRow(); }, [&] { store->EditRow(); },
           [&] { store->DeleteRow(); }, [&] { store->MoveFirst(); },
           [&] { store->MoveLast(); }, [&] { store->MoveRows(1); },
           [&] { store->SetRowNumber(1); }, [&] { store->RowCount(); },
           [&] { store->RowNumber(); }}) {
    EXPECT_EQ(closed, MessageOf(operation));
  }
  EXPECT_EQ(not_editing, MessageOf([&] { store->CommitRow(); }));
  EXPECT_EQ("(no error)", MessageOf([&] { store->DiscardRow(); }));
  EXPECT_EQ("(no error)", MessageOf([&] { store->Close(); }));

  store->ReleaseHeldPacket();
  EXPECT_EQ("ClientDataSet1: データプロバイダ/パケットがありません",
            MessageOf([&] { store->OpenFromHeldPacket(); }));

  // A table that a packet marked read-only refuses every change.
  TestPacketCodec fresh;
  std::unique_ptr<TClientDataSet> locked = MakeBackupEntryStore(&fresh);
  locked->CreateEmpty();
  locked->AppendRow();
  locked->FieldAt(0).WriteText("A");
  locked->CommitRow();
  locked->Table()->read_only = true;
  const std::string read_only = "ClientDataSet1: 書き込み禁止のデータは変更できません";
  EXPECT_EQ(read_only, MessageOf([&] { locked->EditRow(); }));
  EXPECT_EQ(read_only, MessageOf([&] { locked->InsertRow(); }));
  EXPECT_EQ(read_only, MessageOf([&] { locked->AppendRow(); }));
  EXPECT_EQ(read_only, MessageOf([&] { locked->DeleteRow(); }));
  EXPECT_EQ(StoreState::Browse, locked->State());
  EXPECT_EQ(1, locked->RowCount());
  locked->Table()->read_only = false;
  locked->FieldAt(1).SetReadOnly(true);
  locked->EditRow();
  EXPECT_EQ("項目 '保管場所' は変更できません",
            MessageOf([&] { locked->FieldAt(1).WriteText("x"); }));
  EXPECT_FALSE(locked->RowModified());

  TClientDataSet bare("ClientDataSet1", &codec);
  EXPECT_EQ("ClientDataSet1: 項目が定義されていません。データセットを作成できません。",
            MessageOf([&] { bare.CreateEmpty(); }));
  EXPECT_FALSE(bare.Active());
}

TEST_F(StoreTest, FieldsAreBoundToColumnsByNameAndKind) {
  std::vector<std::uint8_t> packet = testing_support::SavedPacket(*store);
  store->Close();

  TClientDataSet missing("ClientDataSet1", &codec);
  missing.AddField(std::make_unique<TStringField>("なし", 10));
  missing.SetHeldPacket(packet);
  EXPECT_EQ("ClientDataSet1: 項目 'なし' が見つかりません",
            MessageOf([&] { missing.OpenFromHeldPacket(); }));
  EXPECT_FALSE(missing.Active());
  EXPECT_NE(nullptr, missing.HeldPacket());

  TClientDataSet mismatch("ClientDataSet1", &codec);
  mismatch.AddField(std::make_unique<TDateTimeField>("結果"));
  mismatch.SetHeldPacket(packet);
  EXPECT_EQ("ClientDataSet1: 項目 '結果' の型が一致しません。DateTime に対して String が渡されました。",
            MessageOf([&] { mismatch.OpenFromHeldPacket(); }));
  EXPECT_FALSE(mismatch.Active());

  // Fields in another order than the columns still find their own column.
  TClientDataSet reordered("ClientDataSet1", &codec);
  reordered.AddField(std::make_unique<TStringField>("結果"));
  reordered.AddField(std::make_unique<TStringField>("バックアップファイル", 100));
  reordered.SetHeldPacket(packet);
  reordered.OpenFromHeldPacket();
  reordered.AppendRow();
  reordered.FieldAt(0).WriteText("ok");
  reordered.FieldAt(1).WriteText("C:\\a.txt");
  reordered.CommitRow();
  std::vector<std::uint8_t> image;
  ASSERT_EQ(kStatusOk, reordered.Table()->ReadSlot(1, image));
  EXPECT_EQ("C:\\a.txt", reordered.Table()->Layout().ReadString(image.data(), 0));
  EXPECT_EQ("ok", reordered.Table()->Layout().ReadString(image.data(), 2));
}

}  // namespace
}  // namespace quillset
