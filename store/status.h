// Status: what an operation of the record engine or of the data-packet layer
// returns. A 16-bit code, 0 for success; the record store raises any other
// code as EDBClient carrying it, so the numbers below are what a user or a
// caller of the store sees and never change.
//
// Every code is listed once, with its meaning wherever it is returned, in
// QUILLSET_STATUS_CODES; the constants and StatusText are made from that list.
#pragma once

#include <cstdint>
#include <iosfwd>

namespace quillset {

class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  constexpr explicit Status(std::uint16_t code) : code_(code) {}

  constexpr std::uint16_t Code() const { return code_; }
  constexpr bool Ok() const { return code_ == 0; }
  // True for a failure, so that `if (Status s = Step()) return s;` hands a
  // failure on and goes on after a success.
  constexpr explicit operator bool() const { return code_ != 0; }

  friend constexpr bool operator==(Status a, Status b) { return a.code_ == b.code_; }
  friend constexpr bool operator!=(Status a, Status b) { return a.code_ != b.code_; }

 private:
  std::uint16_t code_ = 0;
};

// name, code, meaning
#define QUILLSET_STATUS_CODES(X)                                                               \
  X(kStatusOk, 0x0000, "success")                                                              \
  X(kStatusNoCodecs, 0x2103,                                                                   \
    "the column codecs of a level could not be made: not every announced column was "         \
    "described before the first row")                                                         \
  X(kStatusBeforeFirst, 0x2201, "the cursor stands before the first row")                     \
  X(kStatusNoMore, 0x2202,                                                                     \
    "no more rows, columns or properties; the cursor stands after the last row")             \
  X(kStatusRemovedRow, 0x2204, "the cursor stands on a row that was just removed")            \
  X(kStatusInsertPoint, 0x2205, "the cursor stands at an insert point")                       \
  X(kStatusOutOfMemory, 0x2501, "out of memory")                                               \
  X(kStatusValueIsNull, 0x260C, "the value read is null")                                     \
  X(kStatusInvalidArgument, 0x2702,                                                            \
    "invalid argument or value: a bad slot, image or bookmark, a buffer too small, a short "  \
    "or badly typed change log, a length that does not fit its prefix, a width missing")     \
  X(kStatusBadType, 0x2710, "a type or a set of columns that cannot be laid out or encoded")   \
  X(kStatusOutOfOrder, 0x2A04,                                                                 \
    "a request out of order: more columns than announced, a column named \"RowState\", a "    \
    "property after a row, a base type above 18")                                             \
  X(kStatusReadOnly, 0x2A0B, "the table refuses changes")                                     \
  X(kStatusInsertsDisabled, 0x2A0C, "the table refuses new rows")                             \
  X(kStatusEditsDisabled, 0x2A0D, "the table refuses changed rows")                           \
  X(kStatusDeletesDisabled, 0x2A0E, "the table refuses to delete rows")                       \
  X(kStatusNoMetadata, 0x4003, "the packet carries no column descriptions")                   \
  X(kStatusNoReader, 0x4004, "no packet reader or writer for the table")                      \
  X(kStatusBadPacket, 0x4005,                                                                  \
    "a bad packet (no columns, bytes that end before their counts say, a text form without " \
    "its elements) or a table without columns")                                               \
  X(kStatusNotCreated, 0x4006, "the table has not been created")                             \
  X(kStatusWriteFailed, 0xF001,                                                                \
    "the file took not all the bytes of a packet (the data file reports its own error)")      \
  X(kStatusReadFailed, 0xF002,                                                                 \
    "the file gave not all the bytes of a packet (the data file reports its own error)")

#define QUILLSET_STATUS_CONSTANT(name, code, text) constexpr Status name{code};
QUILLSET_STATUS_CODES(QUILLSET_STATUS_CONSTANT)
#undef QUILLSET_STATUS_CONSTANT

// What the code means (the list above); "unknown status" for any other code.
// For tests and diagnostics: the program shows no text for a status.
const char* StatusText(Status status);

// "0x2702 (invalid argument or value: ...)", for test failures.
std::ostream& operator<<(std::ostream& out, Status status);

}  // namespace quillset
