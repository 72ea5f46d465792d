// Copying a file over an older copy so that a failure never costs the older
// copy: the file is copied to a new file beside the target, flushed to the
// disk, and only a complete copy replaces the target, in one step. A failed or
// partial copy is removed again and the older copy stays as it was.
//
// The copy keeps the source's attributes. A read-only source gives a
// read-only copy, which the system will neither flush, nor remove, nor let an
// older read-only copy be replaced: the read-only bit is lifted from the new
// file while it is ours and from the older copy just before it is replaced,
// and set on the new backup at the end.
#pragma once

#include <string>

#include "base/os_services.h"

namespace quillset {

// Copies `source` to `target`, replacing an existing file of that name.
// Returns true only when the complete copy now stands at `target`. On false
// the file that stood at `target` (if any) is unchanged and no new file is
// left in the target's folder (unless the system refused to remove it).
// A target that is the source itself, under any spelling (same_file.h), is
// refused as the system's copy refuses it: false, nothing touched.
// `progress` (if set) hears how far the copy is and may cancel it; it is
// asked once more, with its last numbers, after the flush and before the
// replace. A cancelled copy fails in the same way. Without it the copy
// reports nothing (one copy call either way: the system's copy with a
// progress routine, or with none).
// The new file's name is taken by creating it (CREATE_NEW), so no two
// copies, in this process or any other, ever share one. Leftovers of this
// target's earlier copies that were cut off (named by SafeCopyTemporaryName)
// are removed once the copy has its own, except those another program holds
// open and those last written less than an hour before the copy's own new
// file (another PC's or session's copy to the same folder, at work): these
// take names of their own and never make the copy fail.
bool SafeCopyFile(OsServices& os, const std::string& source, const std::string& target,
                  const CopyProgress& progress = CopyProgress());

// The name of the new file for attempt `attempt` (0, 1, ...) of a copy to
// `target`: beside the target, in the same folder, so that the replacement is
// a rename within one volume.
std::string SafeCopyTemporaryName(const std::string& target, int attempt);

}  // namespace quillset
