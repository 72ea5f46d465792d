#include "backup/run_outcome.h"

#include <exception>

#include "backup/backup_run.h"

namespace quillset {
namespace {

constexpr int kFilePathField = 0;
constexpr int kResultField = 2;
constexpr int kTimeField = 3;

}  // namespace

std::string ResultInFull(const std::string& stored, std::size_t kept_bytes) {
  for (const char* given : {backup_texts::kCopied, backup_texts::kCopyFailed,
                            backup_texts::kFolderMissing}) {
    const std::string full = given;
    if (full.substr(0, kept_bytes) == stored) return full;
  }
  return stored;
}

RunOutcome OutcomeOfList(const TDataSet& store, const CodePage& cp) {
  RunOutcome outcome;
  if (!store.Active()) return outcome;
  const TField& path = store.FieldAt(kFilePathField);
  const TField& result = store.FieldAt(kResultField);
  const auto& time = static_cast<const TDateTimeField&>(store.FieldAt(kTimeField));
  store.ReadEachRow([&] {
    const std::string text = result.ReadText();
    try {
      if (!time.ValueIsNull() && time.ReadDateTime() > outcome.last_attempt)
        outcome.last_attempt = time.ReadDateTime();
    } catch (const std::exception&) {
      // a damaged time: the entry's result still counts
    }
    if (text.empty()) return;  // never attempted
    ++outcome.attempted;
    if (text == backup_texts::kCopied) return;
    if (outcome.failed++ == 0) {
      outcome.first_failed_file = FileNamePart(path.ReadText(), cp);
      outcome.first_failed_result = ResultInFull(text, result.Size());
    }
  });
  return outcome;
}

}  // namespace quillset
