#include "recording/LocalTime.h"

#include <algorithm>
#include <ctime>

namespace kws::rec {

bool UtcOffsetAt(int64_t t, int64_t& offset) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    if (localtime_r(&tt, &tm) == nullptr) return false;
    offset = tm.tm_gmtoff;
    return true;
}

bool LocalFieldsOf(int64_t t, LocalFields& out) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    if (localtime_r(&tt, &tm) == nullptr) return false;
    out = {static_cast<int64_t>(tm.tm_year) + 1900,
           tm.tm_mon + 1,
           tm.tm_mday,
           tm.tm_hour,
           tm.tm_min,
           tm.tm_sec,
           tm.tm_wday};
    return true;
}

namespace {

// The UTC offsets under which the naive local second `naive` is a real local time, sorted
// from the largest offset (earliest instant) down. Empty inside a daylight-saving gap; two
// entries in the repeated hour of the autumn change.
int ValidOffsets(int64_t naive, int64_t (&result)[8]) {
    int64_t guess;
    if (!UtcOffsetAt(naive, guess)) return 0;
    int64_t candidates[8];
    int candidateCount = 0;
    for (int k = -3; k <= 3; ++k) {
        int64_t o;
        if (!UtcOffsetAt(naive - guess + k * 3600, o)) continue;
        if (std::find(candidates, candidates + candidateCount, o) == candidates + candidateCount) {
            candidates[candidateCount++] = o;
        }
    }
    int count = 0;
    for (int i = 0; i < candidateCount; ++i) {
        int64_t actual;
        if (UtcOffsetAt(naive - candidates[i], actual) && actual == candidates[i]) {
            result[count++] = candidates[i];
        }
    }
    std::sort(result, result + count, [](int64_t a, int64_t b) { return a > b; });
    return count;
}

}  // namespace

LocalTimeConverter::LocalTimeConverter() {
    // localtime_r reads the zone once per process; make sure it has done so.
    tzset();
}

void LocalTimeConverter::FillEntry(Entry& e, int64_t hourKey) {
    e.hourKey = hourKey;
    e.valid = true;
    int64_t first[8], last[8];
    const int firstCount = ValidOffsets(hourKey * 3600, first);
    const int lastCount = ValidOffsets(hourKey * 3600 + 3599, last);
    e.uniform =
        firstCount > 0 && firstCount == lastCount && std::equal(first, first + firstCount, last);
    e.offset = e.uniform ? first[0] : 0;
    // Two offsets valid for the whole hour: the clock went back and runs through it twice.
    e.repeated = e.uniform && firstCount >= 2;
    e.laterOffset = e.repeated ? first[1] : e.offset;
}

bool LocalTimeConverter::ToTimeMiss(int64_t year, int64_t month, int64_t day, int64_t hour,
                                    int64_t minute, int64_t second, int64_t& out,
                                    const int64_t* previous, bool* repeated) {
    if (repeated != nullptr) *repeated = false;
    int64_t naive;
    if (!NaiveSeconds(year, month, day, hour, minute, second, naive)) return false;
    const int64_t hourKey = FloorDiv(naive, 3600);
    Entry& e = cache_[static_cast<uint64_t>(hourKey) & (kCacheSize - 1)];
    if (!(e.valid && e.hourKey == hourKey)) FillEntry(e, hourKey);
    if (!e.uniform) return ToTimeSlow(naive, out);
    out = naive - e.offset;
    if (e.repeated) {
        // The pass nearer to the line read just before it: the first pass while the clock runs
        // on (even when it steps back a few seconds), the second once it has stepped back by
        // about the hour. Without a line before, and at equal distance, the first pass.
        if (previous != nullptr) {
            const int64_t later = naive - e.laterOffset;
            const int64_t toEarlier = out > *previous ? out - *previous : *previous - out;
            const int64_t toLater = later > *previous ? later - *previous : *previous - later;
            if (toLater < toEarlier) out = later;
        }
        if (repeated != nullptr) *repeated = true;
        return true;
    }
    if (IsPlainHour(year, month, day, hour) && minute >= 0 && minute <= 59 && second >= 0 &&
        second <= 59) {
        memoKey_ = HourKey(year, month, day, hour);
        memoBase_ = out - minute * 60 - second;
    }
    return true;
}

bool LocalTimeConverter::ToTimeSlow(int64_t naive, int64_t& out) {
    const int64_t hourKey = FloorDiv(naive, 3600);
    Entry& e = cache_[static_cast<uint64_t>(hourKey) & (kCacheSize - 1)];
    if (!(e.valid && e.hourKey == hourKey)) FillEntry(e, hourKey);
    if (e.uniform) {
        out = naive - e.offset;
        return true;
    }
    // The offset changes within this hour: ask mktime itself, once per minute.
    const int64_t minuteKey = FloorDiv(naive, 60);
    if (minuteKey != minuteKey_) {
        const int64_t minuteStart = minuteKey * 60;
        const int64_t days = FloorDiv(minuteStart, 86400);
        const int64_t secondOfDay = minuteStart - days * 86400;
        const CivilDate date = CivilFromDays(days);
        struct tm tm = {};
        tm.tm_year = static_cast<int>(date.year - 1900);
        tm.tm_mon = date.month - 1;
        tm.tm_mday = date.day;
        tm.tm_hour = static_cast<int>(secondOfDay / 3600);
        tm.tm_min = static_cast<int>(secondOfDay / 60 % 60);
        tm.tm_sec = 0;
        tm.tm_isdst = -1;
        tm.tm_wday = -1;
        const time_t t = mktime(&tm);
        minuteKey_ = minuteKey;
        minuteOk_ = !(t == static_cast<time_t>(-1) && tm.tm_wday == -1);
        minuteBase_ = t;
    }
    if (!minuteOk_) return false;
    out = minuteBase_ + (naive - minuteKey * 60);
    return true;
}

namespace {
std::atomic<uint64_t> g_zoneGeneration{0};
}

void TimeZoneChanged() { g_zoneGeneration.fetch_add(1, std::memory_order_relaxed); }

uint64_t TimeZoneGeneration() { return g_zoneGeneration.load(std::memory_order_relaxed); }

bool LocalTimeFormatter::ToFields(int64_t t, LocalFields& out) {
    const int64_t hourKey = FloorDiv(t, 3600);
    if (hourKey != entry_.hourKey) {
        int64_t first, last;
        const bool ok =
            UtcOffsetAt(hourKey * 3600, first) && UtcOffsetAt(hourKey * 3600 + 3599, last);
        entry_.hourKey = hourKey;
        entry_.uniform = ok && first == last;
        entry_.offset = first;
    }
    if (!entry_.uniform) return LocalFieldsOf(t, out);
    const int64_t naive = t + entry_.offset;
    const int64_t days = FloorDiv(naive, 86400);
    const int64_t secondOfDay = naive - days * 86400;
    const CivilDate date = CivilFromDays(days);
    out.year = date.year;
    out.month = date.month;
    out.day = date.day;
    out.hour = static_cast<int>(secondOfDay / 3600);
    out.minute = static_cast<int>(secondOfDay / 60 % 60);
    out.second = static_cast<int>(secondOfDay % 60);
    out.weekday = static_cast<int>(((days % 7) + 11) % 7);
    return true;
}

int InstantsOfLocal(int64_t naive, int64_t (&out)[2]) {
    int64_t offsets[8];
    const int count = std::min(ValidOffsets(naive, offsets), 2);
    for (int i = 0; i < count; ++i) out[i] = naive - offsets[i];
    return count;
}

std::string RepeatedHourZone(int64_t t) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm;
    if (localtime_r(&tt, &tm) == nullptr) return {};
    int64_t instants[2];
    if (InstantsOfLocal(t + tm.tm_gmtoff, instants) < 2) return {};
    return tm.tm_zone != nullptr ? std::string(tm.tm_zone) : std::string();
}

}  // namespace kws::rec
