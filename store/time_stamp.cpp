#include "store/time_stamp.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "base/errors.h"

namespace quillset {
namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kDayOfDateTimeZero = 693594;  // 30 December 1899

[[noreturn]] void RaiseTimeStampError(std::int64_t day, std::int64_t ms_of_day) {
  throw EConvertError(FormatMessageText("'%d.%d' は正しいタイムスタンプではありません",
                                        {std::to_string(day), std::to_string(ms_of_day)}));
}

}  // namespace

double EncodeTimeStamp(TDateTime value) {
  const double ms = std::nearbyint(value * 86400000.0);  // ties to even
  if (std::isnan(ms)) RaiseTimeStampError(0, 0);
  if (ms >= 9.0e18) {
    // Far beyond year 9999, still a positive day number: keep it as a double.
    return ms + static_cast<double>(kDayOfDateTimeZero * kMsPerDay);
  }
  if (ms <= -9.0e18) RaiseTimeStampError(0, 0);
  const std::int64_t m = static_cast<std::int64_t>(ms);
  std::int64_t day;
  std::int64_t ms_of_day;
  if (m >= 0) {
    day = kDayOfDateTimeZero + m / kMsPerDay;
    ms_of_day = m % kMsPerDay;
  } else {
    day = kDayOfDateTimeZero - (-m) / kMsPerDay;
    ms_of_day = (-m) % kMsPerDay;
  }
  if (day <= 0) RaiseTimeStampError(day, ms_of_day);
  return static_cast<double>(day * kMsPerDay + ms_of_day);
}

TDateTime DecodeTimeStamp(double stamp) {
  const double rounded = std::nearbyint(stamp);
  if (std::isnan(rounded) || rounded <= -9.0e18) RaiseTimeStampError(0, 0);
  if (rounded >= 9.0e18) {
    return (rounded - static_cast<double>(kDayOfDateTimeZero * kMsPerDay)) / 86400000.0;
  }
  const std::int64_t m = static_cast<std::int64_t>(rounded);
  const std::int64_t day = m / kMsPerDay;
  const std::int64_t ms_of_day = m % kMsPerDay;
  if (day <= 0) RaiseTimeStampError(day, ms_of_day);
  const std::int64_t whole = (day - kDayOfDateTimeZero) * kMsPerDay;
  const std::int64_t total = day >= kDayOfDateTimeZero ? whole + ms_of_day : whole - ms_of_day;
  return static_cast<double>(total) / 86400000.0;
}

}  // namespace quillset
