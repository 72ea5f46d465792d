// Reads any bytes as a settings file, in whichever of its three forms the
// first bytes tell: the reader stays within them, and a text it calls exact
// is written back to the very same bytes, also after a key was set.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/host_profile_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const quillset::ShiftJisCodePage cp;
  const quillset::ProfileFileText file = quillset::DecodeProfileFile(bytes);
  std::string value, again;
  (void)quillset::FindProfileValue(file.text, "Time", "TimerSet", cp, value);
  if (file.exact && quillset::EncodeProfileFile(file.text, file.encoding, again) && again != bytes)
    std::abort();
  const std::string edited = quillset::SetProfileValue(file.text, "Time", "TimerSet", "2027/03/08", cp);
  if (!quillset::FindProfileValue(edited, "Time", "TimerSet", cp, value) || value != "2027/03/08")
    std::abort();
  return 0;
}
