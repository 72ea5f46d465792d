#include "datafile/table_packet_checks.h"

namespace quillset {
namespace {

bool IsComposite(ColumnKind kind) {
  return kind == ColumnKind::kStructure || kind == ColumnKind::kArrayColumn ||
         kind == ColumnKind::kNestedTable || kind == ColumnKind::kReference;
}

}  // namespace

Status CheckColumnNesting(const std::vector<ColumnDescription>& columns) {
  std::vector<std::uint32_t> children_left;  // per open composite column
  for (const ColumnDescription& column : columns) {
    while (!children_left.empty() && children_left.back() == 0) children_left.pop_back();
    if (!children_left.empty()) --children_left.back();
    if (!IsComposite(column.kind)) continue;
    children_left.push_back(column.child_count);
    if (children_left.size() > kMaxColumnNesting) return kStatusBadType;
  }
  return kStatusOk;
}

Status CheckStatusesAgainstLog(const DSBASE& table, const std::vector<ChangeLogEntry>& log) {
  const std::uint32_t slots = table.LastSlot();
  if (log.empty()) {
    for (std::uint32_t slot = 1; slot <= slots; ++slot)
      if (!IsVisibleRowStatus(table.SlotStatus(slot))) return kStatusBadPacket;
    return kStatusOk;
  }
  // The slots before the first one an entry creates stood there when the log
  // began: visible, inserted or changed as an earlier log left them.
  std::uint32_t before_log = slots;
  for (const ChangeLogEntry& entry : log) {
    if (entry.kind == kChangeInsert || entry.kind == kChangeModify) {
      if (entry.slot == 0 || entry.slot > slots) return kStatusBadPacket;
      before_log = entry.slot - 1;
      break;
    }
  }
  constexpr std::uint8_t kShownBits = RowStatusInserted | RowStatusModified;
  std::vector<std::uint8_t> expected(std::size_t{slots} + 1, 0);
  for (std::uint32_t slot = 1; slot <= before_log; ++slot)
    expected[slot] = table.SlotStatus(slot) & kShownBits;
  std::uint32_t next = before_log + 1;  // the slot the next insert or change takes
  const auto live = [&](std::uint32_t slot) {
    return slot >= 1 && slot < next && IsVisibleRowStatus(expected[slot]);
  };
  for (const ChangeLogEntry& entry : log) {
    switch (entry.kind) {
      case kChangeInsert:
        if (entry.slot != next || next > slots || entry.replaced_slot != 0) return kStatusBadPacket;
        expected[next++] = RowStatusInserted;
        break;
      case kChangeModify:
        if (entry.slot != next || next > slots || !live(entry.replaced_slot))
          return kStatusBadPacket;
        expected[next++] = static_cast<std::uint8_t>(
            RowStatusModified | (expected[entry.replaced_slot] & RowStatusInserted));
        expected[entry.replaced_slot] |= RowStatusOriginal;
        break;
      case kChangeDelete:
        if (entry.replaced_slot != 0 || !live(entry.slot)) return kStatusBadPacket;
        expected[entry.slot] |= RowStatusDeleted;
        break;
      default:
        return kStatusBadPacket;
    }
  }
  if (next != std::uint64_t{slots} + 1) return kStatusBadPacket;
  for (std::uint32_t slot = 1; slot <= slots; ++slot)
    if (expected[slot] != table.SlotStatus(slot)) return kStatusBadPacket;
  return kStatusOk;
}

}  // namespace quillset
