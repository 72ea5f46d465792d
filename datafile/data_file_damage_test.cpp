// One damaged byte never changes the list without a word: the faults that
// damage could slip past the load are refused with the file's name and the
// status, and a table of every bit flip of a file the program saved after a
// few edits and runs counts what each flip does.
#include <gtest/gtest.h>

#include <cstring>
#include <iostream>

#include "base/errors.h"
#include "base/host_os_services.h"
#include "datafile/data_file.h"
#include "datafile/data_file_test_support.h"
#include "datafile/little_endian.h"
#include "datafile/packet_reader.h"
#include "datafile/table_packet.h"
#include "datafile/table_packet_test_support.h"
#include "store/testing/edited_list.h"

namespace quillset {
namespace {

using namespace testing_support;

class DataFileDamageTest : public testing_support::DataFileFixture {
 protected:
  HostOsServices& os_ = host_;  // what the loads and saves here go through
  // A list the program saved after `entries` entries, `runs` runs, an edit and a delete.
  Bytes Saved(int entries, int runs) {
    auto store = MakeBackupEntryStore(&codec_);
    store->CreateEmpty();
    EditBackupList(*store, entries, runs);
    SaveFile(*store, host_, path_);
    return ReadFileBytes(path_);
  }

  // Loads `bytes` as the data file: the error's text, or "" with `loaded`
  // holding the list.
  std::string Load(const Bytes& bytes, std::unique_ptr<TClientDataSet>& loaded) {
    WriteFileBytes(path_, bytes);
    loaded = MakeBackupEntryStore(&codec_);
    try {
      LoadFile(*loaded, host_, path_);
    } catch (const EDatabaseError& e) {
      return e.Message().empty() ? "(no text)" : e.Message();
    }
    return std::string();
  }

  std::string Damaged(const char* status) {
    return FormatMessageText("ファイル %s のデータが正しくありません", {path_}) + " (" + status + ")";
  }
};

// Where `text` starts in `bytes`.
std::size_t Find(const Bytes& bytes, const std::string& text) {
  const auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
  EXPECT_NE(at, bytes.end()) << text;
  return static_cast<std::size_t>(at - bytes.begin());
}

// Where each row of `file` starts, and the offsets of the bytes of its
// present values in `inside` (when given).
std::vector<std::size_t> RowOffsets(const Bytes& file, std::vector<bool>* inside = nullptr) {
  DSEXTRACT reader;
  EXPECT_EQ(reader.OpenPacket(file.data(), file.size()), kStatusOk);
  EXPECT_EQ(reader.SkipToRows(), kStatusOk);
  std::vector<std::size_t> rows;
  std::vector<PacketRowValue> values(reader.ValueColumnCount());
  std::uint8_t status = 0;
  for (std::size_t at = reader.Position(); reader.NextRow(status, values.data()) == kStatusOk;
       at = reader.Position()) {
    rows.push_back(at);
    if (inside == nullptr) continue;
    for (const PacketRowValue& v : values)
      if (v.field_status == kFieldPresent)
        for (std::size_t i = 0; i < v.size; ++i) (*inside)[v.bytes - file.data() + i] = true;
  }
  return rows;
}

// `file` with one more table property before its change log.
Bytes WithTableProperty(Bytes file, const Bytes& property) {
  StoreU16(file.data() + 144, static_cast<std::uint16_t>(LoadU16(file.data() + 144) + 1));
  file.insert(file.begin() + 146, property.begin(), property.end());
  StoreU16(file.data() + 22, static_cast<std::uint16_t>(LoadU16(file.data() + 22) + property.size()));
  return file;
}

// The empty list with one more column: structures nested `depth` deep
// around a number.
Bytes NestedColumnsFile(int depth) {
  Bytes b = EmptyListFile(), chain;
  for (int d = 0; d < depth; ++d) Append(chain, FromHex("01 73 01 00 0C 01 00 00 00 00"));
  Append(chain, FromHex("01 6E 04 00 01 00 00 00 00 00"));
  b.insert(b.begin() + 144, chain.begin(), chain.end());
  StoreU16(b.data() + 12, 5);
  StoreU16(b.data() + 22, static_cast<std::uint16_t>(146 + chain.size()));
  return b;
}

// The one-entry file (its result null) with the result column a fixed-width
// text of 20 bytes whose "WIDTH" says 0.
Bytes WidthZeroResultFile() {
  Bytes b = OneEntryFile();
  EXPECT_EQ(ToHex(Bytes(b.begin() + 99, b.begin() + 119)),
            "01 00 49 00 00 00 01 00 05 57 49 44 54 48 02 00 02 00 14 00");
  StoreU32(b.data() + 99, 0x00090014);
  StoreU16(b.data() + 117, 0);
  return b;
}

// `file` with the bits `mask` of byte `at` flipped.
Bytes Flipped(Bytes file, std::size_t at, std::uint8_t mask) {
  file.at(at) ^= mask;
  return file;
}

TEST_F(DataFileDamageTest, DamageThatWouldChangeTheListIsRefusedWithTheFilesName) {
  const Bytes saved = Saved(3, 1), after_run = AfterBackupRunFile();
  const std::size_t path_at = Find(saved, "C:\\Users");
  const std::size_t last_entry = 165 + (LoadU32(&saved[161]) / 3 - 1) * 12;
  ASSERT_EQ(LoadU32(&saved[last_entry + 8]), kChangeDelete);
  const struct {
    const char* fault;
    Bytes file;
    const char* status;
  } cases[] = {
      {"the first column's WIDTH 100 -> 36", Flipped(saved, 63, 0x40), "0x4005"},
      {"a text byte turned 0x00", Flipped(saved, path_at + 3, saved[path_at + 3]), "0x4005"},
      {"a change packet", WithTableProperty(saved, FromHex("05 44 45 4C 54 41 02 00 02 00 01 00")),
       "0x4005"},
      {"a fixed-width result column of width 0", WidthZeroResultFile(), "0x2702"},
      {"structure columns nested 33 deep", NestedColumnsFile(33), "0x2710"},
      {"a date whose sign bit flipped", Flipped(after_run, after_run.size() - 1, 0x80), "0x4005"},
      {"a replaced version shown again", Flipped(saved, LoadU16(&saved[22]), RowStatusOriginal),
       "0x4005"},
      {"a deleted row shown again",
       Flipped(saved, RowOffsets(saved).at(LoadU32(&saved[last_entry]) - 1), RowStatusDeleted), "0x4005"},
  };
  std::unique_ptr<TClientDataSet> loaded;
  ASSERT_EQ(Load(saved, loaded), "");
  ASSERT_EQ(Load(NestedColumnsFile(32), loaded), "");
  for (const auto& c : cases) EXPECT_EQ(Load(c.file, loaded), Damaged(c.status)) << c.fault;
}

// What a loaded list holds for good: the change log, and every slot's status
// and values (texts up to their end, other values as stored).
std::string ListContent(TClientDataSet& store) {
  const DSBASE& table = *store.Table();
  std::string content;
  for (const ChangeLogEntry& e : table.ChangeLog())
    content += std::to_string(e.slot) + "," + std::to_string(e.replaced_slot) + "," +
               std::to_string(e.kind) + ";";
  std::vector<FieldBytes> fields(table.Columns().size());
  std::vector<std::uint8_t> scratch;
  for (std::uint32_t slot = 1; slot <= table.LastSlot(); ++slot) {
    content += "|" + std::to_string(table.SlotStatus(slot));
    EXPECT_EQ(table.ReadSlotValues(slot, fields.data(), scratch), kStatusOk);
    for (std::size_t c = 0; c < fields.size(); ++c) {
      const FieldBytes& f = fields[c];
      std::size_t length = f.status == FieldValuePresent ? f.length : 0;
      if (table.Columns()[c].kind == ColumnKind::kString)
        length = std::find(f.bytes, f.bytes + length, 0) - f.bytes;
      content += "," + std::to_string(f.status) + ":" +
                 std::string(reinterpret_cast<const char*>(f.bytes), length);
    }
  }
  return content;
}

TEST_F(DataFileDamageTest, EveryBitFlipOutsideAValueIsRefusedOrLoadsTheSameList) {
  const Bytes saved = Saved(2, 1);
  std::unique_ptr<TClientDataSet> loaded;
  ASSERT_EQ(Load(saved, loaded), "");
  const std::string original = ListContent(*loaded);
  std::vector<bool> inside(saved.size(), false);
  RowOffsets(saved, &inside);
  int refused = 0, equal = 0, different_outside = 0, inside_values = 0, inside_different = 0;
  for (std::size_t bit = 0; bit < saved.size() * 8; ++bit) {
    Bytes flipped = saved;
    flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
    const std::string error = Load(flipped, loaded);
    const bool in_value = inside[bit / 8];
    inside_values += in_value;
    if (!error.empty()) {
      ++refused;
      // Refused with the file's name, or by the store for a field whose
      // column lost its name or kind.
      if (error.find(path_) == std::string::npos && error.find("ClientDataSet1: ") != 0)
        ADD_FAILURE() << "byte " << bit / 8 << " bit " << bit % 8 << ": " << error;
      continue;
    }
    if (ListContent(*loaded) == original) {
      ++equal;
    } else if (in_value) {
      ++inside_different;
    } else {
      ++different_outside;
      ADD_FAILURE() << "byte " << bit / 8 << " bit " << bit % 8 << " loads another list";
    }
  }
  EXPECT_EQ(different_outside, 0);
  std::cout << saved.size() * 8 << " flips of a " << saved.size() << "-byte file: " << refused
            << " refused, " << equal << " loaded equal, " << different_outside
            << " loaded different outside values, " << inside_values << " inside values ("
            << inside_different << " of them loaded a different value)\n";
}

TEST_F(DataFileDamageTest, EveryFormTheProgramWritesLoadsTheSameList) {
  std::unique_ptr<TClientDataSet> loaded;
  ASSERT_EQ(Load(Saved(4, 2), loaded), "");
  const std::string binary = ListContent(*loaded);
  for (PacketForm form : {PacketForm::kText, PacketForm::kTextUtf8}) {
    PacketSaving how;
    how.form = form;
    SaveFile(*loaded, os_, path_, nullptr, how);
    std::unique_ptr<TClientDataSet> again;
    ASSERT_EQ(Load(ReadFileBytes(path_), again), "") << static_cast<int>(form);
    EXPECT_EQ(ListContent(*again), binary) << static_cast<int>(form);
  }
}

}  // namespace
}  // namespace quillset
