// The journal against the engine and against damage: after every append, a
// start that applies it gets exactly the data file the close would have
// written then; a journal cut at any byte gives its whole records and nothing
// else; a flipped bit drops the last record or refuses the journal whole; a
// journal of another data file (or of none) is never applied.
#include <gtest/gtest.h>

#include <random>

#include "base/host_os_services.h"
#include "datafile/data_file.h"
#include "datafile/journal.h"
#include "datafile/journal_writer.h"
#include "datafile/little_endian.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::ReadFileBytes;
using testing_support::TempFolder;

class JournalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A data file of two entries, as a close leaves it.
    store_ = MakeBackupEntryStore(&codec_);
    store_->CreateEmpty();
    for (const char* file : {"C:\\one.txt", "C:\\two.txt"}) {
      store_->AppendRow();
      store_->FieldAt(0).WriteText(file);
      store_->FieldAt(1).WriteText("D:\\");
      store_->CommitRow();
    }
    SaveFile(*store_, os_, path_);
    data_file_ = ReadFileBytes(path_);
    base_ = CurrentJournalBase(os_, path_);
    writer_.Rebase(path_, PointOf(*store_->Table()), true);
  }

  Bytes Packet(DSBASE& table) {
    Bytes packet;
    EXPECT_EQ(codec_.StreamPacket(table, packet), kStatusOk);
    return packet;
  }

  // What the close would write now: the pending row stored as the engine
  // stores it, on a copy of the table.
  Bytes CloseWouldWrite() {
    Bytes packet = Packet(*store_->Table());
    Bytes image;
    std::uint32_t replaced = 0;
    if (!store_->PendingCommit(image, replaced)) return packet;
    DSBASE copy;
    EXPECT_EQ(codec_.AppendPacket(copy, packet), kStatusOk);
    DSCursor cursor(copy);
    if (replaced == 0) {
      EXPECT_EQ(cursor.MoveToEnd(), kStatusOk);
      EXPECT_EQ(cursor.StoreNewRow(image), kStatusOk);
    } else {
      EXPECT_EQ(cursor.MoveToPosition(copy.DefaultOrder().FindSlot(replaced)), kStatusOk);
      EXPECT_EQ(cursor.StoreChangedRow(image), kStatusOk);
    }
    return Packet(copy);
  }

  // The data file's table with `journal` applied, as the next start does it.
  Bytes Replayed(const Bytes& journal, JournalReplay* replay = nullptr,
                 JournalBase* base = nullptr) {
    DSBASE table;
    EXPECT_EQ(codec_.AppendPacket(table, data_file_), kStatusOk);
    const JournalReplay r = ReplayJournal(journal, base ? *base : base_, table);
    if (replay) *replay = r;
    EXPECT_EQ(table.BuildView(), kStatusOk);
    return Packet(table);
  }

  void Add(const std::string& file) {  // pending, as the menu leaves it
    store_->MoveLast();
    store_->InsertRow();
    store_->FieldAt(0).WriteText(file);
    store_->FieldAt(1).WriteText("E:\\");
  }
  void SetResult(int row, const std::string& result) {  // pending, as a run leaves it
    store_->SetRowNumber(row);
    store_->EditRow();
    store_->FieldAt(2).WriteText(result);
  }

  // A journal of six appends: committed rows, pending rows, an edit that
  // changes nothing, a delete; `ends` gets where each append ended.
  Bytes MadeJournal(std::vector<std::size_t>* ends = nullptr) {
    const std::string journal = JournalPathFor(path_);
    const auto append = [&] {
      EXPECT_TRUE(writer_.Append(*store_));
      if (ends) ends->push_back(ReadFileBytes(journal).size());
    };
    Add("C:\\three.txt");
    append();
    SetResult(1, "ok");
    append();
    SetResult(2, "ok");
    append();
    SetResult(2, "ok");
    store_->EndRowEdit();
    append();
    store_->SetRowNumber(1);
    store_->DeleteRow();
    append();
    Add("C:\\four.txt");
    append();
    return ReadFileBytes(journal);
  }

  // Where each record starts, read from the frames' lengths.
  static std::vector<std::size_t> RecordStarts(const Bytes& journal) {
    std::vector<std::size_t> starts;
    for (std::size_t at = kJournalHeaderBytes; at < journal.size();
         at += 8 + LoadU32(&journal[at]))
      starts.push_back(at);
    return starts;
  }

  TempFolder folder_;
  std::string path_ = folder_ / "Quillset.cds";
  HostOsServices os_;
  BinaryPacketCodec codec_;
  std::unique_ptr<TClientDataSet> store_;
  Bytes data_file_;  // as the last full save left it
  JournalBase base_;
  JournalWriter writer_{os_};
};

TEST_F(JournalTest, AfterEveryAppendTheStartGetsTheDataFileTheCloseWouldHaveWritten) {
  std::mt19937 random(7);
  for (int step = 0; step < 400; ++step) {
    SCOPED_TRACE(step);
    const int rows = store_->RowCount();
    switch (random() % 6) {
      case 0: Add("C:\\f" + std::to_string(step)); break;
      case 1: store_->EndRowEdit(); break;
      case 2:
      case 3:
        if (rows > 0) SetResult(1 + random() % rows, random() % 2 ? "ok" : "failed");
        break;
      case 4:
        if (rows > 2) {
          store_->SetRowNumber(1 + random() % rows);
          store_->DeleteRow();
        }
        break;
      case 5: store_->DiscardRow(); break;
    }
    if (random() % 4 == 0) continue;  // several changes in one append
    ASSERT_TRUE(writer_.Append(*store_));
    ASSERT_EQ(Replayed(ReadFileBytes(JournalPathFor(path_))), CloseWouldWrite());
  }
  // The close's own save gives the same bytes.
  store_->EndRowEdit();
  ASSERT_TRUE(writer_.Append(*store_));
  const Bytes folded = Replayed(ReadFileBytes(JournalPathFor(path_)));
  SaveFile(*store_, os_, path_);
  EXPECT_EQ(ReadFileBytes(path_), folded);
}

TEST_F(JournalTest, ACutJournalGivesItsWholeRecordsAndNothingElse) {
  std::vector<std::size_t> ends;
  const Bytes journal = MadeJournal(&ends);
  const std::vector<std::size_t> starts = RecordStarts(journal);
  ASSERT_GE(starts.size(), ends.size());
  const Bytes untouched = Replayed(Bytes());
  for (std::size_t cut = 0; cut <= journal.size(); ++cut) {
    SCOPED_TRACE(cut);
    const Bytes prefix(journal.begin(), journal.begin() + cut);
    JournalReplay replay;
    const Bytes got = Replayed(prefix, &replay);
    if (cut < kJournalHeaderBytes) {
      EXPECT_EQ(replay.verdict, JournalVerdict::kTornHeader);
      EXPECT_EQ(got, untouched);
      continue;
    }
    ASSERT_EQ(replay.verdict, JournalVerdict::kApplied);
    // As cut at the start of the record the cut falls in.
    std::size_t whole = kJournalHeaderBytes;
    for (std::size_t start : starts)
      if (start <= cut) whole = start;
    if (cut == journal.size()) whole = cut;
    EXPECT_EQ(replay.last_record_dropped, cut != whole);
    if (cut != whole) {
      EXPECT_EQ(got, Replayed(Bytes(journal.begin(), journal.begin() + whole)));
    }
  }
}

TEST_F(JournalTest, AFlippedBitDropsTheLastRecordAndRefusesTheJournalAnywhereElse) {
  const Bytes journal = MadeJournal();
  const std::size_t last = RecordStarts(journal).back();
  const Bytes untouched = Replayed(Bytes());
  const Bytes without_last = Replayed(Bytes(journal.begin(), journal.begin() + last));
  // A journal that is refused leaves the table as it was: the same table
  // serves until one is applied.
  auto table = std::make_unique<DSBASE>();
  ASSERT_EQ(codec_.AppendPacket(*table, data_file_), kStatusOk);
  for (std::size_t at = 0; at < journal.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      SCOPED_TRACE(at);
      Bytes damaged = journal;
      damaged[at] ^= static_cast<std::uint8_t>(1u << bit);
      const JournalReplay replay = ReplayJournal(damaged, base_, *table);
      const JournalVerdict expected = at < kJournalHeaderBytes ? JournalVerdict::kWrongHeader
                                      : at < last              ? JournalVerdict::kDamaged
                                                               : JournalVerdict::kApplied;
      ASSERT_EQ(replay.verdict, expected);
      if (expected != JournalVerdict::kApplied && bit != 0) continue;
      ASSERT_EQ(table->BuildView(), kStatusOk);
      EXPECT_EQ(Packet(*table), expected == JournalVerdict::kApplied ? without_last : untouched);
      EXPECT_EQ(replay.last_record_dropped, expected == JournalVerdict::kApplied);
      if (expected != JournalVerdict::kApplied) continue;
      table = std::make_unique<DSBASE>();
      ASSERT_EQ(codec_.AppendPacket(*table, data_file_), kStatusOk);
    }
  }
}

TEST_F(JournalTest, AJournalOfAnotherDataFileOrOfNoneOrNoJournalAtAllIsNotApplied) {
  const Bytes journal = MadeJournal();
  const Bytes untouched = Replayed(Bytes());
  JournalBase other_size = base_, other_time = base_, none;
  ++other_size.size;
  ++other_time.write_time;
  for (JournalBase base : {other_size, other_time, none}) {
    JournalReplay replay;
    EXPECT_EQ(Replayed(journal, &replay, &base), untouched);
    EXPECT_EQ(replay.verdict, JournalVerdict::kOtherDataFile);
  }
  // Bytes that are no journal at all.
  Bytes text(100, 'x');
  JournalReplay replay;
  EXPECT_EQ(Replayed(text, &replay), untouched);
  EXPECT_EQ(replay.verdict, JournalVerdict::kWrongHeader);
  EXPECT_EQ(Replayed(Bytes(10, 'x'), &replay), untouched);
  EXPECT_EQ(replay.verdict, JournalVerdict::kWrongHeader);
}

}  // namespace
}  // namespace quillset
