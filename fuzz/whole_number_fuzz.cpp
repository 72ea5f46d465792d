// Reads any bytes as whole-number text: the reader must stay within the text,
// agree with its throwing form, and what it accepts must write and read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/errors.h"
#include "locale/whole_number_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::int32_t value = 0;
  const bool reads = quillset::TryTextToInt(text, value);
  try {
    if (quillset::TextToInt(text) != value || !reads) abort();
  } catch (const quillset::EConvertError&) {
    if (reads) abort();
  }
  if (reads && quillset::TextToInt(quillset::IntToText(value)) != value) abort();
  return 0;
}
