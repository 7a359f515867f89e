// Clock and date-time conversions.
//
// DOS date-time: date in the high 16 bits (day 0-4, month 5-8, year-1980 9-15), time in the low 16
// bits (seconds/2 0-4, minute 5-10, hour 11-15), local time. Years from 2044 on set the sign bit of
// the int32, so the parts are always taken from the unsigned value.
// TDateTime: days since 1899-12-30 with the time of day as the fraction.
#pragma once

#include <cstdint>
#include <ctime>

namespace rtl {

using TDateTime = double;

// time_t -> DOS date-time in local time, rounded down to 2 seconds; clamped to 1980..2107.
int32_t TimeToDosDateTime(time_t t);
// DOS date-time -> time_t (local time); -1 when the fields are not a valid date and time.
time_t DosDateTimeToTime(int32_t dos);
bool IsValidDosDateTime(int32_t dos);

// DOS date-time <-> TDateTime. FileDateToDateTime raises EConvertError for an invalid value.
TDateTime FileDateToDateTime(int32_t dos);
int32_t DateTimeToFileDate(TDateTime dt);

// Calendar parts; EncodeDate/EncodeTime raise EConvertError for values out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& dt);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec);

// Local time now.
TDateTime Now();
// Milliseconds of a monotonic clock; wraps at 2^32 like the platform's counter.
uint32_t GetTickCount();

}  // namespace rtl
