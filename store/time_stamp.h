// Date-time values as the record store keeps them: a 64-bit float counting
// milliseconds in which day number d (day 1 = 1 January of year 1, proleptic
// Gregorian) starts at d * 86,400,000. TDateTime 0.0 (30 December 1899, day
// 693594) is 59926521600000.
#pragma once

#include "locale/calendar_dates.h"

namespace quillset {

// Rounds value * 86,400,000 to the nearest integer (ties to even). Throws
// EConvertError "'%d.%d' は正しいタイムスタンプではありません" (day number,
// milliseconds of the day) for a day number <= 0 or a value that is no number.
double EncodeTimeStamp(TDateTime value);
// The day count of a stored stamp; the same error for a day number <= 0. For
// days before 30 December 1899 the time of day moves the value towards minus
// infinity (the TDateTime convention).
TDateTime DecodeTimeStamp(double stamp);

}  // namespace quillset
