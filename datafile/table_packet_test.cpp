// The table side of the packet: the record store saved into the program's
// files byte for byte, read back with slots, statuses and change log, and
// packets that the table refuses.
#include "store/testing/place_image.h"
#include "datafile/table_packet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <new>

#include <cstring>

#include "base/errors.h"
#include "datafile/little_endian.h"
#include "datafile/packet_test_support.h"
#include "datafile/packet_writer.h"
#include "store/record_store.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::FromHex;
using testing_support::ToHex;

void AddEntry(TClientDataSet& store, const std::string& file, const std::string& folder) {
  store.MoveLast();
  store.InsertRow();
  store.EditRow();
  store.FieldAt(0).WriteText(file);
  store.FieldAt(1).WriteText(folder);
}

void BackupRun(TClientDataSet& store, const std::string& result, double when) {
  store.EndRowEdit();
  const std::int32_t count = store.RowCount();
  for (std::int32_t k = 1; k <= count; ++k) {
    store.SetRowNumber(k);
    store.EditRow();
    store.FieldAt(2).WriteText(result);
    static_cast<TDateTimeField&>(store.FieldAt(3)).WriteDateTime(when);
  }
}

class StorePacketTest : public ::testing::Test {
 protected:
  BinaryPacketCodec codec_;
  std::unique_ptr<TClientDataSet> store_ = MakeBackupEntryStore(&codec_);
};

TEST_F(StorePacketTest, TheStoreWritesTheProgramsFilesByteForByte) {
  store_->CreateEmpty();
  EXPECT_EQ(ToHex(store_->StreamContent()), ToHex(testing_support::EmptyListFile()));
  AddEntry(*store_, "C:\\data\\a.txt", "D:\\bak");
  store_->EndRowEdit();
  EXPECT_EQ(ToHex(store_->StreamContent()), ToHex(testing_support::OneEntryFile()));
  BackupRun(*store_, "バックアップ成功", testing_support::BackupRunTime());
  store_->EndRowEdit();
  EXPECT_EQ(ToHex(store_->StreamContent()), ToHex(testing_support::AfterBackupRunFile()));
}

TEST_F(StorePacketTest, ReadingBackRestoresRowsStatusesAndLogAndWritesTheSameBytes) {
  for (const Bytes& file : {testing_support::EmptyListFile(), testing_support::OneEntryFile(),
                            testing_support::AfterBackupRunFile()}) {
    auto store = MakeBackupEntryStore(&codec_);
    store->SetHeldPacket(file);
    store->OpenFromHeldPacket();
    EXPECT_EQ(ToHex(store->StreamContent()), ToHex(file));
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
  const Bytes saved = store_->StreamContent();

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
  EXPECT_EQ(reloaded->StreamContent(), saved);
}

// --- Packets built by hand through the writer, read by a bare table.

struct ColumnPlan {
  std::string name;
  TypeCode type;
  std::vector<std::pair<std::string, Bytes>> u16_properties;  // name, 2-byte value
};

class HandPacket {
 public:
  explicit HandPacket(const std::vector<ColumnPlan>& columns) {
    EXPECT_EQ(w_.BeginPacket(3, static_cast<std::uint16_t>(columns.size())), kStatusOk);
    for (const ColumnPlan& c : columns) {
      EXPECT_EQ(w_.AddColumn(MakeColumnDesc(c.name, c.type)), kStatusOk);
      for (const auto& p : c.u16_properties)
        EXPECT_EQ(w_.AddProperty(PropertyLevel::kColumn, p.first.c_str(), kTypeUInt16, 2,
                                 p.second.data()),
                  kStatusOk);
    }
  }
  HandPacket& TableProperty(const std::string& name, TypeCode type, const Bytes& value) {
    EXPECT_EQ(w_.AddProperty(PropertyLevel::kTable, name.c_str(), type,
                             static_cast<std::uint32_t>(value.size()), value.data()),
              kStatusOk);
    return *this;
  }
  HandPacket& Row(std::uint8_t status, const std::vector<std::string>& texts) {
    std::vector<PacketValue> values;
    for (const std::string& t : texts)
      values.push_back({t.data(), static_cast<std::uint32_t>(t.size()), kFieldPresent});
    EXPECT_EQ(w_.PutRow(status, values.data(), values.size()), kStatusOk);
    return *this;
  }
  Bytes Finish() {
    Bytes packet;
    EXPECT_EQ(w_.FinishPacket(packet), kStatusOk);
    return packet;
  }

 private:
  DSDATAPACKET w_;
};

Bytes Words(const std::vector<std::uint32_t>& words) {
  Bytes value(4 + 4 * words.size());
  StoreU32(value.data(), static_cast<std::uint32_t>(words.size()));
  for (std::size_t i = 0; i < words.size(); ++i) StoreU32(value.data() + 4 + 4 * i, words[i]);
  return value;
}

const Bytes kWidth5 = {5, 0};

// The packet value of an array of two 4-byte texts: count 2, then the bytes.
Bytes Ascii4(const std::string& bytes) {
  Bytes value(4 + bytes.size());
  StoreU32(value.data(), static_cast<std::uint32_t>(bytes.size() / 4));
  std::copy(bytes.begin(), bytes.end(), value.begin() + 4);
  return value;
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
    if (i % 3 == 0) text[1 + (i * 7) % (text.size() - 1)] = '\0';
    hand.Row(0, {path, folder, text});
    expected.push_back({path.substr(0, 400), folder, text.substr(0, text.find('\0'))});
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

// A packet from elsewhere with a fixed-width text column (8 bytes, no
// length prefix) and array columns of 16-bit numbers and of 4-byte texts.
Bytes FixedTextAndArraysPacket(const Bytes& elements = {3, 0},
                               const Bytes& numbers = FromHex("02 00 00 00 07 00 FF FF"),
                               const Bytes& texts = Ascii4(std::string("ab\0\0wxyz", 8))) {
  const TypeCode kFixedText8 = 0x00090008, kInt16Array = 0x00810002, kText4Array = 0x00890004;
  DSDATAPACKET w;
  EXPECT_EQ(w.BeginPacket(3, 3), kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("code", kFixedText8)), kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("counts", kInt16Array)), kStatusOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2, elements.data()),
            kStatusOk);
  EXPECT_EQ(w.AddColumn(MakeColumnDesc("tags", kText4Array)), kStatusOk);
  EXPECT_EQ(w.AddProperty(PropertyLevel::kColumn, "ELEMENTS", kTypeUInt16, 2, elements.data()),
            kStatusOk);
  const std::string code("AB12\0\0\0\0", 8);
  const PacketValue row[] = {{code.data(), 0, 0},
                             {numbers.data(), static_cast<std::uint32_t>(numbers.size()), 0},
                             {texts.data(), static_cast<std::uint32_t>(texts.size()), 0}};
  EXPECT_EQ(w.PutRow(0, row, 3), kStatusOk);
  Bytes packet;
  EXPECT_EQ(w.FinishPacket(packet), kStatusOk);
  return packet;
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

TEST(TablePacketTest, RowsThatThePacketsSizeCannotBackAreRefused) {
  // 65,535-byte texts in a packet of a few hundred bytes: the row image is
  // allowed, but four billion claimed rows are not placed one by one.
  Bytes packet = HandPacket({{"a", 0x00490002, {{"WIDTH", {0xFF, 0xFF}}}}}).Row(0, {"x"}).Finish();
  StoreU32(packet.data() + 14, 0xFFFFFFFFu);
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  EXPECT_TRUE(s == kStatusBadPacket || s == kStatusOutOfMemory) << s;
}

// The same numbers on every run: damage that a failure names can be made again.
class SeededNumbers {
 public:
  explicit SeededNumbers(std::uint32_t seed) : seed_(seed) {}
  std::uint32_t operator()() {
    seed_ = seed_ * 1664525u + 1013904223u;
    return seed_ >> 8;
  }

 private:
  std::uint32_t seed_;
};

// Loads `packet`; when it is accepted, the table must write a packet again.
void LoadOrRefuseCleanly(const Bytes& packet) {
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  if (s == kStatusOk) {
    Bytes again;
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, again), kStatusOk);
  }
}

Bytes LargerFile() {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  store->CreateEmpty();
  for (int i = 0; i < 6; ++i) AddEntry(*store, "C:\\file" + std::to_string(i), "D:\\to");
  BackupRun(*store, "バックアップ失敗", testing_support::BackupRunTime());
  store->EndRowEdit();
  store->SetRowNumber(2);
  store->DeleteRow();
  return store->StreamContent();
}

TEST(TablePacketTest, EveryCutIsRefusedAndBitFlipsLoadOrAreRefused) {
  for (const Bytes& full : {testing_support::OneEntryFile(), LargerFile()}) {
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      const Bytes part(full.begin(), full.begin() + cut);
      DSBASE table;
      EXPECT_NE(AppendPacket(table, part.data(), part.size()), kStatusOk) << "cut at " << cut;
    }
    SeededNumbers next(777);
    for (int round = 0; round < 1500; ++round) {
      Bytes damaged = full;
      const int flips = 1 + static_cast<int>(next() % 3);
      for (int f = 0; f < flips; ++f)
        damaged[next() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
      LoadOrRefuseCleanly(damaged);
    }
  }
}

TEST(TablePacketTest, ADamagedFileLeavesTheStoreClosed) {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  Bytes cut = testing_support::OneEntryFile();
  cut.resize(190);
  store->SetHeldPacket(cut);
  try {
    store->OpenFromHeldPacket();
    FAIL() << "a cut file was accepted";
  } catch (const EDBClient& e) {
    EXPECT_EQ(e.Status(), kStatusBadPacket.Code());
    EXPECT_EQ(e.Message(), "");
  }
  EXPECT_FALSE(store->Active());
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
    const std::uint8_t when[8] = {0, 0, 0, 0, 0, static_cast<std::uint8_t>(i), 0x40, 0};
    layout.WriteBytes(image.data(), 4, when, 8);
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

// --- Streaming the packet to a sink (the save's path).

// Keeps what it is given; refuses the write numbered `fail_at` (1-based).
class RecordingSink : public PacketSink {
 public:
  explicit RecordingSink(int fail_at = 0) : fail_at_(fail_at) {}
  Status Write(const std::uint8_t* bytes, std::size_t length) override {
    if (++writes == fail_at_) return kStatusWriteFailed;
    if (length == 0) ++empty_writes;
    received.insert(received.end(), bytes, bytes + length);
    return kStatusOk;
  }
  Bytes received;
  int writes = 0;
  int empty_writes = 0;

 private:
  int fail_at_;
};

// Packets as the files that the tests know leave them: the worked examples,
// a file after runs with a deletion, unknown properties kept, fixed texts
// and arrays, and a list in the text form.
std::vector<Bytes> KnownPackets() {
  const Bytes custom = {7, 0};
  HandPacket unknown({{"name", 0x00490001, {{"WIDTH", kWidth5}, {"Colour", custom}}}});
  unknown.TableProperty("MyNote", 0x00490001, {3, 'a', 'b', 'c'});
  std::vector<Bytes> packets = {testing_support::EmptyListFile(), testing_support::OneEntryFile(),
                                testing_support::AfterBackupRunFile(), LargerFile(),
                                unknown.Row(0, {"abc"}).Finish(), FixedTextAndArraysPacket()};
  DSBASE table;
  const Bytes binary = testing_support::AfterBackupRunFile();
  EXPECT_EQ(AppendPacket(table, binary.data(), binary.size()), kStatusOk);
  Bytes text;
  EXPECT_EQ(StreamPacket(table, PacketForm::kText, text), kStatusOk);
  packets.push_back(text);
  return packets;
}

TEST(TablePacketTest, StreamingGivesTheBytesOfTheWholePacketWhateverTheBuffer) {
  for (const Bytes& packet : KnownPackets()) {
    DSBASE table;
    ASSERT_EQ(AppendPacket(table, packet.data(), packet.size()), kStatusOk);
    Bytes whole;
    ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, whole), kStatusOk);
    // Buffers of odd sizes cut values at any byte, not only between words.
    for (std::size_t buffer : {std::size_t{1}, std::size_t{30}, std::size_t{40}, std::size_t{50},
                               std::size_t{64}, std::size_t{1} << 20}) {
      RecordingSink sink;
      ASSERT_EQ(StreamPacketTo(table, sink, buffer), kStatusOk) << buffer;
      EXPECT_EQ(ToHex(sink.received), ToHex(whole)) << "buffer " << buffer;
      EXPECT_EQ(sink.empty_writes, 0);
    }
  }
}

// 3,000 entries: rows of about 50 bytes and a change log of 36 KB.
Bytes ThreeThousandEntries(DSBASE& table) {
  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  store->CreateEmpty();
  for (int i = 0; i < 3000; ++i) AddEntry(*store, "C:\\file" + std::to_string(i), "D:\\to");
  store->EndRowEdit();
  Bytes whole = store->StreamContent();
  EXPECT_EQ(AppendPacket(table, whole.data(), whole.size()), kStatusOk);
  return whole;
}

TEST(TablePacketTest, ABigPacketStreamsInPiecesOfTheBuffersSize) {
  // A 4 KB buffer hands the packet on in many writes (the first holds the
  // metadata: the header is final only when the first row's place is known).
  DSBASE table;
  const Bytes whole = ThreeThousandEntries(table);
  RecordingSink sink;
  ASSERT_EQ(StreamPacketTo(table, sink, 4096), kStatusOk);
  EXPECT_EQ(sink.received, whole);
  EXPECT_GT(sink.writes, static_cast<int>((whole.size() - 65536) / 4096));
  // Every write fails the stream at its point, and the status says so.
  for (int fail_at : {1, 2, sink.writes / 2, sink.writes}) {
    RecordingSink failing(fail_at);
    EXPECT_EQ(StreamPacketTo(table, failing, 4096), kStatusWriteFailed) << fail_at;
    EXPECT_EQ(failing.writes, fail_at);  // nothing is written after a refused write
  }
}

// A packet in memory handed out as a file would be, a read at a time; the
// read numbered `fail_at` (from 1) fails, or with `throw_at` throws bad_alloc.
class MemorySource : public PacketSource {
 public:
  explicit MemorySource(const Bytes& bytes, int fail_at = 0, int throw_at = 0)
      : bytes_(bytes), fail_at_(fail_at), throw_at_(throw_at) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool Read(std::uint8_t* out, std::size_t length) override {
    if (++reads == throw_at_) throw std::bad_alloc();
    if (reads == fail_at_ || length > bytes_.size() - at_) return false;
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
              bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + length), out);
    at_ += length;
    largest_read = std::max(largest_read, length);
    return true;
  }
  std::size_t BytesRead() const { return at_; }
  int reads = 0;
  std::size_t largest_read = 0;

 private:
  const Bytes& bytes_;
  std::size_t at_ = 0;
  int fail_at_;
  int throw_at_;
};

// Both ways of reading the rows: in turn with their placing, and alongside.
constexpr RowReading kReadings[] = {RowReading::kInTurn, RowReading::kAlongside};

// What AppendPacket makes of `packet` held whole: its status, and the table
// written again.
std::pair<Status, Bytes> LoadedWhole(const Bytes& packet) {
  DSBASE table;
  const Status s = AppendPacket(table, packet.data(), packet.size());
  Bytes written;
  if (s == kStatusOk) {
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, written), kStatusOk);
  }
  return {s, written};
}

// The same with the packet read in pieces; `bytes_read` gets how many bytes
// were asked of the source.
std::pair<Status, Bytes> LoadedInPieces(const Bytes& packet, std::size_t piece,
                                        RowReading reading, std::size_t* bytes_read = nullptr) {
  DSBASE table;
  MemorySource source(packet);
  const Status s = AppendPacketFrom(table, source, piece, reading);
  Bytes written;
  if (s == kStatusOk) {
    EXPECT_EQ(StreamPacket(table, PacketForm::kBinary, written), kStatusOk);
  }
  if (bytes_read) *bytes_read = source.BytesRead();
  return {s, written};
}

TEST(TablePacketTest, ReadingInPiecesBuildsWhatTheWholePacketBuilds) {
  // Pieces of odd sizes end inside headers, properties, rows and values. A
  // text of 40,000 bytes makes a row longer than a piece and than the room
  // kept for a row.
  std::vector<Bytes> packets = KnownPackets();
  const Bytes width = {0xFF, 0xFF};
  packets.push_back(HandPacket({{"a", 0x00490002, {{"WIDTH", width}}}})
                        .Row(0, {std::string(40000, 'x')})
                        .Row(0, {"y"})
                        .Row(0, {std::string(70000 % 65536, 'z')})
                        .Finish());
  for (const Bytes& packet : packets) {
    const auto whole = LoadedWhole(packet);
    ASSERT_EQ(whole.first, kStatusOk);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{30}, std::size_t{1000},
                              kReadPieceBytes}) {
      for (RowReading reading : kReadings) {
        std::size_t bytes_read = 0;
        const auto pieces = LoadedInPieces(packet, piece, reading, &bytes_read);
        const int way = static_cast<int>(reading);
        EXPECT_EQ(pieces.first, kStatusOk) << "piece " << piece << " way " << way;
        EXPECT_EQ(bytes_read, packet.size()) << "piece " << piece << " way " << way;  // every byte once
        EXPECT_EQ(ToHex(pieces.second), ToHex(whole.second)) << "piece " << piece << " way " << way;
      }
    }
  }
}

TEST(TablePacketTest, DamagedPacketsReadInPiecesFailAsWhenHeldWhole) {
  for (const Bytes& full : {testing_support::OneEntryFile(), LargerFile()}) {
    for (std::size_t cut = 1; cut < full.size(); ++cut) {
      const Bytes part(full.begin(), full.begin() + cut);
      const Status whole = LoadedWhole(part).first;
      EXPECT_NE(whole, kStatusOk) << "cut at " << cut;
      for (RowReading reading : kReadings)
        EXPECT_EQ(LoadedInPieces(part, 16, reading).first, whole) << "cut at " << cut;
    }
    SeededNumbers next(4242);
    for (int round = 0; round < 500; ++round) {
      Bytes damaged = full;
      damaged[next() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (next() % 8));
      const auto whole = LoadedWhole(damaged);
      for (RowReading reading : kReadings) {
        const auto pieces = LoadedInPieces(damaged, 16, reading);
        EXPECT_EQ(pieces.first, whole.first) << "round " << round;
        EXPECT_EQ(pieces.second, whole.second) << "round " << round;
      }
    }
  }
}

TEST(TablePacketTest, ABigPacketIsReadInPiecesAndAFailingReadFailsTheLoad) {
  // The rows are read a piece at a time, never the packet whole.
  DSBASE built;
  const Bytes whole = ThreeThousandEntries(built);
  MemorySource source(whole);
  DSBASE table;
  ASSERT_EQ(AppendPacketFrom(table, source, 4096), kStatusOk);
  EXPECT_LT(source.largest_read, whole.size() / 2);
  EXPECT_EQ(table.LastSlot(), 3000u);
  // A read that fails at any point fails the load with its own status, and
  // one that runs out of memory with that status, whichever thread reads.
  for (RowReading reading : kReadings) {
    for (int fail_at : {1, 2, source.reads / 2, source.reads}) {
      MemorySource failing(whole, fail_at);
      DSBASE refused;
      EXPECT_EQ(AppendPacketFrom(refused, failing, 4096, reading), kStatusReadFailed) << fail_at;
      MemorySource throwing(whole, 0, fail_at);
      DSBASE unplaced;
      EXPECT_EQ(AppendPacketFrom(unplaced, throwing, 4096, reading), kStatusOutOfMemory) << fail_at;
    }
  }
}

}  // namespace
}  // namespace quillset
