// The grid's keys over the real record store: an unchanged new row is
// dropped by Up (and by Down when it was inserted before a row), and the row
// current afterwards is the one the user sees above or below it. Ctrl+End
// leaves the end flag set through an insert, so the flag cannot tell an
// inserted row from an appended one.
#include "ui/grid_navigation.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "store/record_store.h"
#include "ui/store_grid_source.h"
#include "ui/testing/memory_grid_view.h"

namespace quillset {
namespace {

struct Press {
  GridKey key;
  bool ctrl = false;
};

class GridNavigationTest : public ::testing::Test {
 protected:
  GridNavigationTest() : store_(MakeBackupEntryStore(nullptr)), source_(*store_), nav_(source_, view_) {
    view_.Attach(nav_);
    store_->CreateEmpty();
    source_.SetWindowRows(view_.VisibleRows());
    for (const char* name : {"A", "B", "C", "D"}) {
      store_->AppendRow();
      store_->FieldAt(0).WriteText(name);
      store_->CommitRow();
    }
    nav_.SetReadOnly(false);
  }

  std::string Current() {
    if (store_->State() == StoreState::Insert) return "new row";
    return store_->FieldAt(0).ReadText();
  }

  std::unique_ptr<TClientDataSet> store_;
  StoreGridSource source_;
  testing_support::MemoryGridView view_;
  GridNavigation nav_;
};

TEST_F(GridNavigationTest, UpAndDownFromAnUnchangedNewRowGoToTheRowShownThere) {
  struct Case {
    const char* name;
    std::vector<Press> keys;
    const char* current;
  };
  const Press ctrl_end{GridKey::End, true};
  const Case cases[] = {
      {"Ctrl+End, Insert, Up", {ctrl_end, {GridKey::Insert}, {GridKey::Up}}, "C"},
      {"Ctrl+End, Insert, Down", {ctrl_end, {GridKey::Insert}, {GridKey::Down}}, "D"},
      {"Ctrl+End, Down appends, Up", {ctrl_end, {GridKey::Down}, {GridKey::Up}}, "D"},
      {"Ctrl+End, Down appends, Down", {ctrl_end, {GridKey::Down}, {GridKey::Down}}, "new row"},
      {"B, Insert, Up", {{GridKey::Down}, {GridKey::Insert}, {GridKey::Up}}, "A"},
      {"B, Insert, Down", {{GridKey::Down}, {GridKey::Insert}, {GridKey::Down}}, "B"},
  };
  for (const Case& c : cases) {
    store_->MoveFirst();
    for (const Press& press : c.keys) nav_.KeyDown(press.key, press.ctrl, false);
    EXPECT_EQ(Current(), c.current) << c.name;
    nav_.KeyDown(GridKey::Escape, false, false);
    EXPECT_EQ(store_->RowCount(), 4) << c.name << ": nothing stored";
  }
}

}  // namespace
}  // namespace quillset
