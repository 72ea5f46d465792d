// What a loaded packet must hold together before its table is used: the
// checks that tell a damaged data file from one this program (or a packet of
// the same kind) wrote. Each gives kStatusBadPacket or kStatusBadType for
// bytes that do not add up, so that the load is refused with the file's name
// instead of handing the user a list that one damaged byte changed.
#pragma once

#include <cstdint>
#include <vector>

#include "store/record_engine.h"

namespace quillset {

// The deepest nesting of structure and array columns a packet may declare.
// The program's own file has none; a chain that a file controls would
// otherwise be walked as deep as it says on every save.
constexpr std::size_t kMaxColumnNesting = 32;

// kStatusBadType for composite columns nested deeper than kMaxColumnNesting.
Status CheckColumnNesting(const std::vector<ColumnDescription>& columns);

// The row statuses of `table`'s slots against `log` (not yet applied). With an
// empty log every row is visible. With a log, replaying it from the rows that
// stood before it began must give every slot its status exactly: each insert
// and change takes the next slot, a change hides the visible version it
// replaces (RowStatusOriginal), a delete hides a visible row
// (RowStatusDeleted), and no other bits occur.
Status CheckStatusesAgainstLog(const DSBASE& table, const std::vector<ChangeLogEntry>& log);

}  // namespace quillset
