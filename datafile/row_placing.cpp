#include "datafile/row_placing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <thread>

#include "datafile/batch_handover.h"
#include "datafile/little_endian.h"
#include "store/short_bytes.h"

namespace quillset {
namespace {

// A row is read from the window only with this many bytes behind it (or the
// rest of the packet); a longer one makes the window grow.
constexpr std::size_t kRowRoomBytes = 64 * 1024;
// Rows in a batch, and the room a batch may take for values put together.
constexpr std::size_t kBatchRows = 4096;
constexpr std::size_t kBatchImageBytes = 4 * 1024 * 1024;
// A packet read in fewer pieces is read in turn: the thread would cost about
// what it saves.
constexpr std::uint64_t kPiecesWorthAThread = 4;

// An array value (count, then the elements) into its column's area: at most
// the column's elements; a text element is cut at its first zero byte and to
// the column's width. Elements past the count stay zero.
Status PlaceArray(const ColumnPlace& place, const std::uint8_t* value, std::uint32_t size,
                  std::uint8_t* image, FieldBytes& out) {
  const std::uint32_t count = LoadU32(value);  // the reader checked count and size
  if (count > place.elements || size != 4 + std::uint64_t(count) * place.element_width)
    return kStatusInvalidArgument;
  if (place.kind != ColumnKind::kString && place.element_width == place.element_area) {
    out.bytes = value;
    out.length = size;
    return kStatusOk;
  }
  std::uint8_t* area = image + place.offset;
  StoreU32(area, count);
  std::memset(area + 4, 0, std::size_t(count) * place.element_area);
  const bool text = place.kind == ColumnKind::kString;
  const std::uint32_t keep =
      std::min(place.element_width, text ? place.element_area - 1 : place.element_area);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* element = value + 4 + std::size_t(i) * place.element_width;
    std::memcpy(area + 4 + std::size_t(i) * place.element_area, element,
                text ? LengthToZero(element, keep) : keep);
  }
  out.bytes = area;
  out.length = 4 + count * place.element_area;
  return kStatusOk;
}

// False for a text with a zero byte inside: texts are written without one
// (an empty text as one zero byte), so a zero there is damage that would cut
// the text for good. A fixed-width text is padded with zeros after its bytes.
bool WholeText(const ColumnPlace& place, const std::uint8_t* value, std::uint32_t size) {
  const std::uint32_t length = LengthToZero(value, size);
  if (length == size) return true;
  if (place.varying) return size == 1;
  for (std::uint32_t i = length; i < size; ++i)
    if (value[i] != 0) return false;
  return true;
}

// True for a date-and-time stamp the store can show: from 1 January of year 1
// to the end of year 9999. Others (a flipped sign, no number at all) can only
// come from damage, and no cell could be drawn from them.
bool ShowableTimeStamp(const std::uint8_t* value) {
  constexpr double kMsPerDay = 86400000.0;
  constexpr double kDayAfterYear9999 = 3652060.0;  // day 1 is 1 January of year 1
  double stamp;
  std::memcpy(&stamp, value, sizeof stamp);
  const double rounded = std::nearbyint(stamp);
  return rounded >= kMsPerDay && rounded < kDayAfterYear9999 * kMsPerDay;  // false for NaN
}

// Describes one present column value as the start of its data area (the rest
// of the area is zero). Texts point straight into the packet; a value whose
// area starts with something the packet does not hold (a length, a side value
// id) is put together in `image`, the row's work area, at the column's offset.
Status PlaceValue(DSBASE& table, const ColumnPlace& place, const std::uint8_t* value,
                        std::uint32_t size, std::uint8_t* image, FieldBytes& out) {
  out.status = FieldValuePresent;
  if (place.elements != 0) return PlaceArray(place, value, size, image, out);
  switch (place.kind) {
    case ColumnKind::kString: {
      if (!WholeText(place, value, size)) return kStatusBadPacket;
      // Cut to the declared width; the area keeps a zero after it.
      const std::uint32_t limit = size < place.width ? size : place.width;
      out.bytes = value;
      out.length = LengthToZero(value, limit);
      break;
    }
    case ColumnKind::kDateTime:
      if (size < place.area || !ShowableTimeStamp(value)) return kStatusBadPacket;
      out.bytes = value;
      out.length = place.area;
      break;
    case ColumnKind::kWideString:
    case ColumnKind::kVarBytes: {
      const std::uint32_t length = size < place.width ? size : place.width;
      std::uint8_t* area = image + place.offset;
      StoreU16(area, static_cast<std::uint16_t>(length));
      if (length) std::memcpy(area + 2, value, length);
      out.bytes = area;
      out.length = length + 2;
      break;
    }
    case ColumnKind::kBlob: {
      std::uint8_t* area = image + place.offset;
      StoreU32(area, table.StoreSideValue(std::vector<std::uint8_t>(value, value + size)));
      out.bytes = area;
      out.length = 4;
      break;
    }
    default:
      if (size < place.area) return kStatusBadPacket;
      out.bytes = value;
      out.length = place.area;
      break;
  }
  // Cut to the area as a written image would be (the engine refuses longer).
  if (out.length > place.area) out.length = place.area;
  return kStatusOk;
}

// True when PlaceValue may put the column's value together in the row's image.
bool PutsValuesTogether(const ColumnPlace& place) {
  return place.elements != 0 || place.kind == ColumnKind::kWideString ||
         place.kind == ColumnKind::kVarBytes || place.kind == ColumnKind::kBlob;
}

// Rows read and described, ready for PlaceRowValues.
struct RowBatch {
  std::vector<FieldBytes> values;      // per row, one per column
  std::vector<std::uint8_t> statuses;  // per row
  std::vector<std::uint8_t> images;    // per row, room for the values put together
  std::size_t rows = 0;
  int buffer = 0;              // the window's buffer the rows' values lie in
  Status status = kStatusOk;   // how the reading ended, after these rows
  bool last = false;           // no batch follows
  std::exception_ptr error;    // thrown while reading, after these rows
};

// Reads the rows a batch at a time.
class RowReader {
 public:
  RowReader(DSBASE& table, PacketWindow& window, DSEXTRACT& reader, const RowsToPlace& rows)
      : table_(table), window_(window), reader_(reader), rows_(rows),
        row_values_(rows.places.size()),
        work_per_row_(table.Layout().ImageSize() + 16),
        image_size_(table.Layout().ImageSize()) {
    const bool together = std::any_of(rows.places.begin(), rows.places.end(), PutsValuesTogether);
    image_stride_ = together ? image_size_ : 0;
    batch_rows_ = together ? std::max<std::size_t>(1, std::min(kBatchRows, kBatchImageBytes / image_size_))
                           : kBatchRows;
  }

  // Reads the next rows into `batch` until it is full, the rows end, a
  // reading fails, or the window has to move on while the batch holds rows
  // (their values lie in the window). Before the window moves into a buffer,
  // `may_fill(buffer)` waits until no batch still to be placed points into
  // it; false stops the reading. Never throws: an exception ends the batch.
  void Fill(RowBatch& batch, const std::function<bool(int)>& may_fill) {
    const std::size_t columns = rows_.places.size();
    batch.rows = 0;
    batch.status = kStatusOk;
    batch.last = false;
    batch.error = nullptr;
    try {
      if (batch.values.size() < batch_rows_ * columns) {
        batch.values.resize(batch_rows_ * columns);
        batch.statuses.resize(batch_rows_);
        batch.images.resize(std::max(batch_rows_ * image_stride_, image_size_));
      }
      while (batch.rows < batch_rows_ && !batch.last) {
        if (row_ == rows_.row_count) {
          batch.last = true;
          // A binary packet ends where its last row ends: bytes after it
          // mean a row count that lost rows, or bytes that are not ours.
          if (!reader_.IsTextForm() &&
              (!window_.HoldsTheRest() || reader_.Position() != window_.Size()))
            batch.status = kStatusBadPacket;
        } else if (ReadRow(batch, may_fill) == Step::kEndBatch) {
          break;
        }
      }
    } catch (...) {
      batch.error = std::current_exception();
      batch.last = true;
    }
    batch.buffer = window_.Buffer();
  }

 private:
  enum class Step { kRow, kEndBatch };

  Step ReadRow(RowBatch& batch, const std::function<bool(int)>& may_fill) {
    if (!window_.HoldsTheRest() && window_.Size() - reader_.Position() < kRowRoomBytes) {
      if (batch.rows > 0) return Step::kEndBatch;  // the next batch moves the window on
      if (!MoveOn(0, batch, may_fill)) return Step::kEndBatch;
    }
    if (work_ + work_per_row_ > rows_.work_budget) return Stop(batch, kStatusOutOfMemory);
    std::uint8_t status = 0;
    Status r = reader_.NextRow(status, row_values_.data());
    while (r && !window_.HoldsTheRest()) {  // a row longer than the room left for it
      if (batch.rows > 0) return Step::kEndBatch;  // read again, with more room, next batch
      if (!MoveOn(2 * std::uint64_t{window_.Size() - reader_.Position()}, batch, may_fill))
        return Step::kEndBatch;
      r = reader_.NextRow(status, row_values_.data());
    }
    if (r) return Stop(batch, r == kStatusNoMore ? kStatusBadPacket : r);
    work_ += work_per_row_;

    const std::size_t columns = rows_.places.size();
    FieldBytes* values = batch.values.data() + batch.rows * columns;
    std::uint8_t* image = batch.images.data() + batch.rows * image_stride_;
    for (std::size_t c = 0; c < columns; ++c) {
      const PacketRowValue& in = row_values_[c];
      if (in.field_status == kFieldNull) {
        values[c] = FieldBytes{nullptr, 0, FieldNull};
      } else if (in.field_status == kFieldNotChanged) {
        values[c] = FieldBytes{nullptr, 0, FieldNotChanged};
      } else if (Status p = PlaceValue(table_, rows_.places[c], in.bytes, in.size, image, values[c])) {
        return Stop(batch, p);
      }
    }
    batch.statuses[batch.rows++] = status;
    ++row_;
    return Step::kRow;
  }

  // Drops the rows read and reads on (at least `wanted` bytes) into the
  // window's other buffer; false, with the batch ended, when that fails.
  bool MoveOn(std::uint64_t wanted, RowBatch& batch, const std::function<bool(int)>& may_fill) {
    if (!may_fill(window_.OtherBuffer())) {
      batch.last = true;
      return false;
    }
    Status s = window_.Advance(reader_.Position(), wanted, /*keep_old_bytes=*/true);
    if (!s) s = reader_.ContinueRowsIn(window_.Data(), window_.Size());
    if (s) {
      Stop(batch, s);
      return false;
    }
    return true;
  }

  Step Stop(RowBatch& batch, Status status) {
    batch.status = status;
    batch.last = true;
    return Step::kEndBatch;
  }

  DSBASE& table_;
  PacketWindow& window_;
  DSEXTRACT& reader_;
  const RowsToPlace& rows_;
  std::vector<PacketRowValue> row_values_;
  std::uint32_t row_ = 0;
  std::uint64_t work_ = 0;
  const std::uint64_t work_per_row_;
  const std::size_t image_size_;
  std::size_t image_stride_ = 0;  // the image size when values are put together, else 0
  std::size_t batch_rows_ = 0;
};

// The batch's rows into the table, then how the reading ended.
Status PlaceBatch(DSBASE& table, const RowBatch& batch, bool& done) {
  const std::size_t columns = table.Columns().size();
  for (std::size_t i = 0; i < batch.rows; ++i) {
    if (Status s = table.PlaceRowValues(batch.values.data() + i * columns, columns, batch.statuses[i]))
      return s;
  }
  if (batch.error) std::rethrow_exception(batch.error);
  done = batch.last;
  return batch.status;
}

Status PlaceInTurn(DSBASE& table, RowReader& reader) {
  RowBatch batch;
  const std::function<bool(int)> always = [](int) { return true; };
  for (;;) {
    reader.Fill(batch, always);
    bool done = false;
    if (Status s = PlaceBatch(table, batch, done)) return s;
    if (done) return kStatusOk;
  }
}

Status PlaceAlongside(DSBASE& table, RowReader& reader) {
  BatchHandover<RowBatch> handover;
  MakingThread reading(handover, [&] {
    // Per buffer of the window, one past the last batch whose rows lie in it.
    std::uint64_t batches_in[2] = {0, 0};
    const std::function<bool(int)> may_fill = [&](int buffer) {
      return handover.WaitUntilUsed(batches_in[buffer]);
    };
    for (std::uint64_t k = 0;; ++k) {
      RowBatch* batch = handover.SlotToFill(k);
      if (batch == nullptr) return;
      reader.Fill(*batch, may_fill);
      if (batch->rows > 0) batches_in[batch->buffer] = k + 1;
      const bool last = batch->last;
      handover.Filled(k);
      if (last) return;
    }
  });
  if (!reading.Started()) return PlaceInTurn(table, reader);
  for (std::uint64_t k = 0;; ++k) {
    const RowBatch& batch = handover.SlotToUse(k);
    bool done = false;
    const Status s = PlaceBatch(table, batch, done);
    handover.Used(k);
    if (s || done) return s;
  }
}

}  // namespace

Status PlaceRows(DSBASE& table, PacketWindow& window, DSEXTRACT& reader, const RowsToPlace& rows,
                 RowReading reading) {
  RowReader row_reader(table, window, reader, rows);
  // Side values (blobs) are stored in the table as their rows are read: the
  // table is the placing thread's alone.
  const bool can_read_alongside = std::none_of(rows.places.begin(), rows.places.end(),
      [](const ColumnPlace& place) { return place.kind == ColumnKind::kBlob; });
  bool alongside = reading == RowReading::kAlongside;
  if (reading == RowReading::kAsWorthwhile) {
    alongside = window.ReadsFromSource() && !reader.IsTextForm() &&
                window.Total() / kPiecesWorthAThread > window.PieceBytes() &&
                std::thread::hardware_concurrency() >= 2;
  }
  return alongside && can_read_alongside ? PlaceAlongside(table, row_reader)
                                         : PlaceInTurn(table, row_reader);
}

}  // namespace quillset
