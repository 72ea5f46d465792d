// Reads any bytes as short-date text and as grid date-time text under a few
// locale settings, and writes values and patterns taken from the bytes: the
// readers must stay within the text, what they accept must be a real date, and
// no written text may pass 256 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "locale/calendar_dates.h"
#include "base/locale_items.h"
#include "base/testing/in_memory_os.h"

namespace {

quillset::LocaleDateSettings SettingsFor(std::uint8_t choice) {
  static const char* const kPatterns[] = {"yyyy/MM/dd", "yy/MM/dd",       "M/d/yy",
                                          "dd.MM.yyyy", "yyyy/MM/dd ddd", "ggee/MM/dd"};
  static const char kSeparators[] = {'/', '-', '.', ' ', '\0', '/'};
  quillset::testing_support::InMemoryOs os;
  os.SetSingleByteCodePage((choice & 0x80) != 0);
  if (choice % 6 == 5) {
    os.SetLocaleItem(quillset::locale_item::kICalendarType, "3");
    os.SetEras(3, {{"\x95\xBD\x90\xAC", 1989, 1, 8}, {"\x97\xDF\x98\x61", 2019, 5, 1}});
  }
  quillset::LocaleDateSettings settings = quillset::LocaleDateSettings::FromOs(os);
  settings.ShortDatePattern = kPatterns[choice % 6];
  settings.DateSeparatorChar = kSeparators[(choice / 6) % 6];
  settings.LongTimeFormat = (choice & 0x40) ? "AMPM h:mm:ss" : "hh:mm:ss AMPM";
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const quillset::LocaleDateSettings settings = SettingsFor(data[0]);
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  quillset::testing_support::InMemoryOs os;

  quillset::TDateTime value = 0;
  if (quillset::TryParseShortDate(text, settings, os, value)) {
    int y, m, d;
    if (!quillset::DecodeDate(value, y, m, d) || value != quillset::EncodeDate(y, m, d)) abort();
  }
  if (quillset::TryParseDateTimeText(text, settings, os, value)) {
    int y, m, d;
    if (!quillset::DecodeDate(value, y, m, d)) abort();
    if (quillset::FormatDateTimeText(value, settings).size() > 256) abort();
  }

  // The text as a pattern, and its first eight bytes as a value.
  double raw = 0;
  if (text.size() >= sizeof raw) std::memcpy(&raw, text.data(), sizeof raw);
  if (quillset::FormatDateTimePattern(text, raw, settings).size() > 256) abort();
  if (quillset::FormatDateTimePattern(text, 46000.5, settings).size() > 256) abort();
  return 0;
}
