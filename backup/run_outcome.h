// How the backup runs over the list ended, as the entries' results tell it:
// each entry keeps the result and the time of its last attempt, so the list
// itself holds the outcome of the last run, at start as after a run, and
// nothing else has to be stored for it.
#pragma once

#include <cstddef>
#include <string>

#include "base/code_page.h"
#include "locale/calendar_dates.h"
#include "store/record_store.h"

namespace quillset {

struct RunOutcome {
  // Entries with a result (attempted at least once), and of them those whose
  // result is not "バックアップ成功".
  int attempted = 0;
  int failed = 0;
  // The first entry in list order that did not succeed: the file-name part of
  // its path, and its result as the run gave it ("フォルダーが見つかりません"
  // whole, though the field keeps its first 20 bytes).
  std::string first_failed_file;
  std::string first_failed_result;
  // The latest attempt of any entry; 0.0 when none has a time.
  TDateTime last_attempt = 0.0;

  bool HasFailures() const { return failed > 0; }
};

// Reads every entry of `store` (MakeBackupEntryStore's fields; an entry being
// edited as edited so far) and moves nothing. A closed store has no outcome.
// A time that cannot be read counts as none.
RunOutcome OutcomeOfList(const TDataSet& store, const CodePage& cp);

// A result as the run gave it: a stored text that is one of the run's texts
// cut to the field's `kept_bytes` is given whole again; any other text as it
// stands.
std::string ResultInFull(const std::string& stored, std::size_t kept_bytes);

}  // namespace quillset
