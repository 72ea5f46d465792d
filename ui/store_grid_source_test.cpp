// The grid's binding over the real record store: a click selects the entry
// shown in the row clicked; and the delete question: a timer tick that
// runs the backup while the question is open (the question's own message loop
// delivers it) moves the current row to the last, yet the row deleted on "OK"
// is the one the user asked about.
#include "ui/store_grid_source.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/testing/schedule_fixture.h"

namespace quillset {
namespace schedule_fixture {
namespace {

class DeleteQuestionTest : public FormTest {
 protected:
  DeleteQuestionTest() : source(form->ClientDataSet1()) {
    os.AddFolder("D:\\backup");
    for (const char* name : {"a", "b", "c"}) {
      const std::string file = std::string("C:\\data\\") + name + ".txt";
      os.AddFile(file, name);
      TClientDataSet& store = form->ClientDataSet1();
      store.AppendRow();
      form->ClientDataSet1Field().WriteText(file);
      form->ClientDataSet1Field1().WriteText("D:\\backup");
      store.EndRowEdit();
    }
    form->ScheduleMode = 1;  // every tick runs the backup
    form->TimerSetValue = "10";
  }

  // Ctrl+Delete's question: a tick comes while it is open, then `answer`.
  bool AskWithATickInside(bool answer) {
    return source.DeleteRowAfter([&] {
      form->Timer1Timer();
      return answer;
    });
  }

  std::vector<std::string> Files() {
    std::vector<std::string> files;
    TClientDataSet& store = form->ClientDataSet1();
    store.EndRowEdit();
    for (std::int32_t k = 1; k <= store.RowCount(); ++k) {
      store.SetRowNumber(k);
      files.push_back(form->ClientDataSet1Field().ReadText());
    }
    return files;
  }

  StoreGridSource source;
};

TEST_F(DeleteQuestionTest, ATickInsideTheQuestionStillDeletesTheRowAskedAbout) {
  form->ClientDataSet1().SetRowNumber(1);
  EXPECT_TRUE(AskWithATickInside(true));
  EXPECT_EQ(os.CopiesMade(), 3) << "the tick ran the backup";
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\data\\b.txt", "C:\\data\\c.txt"}));
  EXPECT_EQ(form->ClientDataSet1Field2().ReadText(), "バックアップ成功")
      << "the rows left keep the run's results";
}

TEST_F(DeleteQuestionTest, CancelDeletesNothingAfterATick) {
  form->ClientDataSet1().SetRowNumber(2);
  EXPECT_FALSE(AskWithATickInside(false));
  EXPECT_EQ(Files().size(), 3u);
}

TEST_F(DeleteQuestionTest, ARowBeingEditedIsDeletedAfterTheRunCommittedIt) {
  TClientDataSet& store = form->ClientDataSet1();
  store.SetRowNumber(2);
  store.EditRow();
  form->ClientDataSet1Field1().WriteText("E:\\elsewhere");
  EXPECT_TRUE(AskWithATickInside(true));
  EXPECT_EQ(Files(), (std::vector<std::string>{"C:\\data\\a.txt", "C:\\data\\c.txt"}));
}

TEST_F(DeleteQuestionTest, AnUnchangedNewRowDroppedByTheRunTakesNoOtherRowWithIt) {
  TClientDataSet& store = form->ClientDataSet1();
  store.SetRowNumber(2);
  store.InsertRow();  // Insert key in the grid: a new empty row, not changed
  EXPECT_FALSE(AskWithATickInside(true));
  EXPECT_EQ(Files().size(), 3u);
}

// A click acts on the entry shown in the row clicked, also when a new row
// the click ends (dropped unchanged, or placed) stands above it.
TEST_F(DeleteQuestionTest, AClickSelectsTheEntryShownWhateverTheNewRowPendingAboveIt) {
  TClientDataSet& store = form->ClientDataSet1();
  source.SetWindowRows(8);
  struct Case {
    const char* name;
    std::function<void()> start;  // leaves a new row pending
    int clicked;                  // window index of the row clicked
    const char* selected;
  };
  const Case cases[] = {
      {"Ctrl+End, Down appends; click b", [&] { store.MoveLast(); store.AppendRow(); }, 1, "b"},
      {"Insert before b; click b", [&] { store.SetRowNumber(2); store.InsertRow(); }, 2, "b"},
      {"Insert before b, typed; click c", [&] {
         store.SetRowNumber(2);
         store.InsertRow();
         form->ClientDataSet1Field().WriteText("n");
       }, 3, "c"},
  };
  for (const Case& c : cases) {
    c.start();
    source.SelectRow(c.clicked);
    EXPECT_EQ(form->ClientDataSet1Field().ReadText(), std::string("C:\\data\\") + c.selected + ".txt")
        << c.name;
    EXPECT_FALSE(store.AtEnd()) << c.name;
  }
}

}  // namespace
}  // namespace schedule_fixture
}  // namespace quillset
