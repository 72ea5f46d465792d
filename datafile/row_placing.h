// The rows of a packet into a table: each row is read from the packet's
// window (DSEXTRACT::NextRow), its values are described where they lie
// (PlaceValue) and the table places them (DSBASE::PlaceRowValues).
//
// Rows go in batches. On a machine with two processors or more, the rows of
// a large packet read from a source are read and described on a thread of
// their own while the table places the batch before: the load of a data file
// takes about the time of the slower half instead of both. The window keeps
// two buffers, so that the rows being placed stay where they lie while the
// next piece is read. Either way the table gets the same rows in the same
// order and the load ends with the same status: the first failure in row
// order, after the rows before it are placed.
#pragma once

#include <cstdint>
#include <vector>

#include "datafile/packet_reader.h"
#include "datafile/packet_window.h"
#include "store/record_engine.h"

namespace quillset {

// Where one column's value goes in a row image.
struct ColumnPlace {
  ColumnKind kind;
  std::uint32_t width;
  std::uint32_t offset;
  std::uint32_t area;
  std::uint32_t elements = 0;        // an array column: the most elements
  std::uint32_t element_width = 0;   // its elements' width in the packet
  std::uint32_t element_area = 0;    // and in the row image
  bool varying = false;              // the packet gives the value's length
};

// Whether the rows are read on a thread of their own.
enum class RowReading {
  kAsWorthwhile,  // alongside for a binary packet read from a source in many pieces
  kInTurn,        // one thread: read a batch, place it, read the next
  kAlongside,     // a thread of its own, unless a column keeps side values
};

struct RowsToPlace {
  std::uint32_t row_count = 0;     // the header's
  std::uint64_t work_budget = 0;   // row count times image size allowed, about
  std::vector<ColumnPlace> places;  // one per column
};

// Places the rows that `reader`, standing before the first of them, reads
// from `window` into `table`, whose columns `rows.places` describe.
// kStatusOutOfMemory past the work budget; the reader's and the table's
// failures as they come; an exception (bad_alloc) thrown by either side is
// thrown here, after the other side has stopped.
// Side values (blobs) are stored in the table as their rows are read, so a
// table with them is always read in turn.
Status PlaceRows(DSBASE& table, PacketWindow& window, DSEXTRACT& reader, const RowsToPlace& rows,
                 RowReading reading);

}  // namespace quillset
