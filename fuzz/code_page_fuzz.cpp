// Reads any bytes as a message and as a path: the code-page helpers must stay
// within the text they are given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const quillset::ShiftJisCodePage cp;
  (void)quillset::FileNamePart(text, cp);
  (void)quillset::ReplaceExtension(text, ".ini", cp);
  (void)quillset::FailureBoxText(text, cp);
  return 0;
}
