#include "platform/rtl/datetime.h"

#include <cmath>

#include "platform/rtl/exceptions.h"

namespace rtl {

namespace {

constexpr uint32_t kDosMinimum = (0u << 25) | (1u << 21) | (1u << 16);  // 1980-01-01 00:00:00
constexpr uint32_t kDosMaximum = (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u;
constexpr int kMsecPerDay = 86400000;

struct DosFields {
    int year, month, day, hour, minute, second;
};

// Parts of the unsigned value, so that years from 2044 on (sign bit set) decode correctly.
DosFields SplitDos(int32_t dos) {
    uint32_t v = static_cast<uint32_t>(dos);
    return {static_cast<int>(1980 + (v >> 25)), static_cast<int>((v >> 21) & 0xF), static_cast<int>((v >> 16) & 0x1F),
            static_cast<int>((v >> 11) & 0x1F), static_cast<int>((v >> 5) & 0x3F), static_cast<int>((v & 0x1F) * 2)};
}

int32_t JoinDos(int year, int month, int day, int hour, int minute, int second) {
    uint32_t v = (static_cast<uint32_t>(year - 1980) << 25) | (static_cast<uint32_t>(month) << 21) |
                 (static_cast<uint32_t>(day) << 16) | (static_cast<uint32_t>(hour) << 11) |
                 (static_cast<uint32_t>(minute) << 5) | static_cast<uint32_t>(second / 2);
    return static_cast<int32_t>(v);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    int64_t era = (y >= 0 ? y : y - 399) / 400;
    int64_t yoe = y - era * 400;
    int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

const int64_t kDateDelta = DaysFromCivil(1899, 12, 30);  // day 0 of TDateTime

bool ValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

bool ValidTime(int hour, int minute, int second, int msec) {
    return hour >= 0 && hour < 24 && minute >= 0 && minute < 60 && second >= 0 && second < 60 && msec >= 0 &&
           msec < 1000;
}

TDateTime FromTm(const struct tm& tm, int msec) {
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, msec);
}

}  // namespace

int32_t TimeToDosDateTime(time_t t) {
    struct tm tm;
    if (!localtime_r(&t, &tm) || tm.tm_year + 1900 < 1980) return static_cast<int32_t>(kDosMinimum);
    if (tm.tm_year + 1900 > 2107) return static_cast<int32_t>(kDosMaximum);
    return JoinDos(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

bool IsValidDosDateTime(int32_t dos) {
    DosFields f = SplitDos(dos);
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= DaysInMonth(f.year, f.month) &&
           ValidTime(f.hour, f.minute, f.second, 0);
}

time_t DosDateTimeToTime(int32_t dos) {
    if (!IsValidDosDateTime(dos)) return -1;
    DosFields f = SplitDos(dos);
    struct tm tm = {};
    tm.tm_year = f.year - 1900;
    tm.tm_mon = f.month - 1;
    tm.tm_mday = f.day;
    tm.tm_hour = f.hour;
    tm.tm_min = f.minute;
    tm.tm_sec = f.second;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

TDateTime FileDateToDateTime(int32_t dos) {
    if (!IsValidDosDateTime(dos)) throw EConvertError("Invalid argument to date encode");
    DosFields f = SplitDos(dos);
    return EncodeDate(f.year, f.month, f.day) + EncodeTime(f.hour, f.minute, f.second, 0);
}

int32_t DateTimeToFileDate(TDateTime dt) {
    int year, month, day, hour, minute, second, msec;
    DecodeDate(dt, year, month, day);
    if (year < 1980 || year > 2107) return 0;
    DecodeTime(dt, hour, minute, second, msec);
    return JoinDos(year, month, day, hour, minute, second);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& dt) {
    if (!ValidDate(year, month, day)) return false;
    dt = static_cast<double>(DaysFromCivil(year, month, day) - kDateDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime dt;
    if (!TryEncodeDate(year, month, day, dt)) throw EConvertError("Invalid argument to date encode");
    return dt;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (!ValidTime(hour, minute, second, msec)) throw EConvertError("Invalid argument to time encode");
    return ((hour * 3600 + minute * 60 + second) * 1000 + msec) / static_cast<double>(kMsecPerDay);
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    double whole = std::trunc(dt);
    if (!std::isfinite(whole) || std::fabs(whole) > 3.0e6) whole = 0;  // far outside 0001..9999
    CivilFromDays(static_cast<int64_t>(whole) + kDateDelta, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& minute, int& second, int& msec) {
    double fraction = std::isfinite(dt) ? std::fabs(dt - std::trunc(dt)) : 0;
    int total = static_cast<int>(std::llround(fraction * kMsecPerDay));
    if (total >= kMsecPerDay) total = kMsecPerDay - 1;
    hour = total / 3600000;
    minute = total / 60000 % 60;
    second = total / 1000 % 60;
    msec = total % 1000;
}

TDateTime Now() {
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    struct tm tm;
    localtime_r(&ts.tv_sec, &tm);
    return FromTm(tm, static_cast<int>(ts.tv_nsec / 1000000));
}

uint32_t GetTickCount() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

}  // namespace rtl
