// The current-row flags after every kind of move that lands on the first or
// the last row: absolute (MoveFirst, MoveLast, SetRowNumber), relative
// (MoveRows), by a row mark, and the re-read after a delete, a commit or a
// discard. Each move starts where the flags it should change are set, so a
// flag left standing shows.
#include "store/record_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace quillset {
namespace {

struct FlagCase {
  const char* move;
  int rows;  // the store holds the rows "A", "B", ... in this order
  std::function<void(TClientDataSet&)> run;
  const char* current;  // the current row afterwards; "" for an empty view
  bool at_start;
  bool at_end;
};

// A mark of row k, taken on the way.
TDataSet::RowMark MarkOf(TClientDataSet& store, int k) {
  store.SetRowNumber(k);
  return store.MarkCurrentRow();
}

const FlagCase kFlagCases[] = {
    // Absolute.
    {"MoveFirst from the last row", 3, [](TClientDataSet& s) { s.MoveLast(); s.MoveFirst(); },
     "A", true, false},
    {"MoveLast from the first row", 3, [](TClientDataSet& s) { s.MoveFirst(); s.MoveLast(); },
     "C", false, true},
    {"MoveFirst on the only row", 1, [](TClientDataSet& s) { s.MoveLast(); s.MoveFirst(); },
     "A", true, false},
    {"MoveLast on the only row", 1, [](TClientDataSet& s) { s.MoveFirst(); s.MoveLast(); },
     "A", false, true},
    {"SetRowNumber from the last row to the first", 3,
     [](TClientDataSet& s) { s.MoveLast(); s.SetRowNumber(1); }, "A", false, false},
    {"SetRowNumber from the first row to the last", 3,
     [](TClientDataSet& s) { s.MoveFirst(); s.SetRowNumber(3); }, "C", false, false},
    {"SetRowNumber to the first row, current already", 3,
     [](TClientDataSet& s) { s.MoveFirst(); s.SetRowNumber(1); }, "A", true, false},
    {"SetRowNumber to the last row, current already", 3,
     [](TClientDataSet& s) { s.MoveLast(); s.SetRowNumber(3); }, "C", false, true},
    // Relative.
    {"MoveRows from the first row exactly to the last", 3,
     [](TClientDataSet& s) { s.MoveFirst(); s.MoveRows(2); }, "C", false, false},
    {"MoveRows from the last row exactly to the first", 3,
     [](TClientDataSet& s) { s.MoveLast(); s.MoveRows(-2); }, "A", false, false},
    {"MoveRows one step from the first row to the last", 2,
     [](TClientDataSet& s) { s.MoveFirst(); s.MoveRows(1); }, "B", false, false},
    {"MoveRows one step from the last row to the first", 2,
     [](TClientDataSet& s) { s.MoveLast(); s.MoveRows(-1); }, "A", false, false},
    {"MoveRows past the last row", 3,
     [](TClientDataSet& s) { s.MoveFirst(); s.MoveRows(5); }, "C", false, true},
    {"MoveRows past the first row", 3,
     [](TClientDataSet& s) { s.MoveLast(); s.MoveRows(-5); }, "A", true, false},
    {"MoveRows forward at the end does not move", 3,
     [](TClientDataSet& s) { s.MoveLast(); s.MoveRows(1); }, "C", false, true},
    {"MoveRows backward at the start does not move", 3,
     [](TClientDataSet& s) { s.MoveFirst(); s.MoveRows(-1); }, "A", true, false},
    // By a row mark.
    {"GoToMarkedRow from the last row to the first", 3,
     [](TClientDataSet& s) {
       const TDataSet::RowMark mark = MarkOf(s, 1);
       s.MoveLast();
       s.GoToMarkedRow(mark);
     },
     "A", false, false},
    {"GoToMarkedRow from the first row to the last", 3,
     [](TClientDataSet& s) {
       const TDataSet::RowMark mark = MarkOf(s, 3);
       s.MoveFirst();
       s.GoToMarkedRow(mark);
     },
     "C", false, false},
    // The re-read after a delete, a commit or a discard.
    {"DeleteRow of the first row", 3, [](TClientDataSet& s) { s.MoveFirst(); s.DeleteRow(); },
     "B", false, false},
    {"DeleteRow of the last row", 3, [](TClientDataSet& s) { s.MoveLast(); s.DeleteRow(); },
     "B", false, false},
    {"DeleteRow of the only row", 1, [](TClientDataSet& s) { s.MoveFirst(); s.DeleteRow(); },
     "", true, true},
    {"CommitRow of a row appended after the last", 2,
     [](TClientDataSet& s) {
       s.AppendRow();
       s.FieldAt(0).WriteText("N");
       s.CommitRow();
     },
     "N", false, false},
    {"DiscardRow of a row inserted before the first", 2,
     [](TClientDataSet& s) {
       s.MoveFirst();
       s.InsertRow();
       s.DiscardRow();
     },
     "A", false, false},
};

TEST(RecordStoreMovesTest, EveryMoveOntoTheFirstOrLastRowSetsBothFlags) {
  for (const FlagCase& c : kFlagCases) {
    SCOPED_TRACE(c.move);
    std::unique_ptr<TClientDataSet> store = MakeBackupEntryStore(nullptr);
    store->CreateEmpty();
    for (int i = 0; i < c.rows; ++i) {
      store->AppendRow();
      store->FieldAt(0).WriteText(std::string(1, static_cast<char>('A' + i)));
      store->CommitRow();
    }
    c.run(*store);
    EXPECT_EQ(store->ActiveWindowIndex() < 0 ? "" : store->FieldAt(0).ReadText(), c.current);
    EXPECT_EQ(store->AtStart(), c.at_start);
    EXPECT_EQ(store->AtEnd(), c.at_end);
  }
}

}  // namespace
}  // namespace quillset
