// The table side of the packet: the record store saved into the program's
// files byte for byte, read back with slots, statuses and change log, packets
// built by hand with every kind of column, and packets the table refuses.
#include "store/testing/place_image.h"
#include "datafile/table_packet.h"

#include <gtest/gtest.h>

#include <cstring>

#include "datafile/little_endian.h"
#include "datafile/table_packet_test_support.h"
#include "store/testing/saved_packet.h"

namespace quillset {
namespace {

using namespace testing_support;


class StorePacketTest : public ::testing::Test {
 protected:
  BinaryPacketCodec codec_;
  std::unique_ptr<TClientDataSet> store_ = MakeBackupEntryStore(&codec_);
};

TEST_F(StorePacketTest, TheStoreWritesTheProgramsFilesByteForByte) {
  store_->CreateEmpty();
  EXPECT_EQ(ToHex(testing_support::SavedPacket(*store_)), ToHex(testing_support::EmptyListFile()));
  AddEntry(*store_, "C:\\data\\a.txt", "D:\\bak");
  store_->EndRowEdit();
  EXPECT_EQ(ToHex(testing_support::SavedPacket(*store_)), ToHex(testing_support::OneEntryFile()));
  BackupRun(*store_, "バックアップ成功", testing_support::BackupRunTime());
  store_->EndRowEdit();
  EXPECT_EQ(ToHex(testing_support::SavedPacket(*store_)), ToHex(testing_support::AfterBackupRunFile()));
}

TEST_F(StorePacketTest, ReadingBackRestoresRowsStatusesAndLogAndWritesTheSameBytes) {
  for (const Bytes& file : {testing_support::EmptyListFile(), testing_support::OneEntryFile(),
                            testing_support::AfterBackupRunFile()}) {
    auto store = MakeBackupEntryStore(&codec_);
    store->SetHeldPacket(file);
    store->OpenFromHeldPacket();
    EXPECT_EQ(ToHex(testing_support::SavedPacket(*store)), ToHex(file));
  }
  store_->SetHeldPacket(testing_support::AfterBackupRunFile());
  store_->OpenFromHeldPacket();
  DSBASE& table = *store_->Table();
  ASSERT_EQ(table.LastSlot(), 2u);
  EXPECT_EQ(table.SlotStatus(1), 0x05);
  EXPECT_EQ(table.SlotStatus(2), 0x0C);
  const std::vector<ChangeLogEntry> log = {{1, 0, 4}, {2, 1, 8}};
  EXPECT_EQ(table.ChangeLog(), log);
  EXPECT_EQ(store_->RowCount(), 1);
  EXPECT_EQ(store_->FieldAt(0).ReadText(), "C:\\data\\a.txt");
  EXPECT_EQ(store_->FieldAt(2).ReadText(), "バックアップ成功");
  EXPECT_DOUBLE_EQ(static_cast<TDateTimeField&>(store_->FieldAt(3)).ReadDateTime(),
                   testing_support::BackupRunTime());
}

TEST_F(StorePacketTest, EveryVersionSurvivesSaveAndReloadInSlotOrder) {
  store_->CreateEmpty();
  AddEntry(*store_, "A", "x");
  AddEntry(*store_, "B", "x");
  AddEntry(*store_, "C", "x");   // lands before the last row: view A, C, B
  store_->EndRowEdit();
  store_->SetRowNumber(1);
  store_->EditRow();
  store_->FieldAt(2).WriteText("");  // an empty, non-null text
  store_->EndRowEdit();
  store_->SetRowNumber(2);
  store_->DeleteRow();
  const Bytes saved = testing_support::SavedPacket(*store_);

  auto reloaded = MakeBackupEntryStore(&codec_);
  reloaded->SetHeldPacket(saved);
  reloaded->OpenFromHeldPacket();
  DSBASE& before = *store_->Table();
  DSBASE& after = *reloaded->Table();
  ASSERT_EQ(after.LastSlot(), before.LastSlot());
  for (std::uint32_t slot = 1; slot <= before.LastSlot(); ++slot) {
    EXPECT_EQ(after.SlotStatus(slot), before.SlotStatus(slot)) << slot;
    std::vector<std::uint8_t> a, b;
    ASSERT_EQ(before.ReadSlot(slot, a), kStatusOk);
    ASSERT_EQ(after.ReadSlot(slot, b), kStatusOk);
    EXPECT_EQ(a, b) << slot;
  }
  EXPECT_EQ(after.ChangeLog(), before.ChangeLog());
  // The view was B', A; after the reload rows stand in slot order: A (slot
  // 1), then B' (slot 4, with its empty but present result).
  ASSERT_EQ(reloaded->RowCount(), 2);
  reloaded->SetRowNumber(1);
  EXPECT_EQ(reloaded->FieldAt(0).ReadText(), "A");
  EXPECT_TRUE(reloaded->FieldAt(2).ValueIsNull());
  reloaded->SetRowNumber(2);
  EXPECT_EQ(reloaded->FieldAt(0).ReadText(), "B");
  EXPECT_FALSE(reloaded->FieldAt(2).ValueIsNull());
  EXPECT_EQ(reloaded->FieldAt(2).ReadText(), "");
  EXPECT_EQ(testing_support::SavedPacket(*reloaded), saved);
}

TEST(TablePacketTest, UnknownPropertiesSurviveALoadAndASave) {
  const Bytes custom = {7, 0};
  HandPacket hand({{"name", 0x00490001, {{"WIDTH", kWidth5}, {"Colour", custom}}},
                   {"count", 0x00010004, {{"Unit", custom}}}});
  hand.TableProperty("READONLY", 0x00030002, {1, 0});
  hand.TableProperty("MyNote", 0x00490001, {3, 'a', 'b', 'c'});
  const Bytes packet = hand.Row(0, {"abc", std::string("\x01\0\0\0", 4)}).Finish();

  DSBASE table;
  ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
  ASSERT_EQ(table.Columns().size(), 2u);
  EXPECT_EQ(table.Columns()[0].width, 5u);
  ASSERT_EQ(table.Columns()[0].kept_properties.size(), 1u);
  EXPECT_EQ(table.Columns()[0].kept_properties[0].name, "Colour");
  EXPECT_TRUE(table.read_only);
  ASSERT_EQ(table.KeptTableProperties().size(), 2u);
  Bytes saved;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, saved), kStatusOk);
  EXPECT_EQ(ToHex(saved), ToHex(packet));
}

TEST(TablePacketTest, PropertyNamesMatchWithoutCaseAndLongTextIsCutToTheWidth) {
  const Bytes packet = HandPacket({{"name", 0x00490001, {{"width", kWidth5}}}})
                           .Row(0, {"abcdefgh"})
                           .Finish();
  DSBASE table;
  ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
  EXPECT_EQ(table.Columns()[0].width, 5u);
  EXPECT_TRUE(table.Columns()[0].kept_properties.empty());
  std::vector<std::uint8_t> image;
  ASSERT_EQ(table.ReadSlot(1, image), kStatusOk);
  EXPECT_EQ(table.Layout().ReadString(image.data(), 0), "abcde");
}

TEST(TablePacketTest, ManyLongAndShortTextsReadBackExactly) {
  // Texts of up to 400 bytes over many rows fill several of the store's
  // chunks; repeated folders are shared, texts stop at a zero byte at any
  // place, and a save and a reload give the same rows again.
  const Bytes width400 = {0x90, 0x01}, width20 = {20, 0};
  HandPacket hand({{"path", 0x00490002, {{"WIDTH", width400}}},
                   {"folder", 0x00490002, {{"WIDTH", width400}}},
                   {"short", 0x00490001, {{"WIDTH", width20}}}});
  std::vector<std::vector<std::string>> expected;
  for (int i = 0; i < 900; ++i) {
    std::string path(100 + (i * 37) % 300, static_cast<char>('a' + i % 26));
    path += std::to_string(i);
    const std::string folder = "D:\\backup\\" + std::string(140, 'f') + std::to_string(i % 5);
    // Never empty: the text form cannot carry an empty, non-null text.
    std::string text(2 + i % 17, 'x');
    hand.Row(0, {path, folder, text});
    expected.push_back({path.substr(0, 400), folder, text});
  }
  const Bytes packet = hand.Finish();
  DSBASE table;
  ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
  ASSERT_EQ(table.LastSlot(), expected.size());
  std::vector<std::uint8_t> image;
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    ASSERT_EQ(table.ReadSlot(slot, image), kStatusOk);
    for (std::size_t c = 0; c < 3; ++c)
      EXPECT_EQ(table.Layout().ReadString(image.data(), c), expected[slot - 1][c])
          << "slot " << slot << " column " << c;
  }
  Bytes saved;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, saved), kStatusOk);
  DSBASE reloaded;
  ASSERT_EQ(AppendPacket(reloaded, saved.data(), saved.size()), kStatusOk);
  std::vector<std::uint8_t> again;
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    ASSERT_EQ(table.ReadSlot(slot, image), kStatusOk);
    ASSERT_EQ(reloaded.ReadSlot(slot, again), kStatusOk);
    EXPECT_EQ(image, again) << "slot " << slot;
  }
  // The text form takes the same rows through its own reader.
  Bytes text_form;
  ASSERT_EQ(StreamPacket(table, PacketForm::kText, text_form), kStatusOk);
  DSBASE from_text;
  ASSERT_EQ(AppendPacket(from_text, text_form.data(), text_form.size()), kStatusOk);
  ASSERT_EQ(from_text.LastSlot(), table.LastSlot());
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    ASSERT_EQ(table.ReadSlot(slot, image), kStatusOk);
    ASSERT_EQ(from_text.ReadSlot(slot, again), kStatusOk);
    EXPECT_EQ(image, again) << "slot " << slot;
  }
}

TEST(TablePacketTest, ChangeLogOfOneTwoAndSevenWords) {
  for (std::size_t words : {1u, 2u}) {
    const Bytes packet = HandPacket({{"name", 0x00490001, {{"WIDTH", kWidth5}}}})
                             .TableProperty("CHANGE_LOG", kTypeChangeLog,
                                            Words(std::vector<std::uint32_t>(words, 1)))
                             .Finish();
    DSBASE table;
    EXPECT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusInvalidArgument) << words;
  }
  const Bytes seven = HandPacket({{"name", 0x00490001, {{"WIDTH", kWidth5}}}})
                          .TableProperty("CHANGE_LOG", kTypeChangeLog,
                                         Words({1, 0, 4, 2, 1, 8, 9}))
                          .Row(0x05, {"a"})
                          .Row(0x0C, {"b"})
                          .Finish();
  DSBASE table;
  ASSERT_EQ(AppendPacket(table, seven.data(), seven.size()), kStatusOk);
  const std::vector<ChangeLogEntry> log = {{1, 0, 4}, {2, 1, 8}};
  EXPECT_EQ(table.ChangeLog(), log);
  // 16-bit words are not a change log.
  Bytes short_words = {3, 0, 0, 0, 1, 0, 0, 0, 4, 0};
  const Bytes bad = HandPacket({{"name", 0x00490001, {{"WIDTH", kWidth5}}}})
                        .TableProperty("change_log", kTypeKeyList, short_words)
                        .Finish();
  DSBASE other;
  EXPECT_EQ(AppendPacket(other, bad.data(), bad.size()), kStatusInvalidArgument);
}

TEST(TablePacketTest, PacketsTheTableRefuses) {
  // No metadata flag.
  Bytes packet = testing_support::OneEntryFile();
  StoreU32(packet.data() + 18, 0x0002);
  DSBASE a;
  EXPECT_EQ(AppendPacket(a, packet.data(), packet.size()), kStatusNoMetadata);
  // No columns.
  const Bytes empty = FromHex("96 19 E0 BD 01 00 00 00 18 00 00 00 00 00 00 00 00 00 03 00 00 00 1A 00 00 00");
  DSBASE b;
  EXPECT_EQ(AppendPacket(b, empty.data(), empty.size()), kStatusBadPacket);
  EXPECT_FALSE(b.Created());
  // A varying text without its WIDTH.
  const Bytes no_width = HandPacket({{"name", 0x00490001, {}}}).Finish();
  DSBASE c;
  EXPECT_EQ(AppendPacket(c, no_width.data(), no_width.size()), kStatusInvalidArgument);
  // An unknown type: base 0, and a float of width 4.
  for (TypeCode type : {TypeCode{0x00000004}, TypeCode{0x00040004}}) {
    Bytes bad = testing_support::EmptyListFile();
    StoreU32(bad.data() + 24 + 21, type);
    DSBASE d;
    EXPECT_EQ(AppendPacket(d, bad.data(), bad.size()), kStatusBadType);
  }
  // No bytes at all.
  DSBASE e;
  EXPECT_EQ(AppendPacket(e, nullptr, 0), kStatusBadPacket);
  // A table built once takes no second packet.
  DSBASE f;
  const Bytes file = testing_support::EmptyListFile();
  ASSERT_EQ(AppendPacket(f, file.data(), file.size()), kStatusOk);
  EXPECT_EQ(AppendPacket(f, file.data(), file.size()), kStatusNoReader);
}

TEST(TablePacketTest, FixedWidthTextAndArrayColumnsAreReadAndWrittenBack) {
  const Bytes packet = FixedTextAndArraysPacket();
  DSBASE table;
  ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
  const auto& columns = table.Columns();
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0].kind, ColumnKind::kString);
  EXPECT_EQ(columns[0].width, 8u);
  EXPECT_EQ(columns[1].kind, ColumnKind::kInt16);
  EXPECT_EQ(columns[1].elements, 3u);
  EXPECT_EQ(columns[2].kind, ColumnKind::kString);
  EXPECT_EQ(columns[2].width, 4u);
  EXPECT_EQ(columns[2].elements, 3u);
  std::vector<std::uint8_t> image;
  ASSERT_EQ(table.ReadSlot(1, image), kStatusOk);
  const RecordLayout& layout = table.Layout();
  EXPECT_EQ(layout.ReadString(image.data(), 0), "AB12");  // up to its first zero
  const std::uint8_t* counts = layout.Area(image.data(), 1);
  EXPECT_EQ(LoadU32(counts), 2u);
  EXPECT_EQ(LoadU16(counts + 4), 7);
  EXPECT_EQ(LoadU16(counts + 6), 0xFFFF);
  EXPECT_EQ(LoadU16(counts + 8), 0);  // the third element is not there
  const std::uint8_t* tags = layout.Area(image.data(), 2);
  EXPECT_EQ(LoadU32(tags), 2u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tags + 4)), "ab");  // 5-byte element areas
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tags + 9)), "wxyz");

  // Written back: the text as the program writes texts, the arrays as they
  // came with their ELEMENTS; read again, the same row.
  Bytes saved;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, saved), kStatusOk);
  DSBASE again;
  ASSERT_EQ(AppendPacket(again, saved.data(), saved.size()), kStatusOk);
  std::vector<std::uint8_t> image_again;
  ASSERT_EQ(again.ReadSlot(1, image_again), kStatusOk);
  EXPECT_EQ(image_again, image);
  EXPECT_EQ(again.Columns()[2].elements, 3u);
  Bytes saved_again;
  ASSERT_EQ(StreamPacket(again, PacketForm::kBinary, saved_again), kStatusOk);
  EXPECT_EQ(ToHex(saved_again), ToHex(saved));
}

TEST(TablePacketTest, ArrayColumnsThatDoNotFitAreRefused) {
  // More elements than ELEMENTS allows.
  const Bytes three = FromHex("03 00 00 00 01 00 02 00 03 00");
  const Bytes too_many = FixedTextAndArraysPacket({2, 0}, three);
  DSBASE a;
  EXPECT_EQ(AppendPacket(a, too_many.data(), too_many.size()), kStatusInvalidArgument);
  EXPECT_FALSE(a.Created() && a.LastSlot() > 0);
  const Bytes too_many_texts = FixedTextAndArraysPacket(
      {2, 0}, FromHex("01 00 00 00 07 00"), Ascii4(std::string("abcdefghijkl", 12)));
  DSBASE a2;
  EXPECT_EQ(AppendPacket(a2, too_many_texts.data(), too_many_texts.size()),
            kStatusInvalidArgument);
  // No ELEMENTS at all: nothing tells how much room the column needs.
  const Bytes no_elements = FixedTextAndArraysPacket({0, 0});
  DSBASE b;
  EXPECT_EQ(AppendPacket(b, no_elements.data(), no_elements.size()), kStatusInvalidArgument);
  // An element count the bytes cannot back, cut anywhere: refused, never read past.
  Bytes huge = FixedTextAndArraysPacket();
  const std::size_t first_row = LoadU16(huge.data() + 22);
  StoreU32(huge.data() + first_row + 2 + 8, 0x7FFFFFFF);  // the counts' element count
  DSBASE c;
  EXPECT_EQ(AppendPacket(c, huge.data(), huge.size()), kStatusBadPacket);
  const Bytes full = FixedTextAndArraysPacket();
  for (std::size_t cut = first_row; cut < full.size(); ++cut) {
    const Bytes part(full.begin(), full.begin() + cut);
    DSBASE d;
    EXPECT_NE(AppendPacket(d, part.data(), part.size()), kStatusOk) << "cut at " << cut;
  }
  // Arrays of varying values and a fixed text of width 0 cannot be laid out.
  for (TypeCode type : {TypeCode{0x00C90001}, TypeCode{0x00090000}, TypeCode{0x008B0004 | 0x00400000}}) {
    Bytes bad = testing_support::EmptyListFile();
    StoreU32(bad.data() + 24 + 21, type);
    DSBASE e;
    EXPECT_EQ(AppendPacket(e, bad.data(), bad.size()), kStatusBadType) << std::hex << type;
  }
}

TEST(TablePacketTest, ATableThatCannotBeWritten) {
  DSBASE no_columns;
  Bytes out;
  EXPECT_EQ(StreamPacket(no_columns, PacketForm::kBinary, out), kStatusBadPacket);
  DSBASE row_state;
  ColumnDescription column;
  column.name = "RowState";
  column.kind = ColumnKind::kInt32;
  ASSERT_EQ(row_state.Create({column}), kStatusOk);
  EXPECT_EQ(StreamPacket(row_state, PacketForm::kBinary, out), kStatusOutOfOrder);
}

TEST(TablePacketTest, RowsReadInPlaceMatchTheirImagesAndSaveAsTheyReadBack) {
  // Every kind of value the store keeps, over enough rows to fill several of
  // its chunks, so that records and shared texts lie across chunk borders:
  // texts and bytes with zero bytes at their end, null and unchanged fields.
  std::vector<ColumnDescription> columns(8);
  const ColumnKind kinds[] = {ColumnKind::kString,   ColumnKind::kWideString, ColumnKind::kVarBytes,
                              ColumnKind::kInt32,    ColumnKind::kDateTime,   ColumnKind::kBcd,
                              ColumnKind::kFixedBytes, ColumnKind::kBlob};
  const std::uint32_t widths[] = {300, 40, 64, 0, 0, 32, 12, 0};
  for (std::size_t c = 0; c < columns.size(); ++c) {
    columns[c].name = "c" + std::to_string(c);
    columns[c].kind = kinds[c];
    columns[c].width = widths[c];
  }
  DSBASE table;
  ASSERT_EQ(table.Create(columns), kStatusOk);
  const RecordLayout& layout = table.Layout();
  std::vector<std::uint8_t> image = layout.NewImage();
  for (int i = 0; i < 3000; ++i) {
    layout.InitImage(image.data());
    layout.WriteString(image.data(), 0, "C:\\folder\\" + std::string(20 + i % 250, 'p') +
                                            std::to_string(i % 7));
    std::uint8_t wide[42] = {};
    const std::uint16_t wide_length = static_cast<std::uint16_t>(2 * (i % 20));
    StoreU16(wide, wide_length);
    for (int b = 0; b < wide_length; b += 2) wide[2 + b] = static_cast<std::uint8_t>('a' + b % 26);
    layout.WriteBytes(image.data(), 1, wide, sizeof wide);
    std::uint8_t bytes[66] = {};
    const std::uint16_t bytes_length = static_cast<std::uint16_t>(i % 60);
    StoreU16(bytes, bytes_length);
    for (int b = 0; b < bytes_length / 2; ++b) bytes[2 + b] = static_cast<std::uint8_t>(b + i);
    layout.WriteBytes(image.data(), 2, bytes, sizeof bytes);  // the value ends in zeros
    std::uint8_t number[4];
    StoreU32(number, static_cast<std::uint32_t>(i % 3 == 0 ? 0 : i * 2654435761u));
    layout.WriteBytes(image.data(), 3, number, 4);
    const double when = 63932247600000.0 + i * 1000.0;  // 2026-12-06 13:40:00 on
    layout.WriteBytes(image.data(), 4, &when, 8);
    const std::uint8_t bcd[18] = {static_cast<std::uint8_t>(i % 11), 2};
    layout.WriteBytes(image.data(), 5, bcd, i % 5 == 0 ? 0 : 18);
    const std::uint8_t fixed[12] = {static_cast<std::uint8_t>(i), 0, 0, 7};
    layout.WriteBytes(image.data(), 6, fixed, 12);
    std::uint8_t side[4];
    StoreU32(side, table.StoreSideValue(std::vector<std::uint8_t>(i % 9, static_cast<std::uint8_t>(i))));
    layout.WriteBytes(image.data(), 7, side, 4);
    if (i % 4 == 1) layout.WriteNull(image.data(), static_cast<std::size_t>(i % 8));
    if (i % 6 == 2) layout.SetFieldStatus(image.data(), static_cast<std::size_t>((i + 3) % 8), FieldNotChanged);
    ASSERT_EQ(PlaceImage(table, image, i % 10 == 0 ? 0x04 : 0x0C), kStatusOk);
  }

  // Read in place: each column's status and stored bytes, zeros after them.
  std::vector<FieldBytes> values(columns.size());
  std::vector<std::uint8_t> scratch;
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    ASSERT_EQ(table.ReadSlot(slot, image), kStatusOk);
    ASSERT_EQ(table.ReadSlotValues(slot, values.data(), scratch), kStatusOk);
    for (std::size_t c = 0; c < columns.size(); ++c) {
      ASSERT_EQ(values[c].status, layout.FieldStatus(image.data(), c)) << slot << " " << c;
      ASSERT_LE(values[c].length, layout.AreaSize(c));
      std::vector<std::uint8_t> area(layout.AreaSize(c), 0);
      if (values[c].length > 0) std::memcpy(area.data(), values[c].bytes, values[c].length);
      const std::uint8_t* expected = image.data() + layout.AreaOffset(c);
      ASSERT_EQ(area, std::vector<std::uint8_t>(expected, expected + layout.AreaSize(c)))
          << "slot " << slot << " column " << c;
    }
  }
  EXPECT_NE(table.ReadSlotValues(0, values.data(), scratch), kStatusOk);
  EXPECT_NE(table.ReadSlotValues(table.LastSlot() + 1, values.data(), scratch), kStatusOk);

  // Saved, reloaded and saved again: the same rows and the same bytes.
  Bytes saved;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, saved), kStatusOk);
  DSBASE reloaded;
  ASSERT_EQ(AppendPacket(reloaded, saved.data(), saved.size()), kStatusOk);
  ASSERT_EQ(reloaded.LastSlot(), table.LastSlot());
  std::vector<std::uint8_t> again;
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    ASSERT_EQ(table.ReadSlot(slot, image), kStatusOk);
    ASSERT_EQ(reloaded.ReadSlot(slot, again), kStatusOk);
    ASSERT_EQ(reloaded.SlotStatus(slot), table.SlotStatus(slot));
    for (std::size_t c = 0; c < columns.size(); ++c) {
      EXPECT_EQ(layout.FieldStatus(again.data(), c), layout.FieldStatus(image.data(), c));
      // Null and unchanged fields travel without a value.
      if (layout.FieldStatus(image.data(), c) != FieldValuePresent) continue;
      if (c == 7) {
        // Blob values are kept aside: compare them, not their ids.
        EXPECT_EQ(table.SideValue(LoadU32(image.data() + layout.AreaOffset(c))),
                  reloaded.SideValue(LoadU32(again.data() + layout.AreaOffset(c))));
        continue;
      }
      EXPECT_EQ(std::vector<std::uint8_t>(image.data() + layout.AreaOffset(c),
                                          image.data() + layout.AreaOffset(c) + layout.AreaSize(c)),
                std::vector<std::uint8_t>(again.data() + layout.AreaOffset(c),
                                          again.data() + layout.AreaOffset(c) + layout.AreaSize(c)))
          << "slot " << slot << " column " << c;
    }
  }
  Bytes saved_again;
  ASSERT_EQ(StreamPacket(reloaded, PacketForm::kBinary, saved_again), kStatusOk);
  EXPECT_EQ(saved_again, saved);
}

}  // namespace
}  // namespace quillset
