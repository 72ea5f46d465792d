#include "backup/same_file.h"

#include <cstdint>

#include "base/code_page.h"

namespace quillset {
namespace {

// Every "/" that is a character of its own turned into "\".
std::string WithBackslashes(std::string path, const CodePage& cp) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (cp.IsLeadByte(static_cast<std::uint8_t>(path[i]))) {
      ++i;  // a trail byte is part of its character
    } else if (path[i] == '/') {
      path[i] = '\\';
    }
  }
  return path;
}

}  // namespace

bool SamePathSpelling(const std::string& a, const std::string& b, const CodePage& cp) {
  return EqualIgnoringAsciiCase(WithBackslashes(a, cp), WithBackslashes(b, cp), cp);
}

bool IsSameFile(OsServices& os, const std::string& a, const std::string& b) {
  if (SamePathSpelling(a, b, os)) return true;
  FileId id_a, id_b;
  return os.FileIdentity(a, id_a) && os.FileIdentity(b, id_b) && id_a == id_b;
}

}  // namespace quillset
