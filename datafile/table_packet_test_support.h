// Shared by the table-packet tests: the store's own rows made by hand, packets
// built through the writer, the packets the tests know, seeded damage, and a
// packet read from memory or written to it a piece at a time.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "datafile/packet_test_support.h"
#include "datafile/packet_writer.h"
#include "datafile/row_placing.h"
#include "datafile/table_packet.h"
#include "store/record_store.h"

namespace quillset {
namespace testing_support {

void AddEntry(TClientDataSet& store, const std::string& file, const std::string& folder);

void BackupRun(TClientDataSet& store, const std::string& result, double when);

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

Bytes Words(const std::vector<std::uint32_t>& words);

inline const Bytes kWidth5 = {5, 0};

// The packet value of an array of two 4-byte texts: count 2, then the bytes.
Bytes Ascii4(const std::string& bytes);

// A packet from elsewhere with a fixed-width text column (8 bytes, no
// length prefix) and array columns of 16-bit numbers and of 4-byte texts.
Bytes FixedTextAndArraysPacket(const Bytes& elements = {3, 0},
                               const Bytes& numbers = FromHex("02 00 00 00 07 00 FF FF"),
                               const Bytes& texts = Ascii4(std::string("ab\0\0wxyz", 8)));

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

Bytes LargerFile();

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
std::vector<Bytes> KnownPackets();

// A binary packet made and written in turn through a buffer of `bytes`.
PacketSaving InTurn(std::size_t bytes);

// 3,000 entries: rows of about 50 bytes and a change log of 36 KB.
Bytes ThreeThousandEntries(DSBASE& table);

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
inline constexpr RowReading kReadings[] = {RowReading::kInTurn, RowReading::kAlongside};

// What AppendPacket makes of `packet` held whole: its status, and the table
// written again.
std::pair<Status, Bytes> LoadedWhole(const Bytes& packet);

// The same with the packet read in pieces; `bytes_read` gets how many bytes
// were asked of the source.
std::pair<Status, Bytes> LoadedInPieces(const Bytes& packet, std::size_t piece,
                                        RowReading reading, std::size_t* bytes_read = nullptr);

}  // namespace testing_support
}  // namespace quillset
