#include "store/status.h"

#include <cstdio>
#include <ostream>

namespace quillset {
namespace {

struct StatusEntry {
  std::uint16_t code;
  const char* text;
};

#define QUILLSET_STATUS_ENTRY(name, code, text) {code, text},
constexpr StatusEntry kStatuses[] = {QUILLSET_STATUS_CODES(QUILLSET_STATUS_ENTRY)};
#undef QUILLSET_STATUS_ENTRY

}  // namespace

const char* StatusText(Status status) {
  for (const StatusEntry& entry : kStatuses)
    if (entry.code == status.Code()) return entry.text;
  return "unknown status";
}

std::ostream& operator<<(std::ostream& out, Status status) {
  char code[8];
  std::snprintf(code, sizeof code, "0x%04X", static_cast<unsigned>(status.Code()));
  return out << code << " (" << StatusText(status) << ")";
}

}  // namespace quillset
