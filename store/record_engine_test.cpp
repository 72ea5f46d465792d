// The record engine: slots, row statuses, the change log, the view and the
// cursor, and the packed slot storage behind them.
#include "store/testing/place_image.h"
#include "store/record_engine.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace quillset {
namespace {

std::vector<ColumnDescription> EntryColumns() {
  std::vector<ColumnDescription> columns(4);
  columns[0].name = "file";
  columns[0].width = 100;
  columns[1].name = "folder";
  columns[1].width = 100;
  columns[2].name = "result";
  columns[2].width = 20;
  columns[3].name = "time";
  columns[3].kind = ColumnKind::kDateTime;
  return columns;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kStatusOk, base.Create(EntryColumns())); }

  std::vector<std::uint8_t> Row(const std::string& file) {
    std::vector<std::uint8_t> image = base.Layout().NewImage();
    base.Layout().WriteString(image.data(), 0, file);
    return image;
  }
  std::string FileOfSlot(std::uint32_t slot) {
    std::vector<std::uint8_t> image;
    EXPECT_EQ(kStatusOk, base.ReadSlot(slot, image));
    return base.Layout().ReadString(image.data(), 0);
  }
  std::vector<std::string> ViewFiles() {
    std::vector<std::string> files;
    for (std::uint32_t p = 1; p <= base.DefaultOrder().Count(); ++p)
      files.push_back(FileOfSlot(base.DefaultOrder().SlotAt(p)));
    return files;
  }
  std::string CurrentFile(DSCursor& cursor) {
    std::vector<std::uint8_t> image;
    EXPECT_EQ(kStatusOk, cursor.ReadCurrentRow(image));
    return base.Layout().ReadString(image.data(), 0);
  }
  // Rows placed as a packet would place them (status 0), then the view.
  void PlaceRows(std::initializer_list<const char*> files) {
    for (const char* file : files) ASSERT_EQ(kStatusOk, PlaceImage(base, Row(file), RowStatusUnmodified));
    ASSERT_EQ(kStatusOk, base.BuildView());
  }

  DSBASE base;
};

TEST_F(EngineTest, BackupEntryImageIs235BytesWithStatusesAfterTheDataAreas) {
  const RecordLayout& layout = base.Layout();
  EXPECT_EQ(235u, layout.ImageSize());
  EXPECT_EQ(0u, layout.AreaOffset(0));
  EXPECT_EQ(101u, layout.AreaOffset(1));
  EXPECT_EQ(202u, layout.AreaOffset(2));
  EXPECT_EQ(223u, layout.AreaOffset(3));
  EXPECT_EQ(231u, layout.StatusOffset(0));
  std::vector<std::uint8_t> fresh = layout.NewImage();
  for (std::size_t c = 0; c < 4; ++c) EXPECT_EQ(FieldNull, layout.FieldStatus(fresh.data(), c));
}

TEST_F(EngineTest, CreateRefusesNoColumnsASecondCreateAndHugeLayouts) {
  DSBASE empty;
  EXPECT_EQ(kStatusBadPacket, empty.Create({}));
  EXPECT_EQ(kStatusInvalidArgument, base.Create(EntryColumns()));
  DSBASE huge;
  std::vector<ColumnDescription> columns(1);
  columns[0].kind = ColumnKind::kFixedBytes;
  columns[0].width = 1000;
  columns[0].elements = 1000000;
  EXPECT_EQ(kStatusBadType, huge.Create(columns));
  std::vector<std::uint8_t> image;
  EXPECT_EQ(kStatusInvalidArgument, base.ReadSlot(1, image));
}

TEST_F(EngineTest, ColumnNamesAreCutTo31Bytes) {
  DSBASE table;
  std::vector<ColumnDescription> columns(1);
  columns[0].name = std::string(40, 'n');
  ASSERT_EQ(kStatusOk, table.Create(columns));
  EXPECT_EQ(std::string(31, 'n'), table.Columns()[0].name);
}

TEST_F(EngineTest, NewRowLandsBeforeTheCursorRowOrLastFromAGap) {
  DSCursor cursor(base);
  // Empty view, cursor before the first row: the new row is the only one.
  ASSERT_EQ(kStatusOk, cursor.MoveToStart());
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("A")));
  // After the last row: last.
  ASSERT_EQ(kStatusOk, cursor.MoveToEnd());
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("B")));
  ASSERT_EQ(kStatusOk, cursor.MoveToEnd());
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("C")));
  EXPECT_EQ((std::vector<std::string>{"A", "B", "C"}), ViewFiles());

  // On C: the new row goes in front of it and becomes current.
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(3));
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("N")));
  EXPECT_EQ((std::vector<std::string>{"A", "B", "N", "C"}), ViewFiles());
  EXPECT_EQ("N", CurrentFile(cursor));
  std::uint32_t position = 0;
  EXPECT_EQ(kStatusOk, cursor.CurrentPosition(position));
  EXPECT_EQ(3u, position);
  EXPECT_EQ(4u, base.LastSlot());
  EXPECT_EQ(RowStatusInserted, base.SlotStatus(4));
  EXPECT_EQ(4u, base.VisibleCount());
  ASSERT_EQ(4u, base.ChangeLog().size());
  EXPECT_EQ((ChangeLogEntry{4, 0, kChangeInsert}), base.ChangeLog().back());
}

TEST_F(EngineTest, ChangingARowTwiceKeepsEveryVersionAndLogsEachChange) {
  PlaceRows({"A", "B", "C"});
  DSCursor cursor(base);
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(2));
  ASSERT_EQ(kStatusOk, cursor.StoreChangedRow(Row("B1")));
  ASSERT_EQ(kStatusOk, cursor.StoreChangedRow(Row("B2")));
  EXPECT_EQ(RowStatusOriginal, base.SlotStatus(2));
  EXPECT_EQ(RowStatusOriginal | RowStatusModified, base.SlotStatus(4));
  EXPECT_EQ(RowStatusModified, base.SlotStatus(5));
  EXPECT_EQ((std::vector<ChangeLogEntry>{{4, 2, kChangeModify}, {5, 4, kChangeModify}}),
            base.ChangeLog());
  EXPECT_EQ((std::vector<std::string>{"A", "B2", "C"}), ViewFiles());
  EXPECT_EQ("B", FileOfSlot(2));  // the old versions keep their values
  EXPECT_EQ("B1", FileOfSlot(4));
  EXPECT_EQ(3u, base.VisibleCount());
}

TEST_F(EngineTest, ChangingAnInsertedRowKeepsTheInsertedBit) {
  DSCursor cursor(base);
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("N")));
  ASSERT_EQ(kStatusOk, cursor.StoreChangedRow(Row("N1")));
  EXPECT_EQ(RowStatusInserted | RowStatusOriginal, base.SlotStatus(1));
  EXPECT_EQ(RowStatusInserted | RowStatusModified, base.SlotStatus(2));
  std::uint8_t status = 0xFF;
  EXPECT_EQ(kStatusOk, cursor.CurrentRowStatus(status));
  EXPECT_EQ(RowStatusInserted, status);
}

TEST_F(EngineTest, AnIdenticalImageStoresNothing) {
  PlaceRows({"A"});
  DSCursor cursor(base);
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(1));
  const std::uint32_t stamp = base.DefaultOrder().Stamp();
  EXPECT_EQ(kStatusOk, cursor.StoreChangedRow(Row("A")));
  EXPECT_EQ(1u, base.LastSlot());
  EXPECT_TRUE(base.ChangeLog().empty());
  EXPECT_EQ(stamp, base.DefaultOrder().Stamp());
  // Trailing spaces never reach the image, so "A  " is the same image too.
  EXPECT_EQ(kStatusOk, cursor.StoreChangedRow(Row("A  ")));
  EXPECT_EQ(1u, base.LastSlot());
}

TEST_F(EngineTest, RemovingRowsLeavesTheCursorWhereTheStoreFindsTheNextRow) {
  PlaceRows({"A", "B", "C"});
  DSCursor cursor(base);
  // The last of three: +1 runs past the end, -1 lands on the new last row.
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(3));
  ASSERT_EQ(kStatusOk, cursor.RemoveCurrentRow());
  std::vector<std::uint8_t> image;
  EXPECT_EQ(kStatusRemovedRow, cursor.ReadCurrentRow(image));
  EXPECT_EQ(kStatusNoMore, cursor.Step(+1));
  EXPECT_EQ(kStatusOk, cursor.Step(-1));
  EXPECT_EQ("B", CurrentFile(cursor));
  // A middle row: +1 lands on the row that followed it.
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(1));
  ASSERT_EQ(kStatusOk, cursor.RemoveCurrentRow());
  EXPECT_EQ(kStatusOk, cursor.Step(+1));
  EXPECT_EQ("B", CurrentFile(cursor));
  EXPECT_EQ(RowStatusDeleted, base.SlotStatus(3));
  EXPECT_EQ(RowStatusDeleted, base.SlotStatus(1));
  EXPECT_EQ(1u, base.VisibleCount());
  EXPECT_EQ((std::vector<ChangeLogEntry>{{3, 0, kChangeDelete}, {1, 0, kChangeDelete}}),
            base.ChangeLog());
  // Removing from a gap reports the gap.
  ASSERT_EQ(kStatusOk, cursor.MoveToEnd());
  EXPECT_EQ(kStatusNoMore, cursor.RemoveCurrentRow());
  EXPECT_EQ(kStatusNoMore, cursor.StoreChangedRow(Row("X")));
}

TEST_F(EngineTest, PositionsOutsideTheViewAreGaps) {
  PlaceRows({"A", "B"});
  DSCursor cursor(base);
  EXPECT_EQ(kStatusBeforeFirst, cursor.MoveToPosition(0));
  EXPECT_EQ(kStatusBeforeFirst, cursor.Step(-1));
  EXPECT_EQ(kStatusOk, cursor.Step(+1));
  EXPECT_EQ("A", CurrentFile(cursor));
  EXPECT_EQ(kStatusNoMore, cursor.MoveToPosition(3));
  EXPECT_EQ(kStatusNoMore, cursor.Step(+1));
  std::uint32_t position = 0;
  EXPECT_EQ(kStatusNoMore, cursor.CurrentPosition(position));
  EXPECT_EQ(kStatusOk, cursor.Step(-1));
  EXPECT_EQ("B", CurrentFile(cursor));
  std::uint32_t total = 0;
  EXPECT_EQ(kStatusOk, cursor.RowTotal(total));
  EXPECT_EQ(2u, total);
}

TEST_F(EngineTest, BookmarksFollowTheirRowThroughInsertsAndDeletes) {
  PlaceRows({"A", "B", "C"});
  DSCursor cursor(base);
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(3));
  DSBookmark on_c;
  ASSERT_EQ(kStatusOk, cursor.GetBookmark(on_c));
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(1));
  ASSERT_EQ(kStatusOk, cursor.StoreNewRow(Row("N")));  // N, A, B, C
  ASSERT_EQ(kStatusOk, cursor.GoToBookmark(on_c));
  EXPECT_EQ("C", CurrentFile(cursor));
  std::uint32_t position = 0;
  EXPECT_EQ(kStatusOk, cursor.CurrentPosition(position));
  EXPECT_EQ(4u, position);
  // A bookmark of a deleted row sends the cursor to the start.
  ASSERT_EQ(kStatusOk, cursor.RemoveCurrentRow());
  EXPECT_EQ(kStatusOk, cursor.GoToBookmark(on_c));
  EXPECT_EQ(kStatusBeforeFirst, cursor.GapState());
}

TEST_F(EngineTest, ACursorFindsItsRowAgainAfterAnotherCursorChangedTheView) {
  PlaceRows({"A", "B", "C"});
  DSCursor reader(base);
  DSCursor writer(base);
  ASSERT_EQ(kStatusOk, reader.MoveToPosition(3));
  ASSERT_EQ(kStatusOk, writer.MoveToPosition(1));
  ASSERT_EQ(kStatusOk, writer.RemoveCurrentRow());
  EXPECT_EQ("C", CurrentFile(reader));
  std::uint32_t position = 0;
  EXPECT_EQ(kStatusOk, reader.CurrentPosition(position));
  EXPECT_EQ(2u, position);
  // The reader's own row removed by the other cursor: a removed-row gap.
  ASSERT_EQ(kStatusOk, writer.MoveToPosition(2));
  ASSERT_EQ(kStatusOk, writer.RemoveCurrentRow());
  std::vector<std::uint8_t> image;
  EXPECT_EQ(kStatusRemovedRow, reader.ReadCurrentRow(image));
}

TEST_F(EngineTest, PlacedRowsKeepTheirStatusesAndOnlyVisibleOnesFormTheView) {
  const std::uint8_t statuses[] = {RowStatusInserted | RowStatusOriginal,
                                   RowStatusInserted | RowStatusModified, RowStatusDeleted,
                                   RowStatusUnused, RowStatusUnmodified};
  for (std::uint8_t status : statuses) ASSERT_EQ(kStatusOk, PlaceImage(base, Row("r"), status));
  EXPECT_TRUE(base.ChangeLog().empty());
  EXPECT_EQ(0u, base.DefaultOrder().Count());  // the view waits for BuildView
  ASSERT_EQ(kStatusOk, base.BuildView());
  EXPECT_EQ(2u, base.VisibleCount());
  ASSERT_EQ(2u, base.DefaultOrder().Count());
  EXPECT_EQ(2u, base.DefaultOrder().SlotAt(1));
  EXPECT_EQ(5u, base.DefaultOrder().SlotAt(2));
  for (std::uint32_t s = 1; s <= 5; ++s) EXPECT_EQ(statuses[s - 1], base.SlotStatus(s));
  EXPECT_EQ(RowStatusUnused, base.SlotStatus(6));
  base.SetChangeLog({{1, 0, kChangeInsert}, {2, 1, kChangeModify}});
  EXPECT_EQ(2u, base.ChangeLog().size());
}

TEST_F(EngineTest, RowsPlacedFromValuesReadBackAsTheImageTheyDescribe) {
  const std::string file = "C:\\data\\a.txt";
  const std::string folder = "D:\\bak";
  const FieldBytes values[4] = {
      {reinterpret_cast<const std::uint8_t*>(file.data()), static_cast<std::uint32_t>(file.size()), 0},
      {reinterpret_cast<const std::uint8_t*>(folder.data()), static_cast<std::uint32_t>(folder.size()), 0},
      {nullptr, 0, FieldNull},
      {nullptr, 0, FieldNull}};
  ASSERT_EQ(kStatusOk, base.PlaceRowValues(values, 4, RowStatusInserted));
  std::vector<std::uint8_t> expected = Row(file);
  base.Layout().WriteString(expected.data(), 1, folder);
  std::vector<std::uint8_t> placed;
  ASSERT_EQ(kStatusOk, base.ReadSlot(1, placed));
  EXPECT_EQ(expected, placed);
  EXPECT_EQ(RowStatusInserted, base.SlotStatus(1));

  // A value longer than its column's area, or a wrong column count, places nothing.
  const std::string too_long(200, 'x');
  FieldBytes bad[4] = {values[0], values[1], values[2], values[3]};
  bad[2] = {reinterpret_cast<const std::uint8_t*>(too_long.data()), 200, 0};
  EXPECT_EQ(kStatusInvalidArgument, base.PlaceRowValues(bad, 4, RowStatusUnmodified));
  EXPECT_EQ(kStatusInvalidArgument, base.PlaceRowValues(values, 3, RowStatusUnmodified));
  EXPECT_EQ(1u, base.LastSlot());
}

TEST_F(EngineTest, TableFlagsRefuseChangesAndLoggingOffKeepsNoLog) {
  PlaceRows({"A", "B"});
  DSCursor cursor(base);
  ASSERT_EQ(kStatusOk, cursor.MoveToPosition(1));
  base.read_only = true;
  EXPECT_EQ(kStatusReadOnly, cursor.StoreNewRow(Row("N")));
  EXPECT_EQ(kStatusReadOnly, cursor.StoreChangedRow(Row("X")));
  EXPECT_EQ(kStatusReadOnly, cursor.RemoveCurrentRow());
  base.read_only = false;
  base.disable_deletes = true;
  EXPECT_EQ(kStatusDeletesDisabled, cursor.RemoveCurrentRow());
  base.disable_deletes = false;
  EXPECT_EQ(2u, base.LastSlot());

  base.logging_on = false;
  ASSERT_EQ(kStatusOk, cursor.StoreChangedRow(Row("A1")));
  EXPECT_EQ(RowStatusUnused, base.SlotStatus(1));
  EXPECT_EQ(RowStatusUnmodified, base.SlotStatus(3));
  ASSERT_EQ(kStatusOk, cursor.RemoveCurrentRow());
  EXPECT_TRUE(base.ChangeLog().empty());
  EXPECT_EQ(1u, base.VisibleCount());
}

TEST_F(EngineTest, SideValuesKeepTheirBytes) {
  const std::uint32_t id = base.StoreSideValue({1, 2, 3});
  EXPECT_EQ((std::vector<std::uint8_t>{1, 2, 3}), base.SideValue(id));
  EXPECT_TRUE(base.SideValue(0).empty());
  EXPECT_TRUE(base.SideValue(id + 1).empty());
  EXPECT_TRUE(base.ErrorText(kStatusInvalidArgument).empty());
}

// Every image comes back byte for byte, whatever its content: values shared
// with earlier rows, odd status bytes, areas full to the last byte, records
// across chunk boundaries.
TEST(RowArenaTest, EveryStoredImageReadsBackExactly) {
  std::vector<ColumnDescription> columns = EntryColumns();
  columns.push_back(ColumnDescription{});
  columns.back().kind = ColumnKind::kFixedBytes;
  columns.back().width = 300;
  const RecordLayout layout(columns);
  RowArena arena(layout, columns);
  std::mt19937 random(7);
  const std::vector<std::string> common = {"C:\\data\\report.xls", "D:\\backup\\folder",
                                           "バックアップ成功", "12345678"};
  std::vector<std::vector<std::uint8_t>> images;
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> image(layout.ImageSize());
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const std::uint32_t kind = random() % 4;
      std::uint8_t* area = image.data() + layout.AreaOffset(c);
      if (kind == 0) {
        const std::string& text = common[random() % common.size()];
        std::copy(text.begin(), text.begin() + std::min<std::size_t>(text.size(), layout.AreaSize(c)), area);
      } else if (kind == 1) {
        for (std::uint32_t b = 0; b < layout.AreaSize(c); ++b) area[b] = static_cast<std::uint8_t>(random());
      } else if (kind == 2) {
        area[random() % layout.AreaSize(c)] = 0x20;
      }
      image[layout.StatusOffset(c)] = static_cast<std::uint8_t>(random() % 5 == 0 ? random() : random() % 3);
    }
    images.push_back(image);
    ASSERT_EQ(static_cast<std::uint32_t>(i), arena.Append(image.data()));
  }
  std::vector<std::uint8_t> read(layout.ImageSize());
  for (std::uint32_t i = 0; i < images.size(); ++i) {
    arena.Read(i, read.data());
    ASSERT_EQ(images[i], read) << "image " << i;
    ASSERT_TRUE(arena.Equals(i, images[i].data()));
  }
  std::vector<std::uint8_t> other = images[5];
  other[layout.StatusOffset(0)] ^= 1;
  EXPECT_FALSE(arena.Equals(5, other.data()));
}

}  // namespace
}  // namespace quillset
