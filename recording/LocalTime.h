// Local calendar time without the cost of mktime per call.
//
// LocalTimeConverter turns date and time fields into seconds since the epoch exactly as mktime
// does with tm_isdst = -1 (out-of-range fields are normalised: 31.04. is 1 May, hour 24 is
// 0 o'clock of the next day). It learns the zone's UTC offset once per local hour through
// localtime_r, which reads the zone file only once per process, and falls back to mktime
// itself (once per minute) only in the rare hours where the offset changes.
//
// In the repeated hour of the autumn change a local time names two instants and mktime's answer
// depends on its earlier calls. The converter gives the earlier instant, the reading in
// daylight-saving time, unless the caller passes the time of the line before and the later
// instant (the hour's second pass) lies nearer to it. A clock that steps back a second keeps
// its pass; one that steps back by the hour moves on to the second.
//
// LocalTimeFormatter goes the other way (seconds to local fields), cached per UTC hour.
// Both are cheap to construct; each thread uses its own. They assume the process time zone
// does not change while they live; the shared per-thread ones are dropped after
// TimeZoneChanged().
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace kws::rec {

// Days since 1970-01-01 of the proleptic Gregorian date y-m-d (m in 1..12, d >= 1).
constexpr int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDate {
    int64_t year;
    int month;  // 1..12
    int day;    // 1..31
};

constexpr CivilDate CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {yoe + era * 400 + (month <= 2), month, day};
}

constexpr int64_t FloorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// Local date and time fields, already normalised.
struct LocalFields {
    int64_t year;
    int month;    // 1..12
    int day;      // 1..31
    int hour;     // 0..23
    int minute;   // 0..59
    int second;   // 0..59
    int weekday;  // 0 = Sunday
};

class LocalTimeConverter {
public:
    LocalTimeConverter();

    // Converts the fields as local time; false when the date lies outside what the platform's
    // calendar can represent (years beyond roughly +-100000).
    //
    // In an hour the autumn change repeats, the earlier instant is taken unless `previous` is
    // given and the later one lies nearer to it. `repeated`, when given, tells
    // whether the fields fell into such an hour.
    bool ToTime(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                int64_t second, int64_t& out, const int64_t* previous = nullptr,
                bool* repeated = nullptr) {
        // Consecutive lines of a recording mostly share their hour: remember the last one. A
        // repeated hour is never remembered, its reading depends on the line before.
        if (IsPlainHour(year, month, day, hour) && minute >= 0 && minute <= 59 && second >= 0 &&
            second <= 59 && HourKey(year, month, day, hour) == memoKey_) {
            out = memoBase_ + minute * 60 + second;
            if (repeated != nullptr) *repeated = false;
            return true;
        }
        return ToTimeMiss(year, month, day, hour, minute, second, out, previous, repeated);
    }

    // Seconds of the local calendar as if it had no zone ("naive" local seconds); false for
    // dates too far out to convert.
    bool NaiveSeconds(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                      int64_t second, int64_t& out) {
        if (year < -kYearLimit || year > kYearLimit || month < -kFieldLimit ||
            month > kFieldLimit || day < -kFieldLimit || day > kFieldLimit || hour < -kFieldLimit ||
            hour > kFieldLimit || minute < -kFieldLimit || minute > kFieldLimit ||
            second < -kFieldLimit || second > kFieldLimit) {
            return false;
        }
        int64_t days;
        if (year == lastYear_ && month == lastMonth_) {
            days = lastMonthDays_;
        } else {
            const int64_t months = year * 12 + (month - 1);
            const int64_t y = FloorDiv(months, 12);
            const int64_t m = months - y * 12 + 1;
            days = DaysFromCivil(y, m, 1);
            lastYear_ = year;
            lastMonth_ = month;
            lastMonthDays_ = days;
        }
        days += day - 1;
        out = days * 86400 + hour * 3600 + minute * 60 + second;
        return true;
    }

private:
    static constexpr int64_t kYearLimit = 100000;
    static constexpr int64_t kFieldLimit = 1000000000;
    static constexpr uint64_t kCacheSize = 64;

    struct Entry {
        int64_t hourKey = 0;
        int64_t offset = 0;       // UTC = naive - offset for every second of the hour
        int64_t laterOffset = 0;  // in a repeated hour: the offset of its second pass
        bool valid = false;
        bool uniform = false;   // false: the offset changes within the hour
        bool repeated = false;  // every second of the hour happens twice (autumn change)
    };

    static bool IsPlainHour(int64_t year, int64_t month, int64_t day, int64_t hour) {
        return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour >= 0 && hour <= 23 &&
               year > -kYearLimit && year < kYearLimit;
    }
    static int64_t HourKey(int64_t year, int64_t month, int64_t day, int64_t hour) {
        return ((year * 16 + month) * 32 + day) * 32 + hour;
    }
    bool ToTimeMiss(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                    int64_t second, int64_t& out, const int64_t* previous, bool* repeated);
    bool ToTimeSlow(int64_t naive, int64_t& out);
    void FillEntry(Entry& e, int64_t hourKey);

    Entry cache_[kCacheSize];
    int64_t lastYear_ = INT64_MIN;
    int64_t lastMonth_ = INT64_MIN;
    int64_t lastMonthDays_ = 0;
    // The last hour converted whose offset holds for the whole hour: its fields and its start.
    int64_t memoKey_ = INT64_MIN;
    int64_t memoBase_ = 0;
    // Per-minute memo for hours in which the offset changes.
    int64_t minuteKey_ = INT64_MIN;
    int64_t minuteBase_ = 0;
    bool minuteOk_ = false;
};

class LocalTimeFormatter {
public:
    // Local fields of t; false when the platform cannot represent it.
    bool ToFields(int64_t t, LocalFields& out);

private:
    struct Entry {
        int64_t hourKey = INT64_MIN;
        int64_t offset = 0;
        bool uniform = false;
    };
    Entry entry_;
};

// Call after changing the process time zone (TZ and tzset): the per-thread converters behind
// ParseTimeStamp and FormatLocalTime then start afresh.
void TimeZoneChanged();
uint64_t TimeZoneGeneration();

// UTC offset in seconds at instant t, through localtime_r; false when t cannot be converted.
bool UtcOffsetAt(int64_t t, int64_t& offset);

// Local fields of t through localtime_r directly (the reference the caches are checked against).
bool LocalFieldsOf(int64_t t, LocalFields& out);

// The instants at which the local clock reads the naive local second `naive` (seconds of the
// local calendar as if it had no zone), earliest first: none in the hour skipped in spring, two
// in the hour repeated in autumn, else one. Returns how many were written to `out`.
int InstantsOfLocal(int64_t naive, int64_t (&out)[2]);

// The zone's abbreviation at t as the system names it ("CEST", "CET") when the local clock
// reading of t occurs twice (the hour repeated when the clocks go back); otherwise empty. Times
// in that hour are ambiguous without it.
std::string RepeatedHourZone(int64_t t);

}  // namespace kws::rec
