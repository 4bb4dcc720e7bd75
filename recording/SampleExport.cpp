#include "recording/SampleExport.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace kws::rec {

namespace {

char* PutDigits(char* p, int64_t value, int width) {
    char tmp[24];
    bool negative = value < 0;
    uint64_t v = negative ? static_cast<uint64_t>(-value) : static_cast<uint64_t>(value);
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v != 0);
    while (n < width) tmp[n++] = '0';
    if (negative) *p++ = '-';
    while (n > 0) *p++ = tmp[--n];
    return p;
}

bool ReadNumber(std::string_view& s, int64_t& value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    const size_t first = i;
    value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9' && i - first < 9)
        value = value * 10 + (s[i++] - '0');
    if (i == first) return false;
    s.remove_prefix(i);
    return true;
}

bool Expect(std::string_view& s, std::string_view chars) {
    if (s.empty() || chars.find(s[0]) == std::string_view::npos) return false;
    s.remove_prefix(1);
    return true;
}

// Shortest round-trip text of v, as std::to_chars gives it. Values that are a whole number of
// tenths below 100000 (nearly every sample) take a fast path: when v is the double nearest to
// n / 10, no shorter decimal reads back as v, so "n/10" with one decimal (or none) is the
// answer; in that range the fixed form is never longer than the exponent form.
char* PutShortest(char* p, double v) {
    if (v > -100000.0 && v < 100000.0) {
        const double scaled = v * 10.0;
        const long long n = static_cast<long long>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
        if (static_cast<double>(n) / 10.0 == v && !(v == 0.0 && std::signbit(v))) {
            const long long whole = n / 10;
            const int tenth = static_cast<int>(n % 10);
            if (n < 0) *p++ = '-';
            p = PutDigits(p, whole < 0 ? -whole : whole, 1);
            if (tenth != 0) {
                *p++ = '.';
                *p++ = static_cast<char>('0' + (tenth < 0 ? -tenth : tenth));
            }
            return p;
        }
    }
    return std::to_chars(p, p + 64, v).ptr;
}

}  // namespace

std::string FormatLocalTime(int64_t t, std::string_view pattern) {
    thread_local LocalTimeFormatter formatter;
    thread_local uint64_t generation = TimeZoneGeneration();
    if (generation != TimeZoneGeneration()) {
        formatter = LocalTimeFormatter();
        generation = TimeZoneGeneration();
    }
    LocalFields f{};
    if (!formatter.ToFields(t, f)) return {};
    std::string out;
    char buf[32];
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 == pattern.size()) {
            out += pattern[i];
            continue;
        }
        char* e = buf;
        switch (pattern[++i]) {
            case 'd': e = PutDigits(buf, f.day, 2); break;
            case 'm': e = PutDigits(buf, f.month, 2); break;
            case 'Y': e = PutDigits(buf, f.year, 4); break;
            case 'y': e = PutDigits(buf, ((f.year % 100) + 100) % 100, 2); break;
            case 'H': e = PutDigits(buf, f.hour, 2); break;
            case 'M': e = PutDigits(buf, f.minute, 2); break;
            case 'S': e = PutDigits(buf, f.second, 2); break;
            case '%': *e++ = '%'; break;
            default: *e++ = '%'; *e++ = pattern[i];
        }
        out.append(buf, e);
    }
    return out;
}

std::string FormatLocalTimeMarked(int64_t t, std::string_view pattern) {
    std::string text = FormatLocalTime(t, pattern);
    const std::string zone = RepeatedHourZone(t);
    if (!zone.empty()) text += ' ' + zone;
    return text;
}

bool ParseLocalDateTime(std::string_view s, int64_t& out) {
    int64_t day, month, year, hour, minute, second = 0;
    if (!ReadNumber(s, day) || !Expect(s, "/.") || !ReadNumber(s, month) || !Expect(s, "/.") ||
        !ReadNumber(s, year) || !Expect(s, " T") || !ReadNumber(s, hour) || !Expect(s, ":") ||
        !ReadNumber(s, minute)) {
        return false;
    }
    if (!s.empty() && (!Expect(s, ":") || !ReadNumber(s, second))) return false;
    while (!s.empty() && s[0] == ' ') s.remove_prefix(1);
    if (!s.empty()) return false;
    if (day < 1 || day > 31 || month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59) {
        return false;
    }
    LocalTimeConverter converter;
    return converter.ToTime(year, month, day, hour, minute, second, out);
}

bool WriteSamplesTsv(std::FILE* out, const SampleArray& samples) {
    static constexpr char kHeader[] = "time\tlocal\tv0\tv1\tv2\tv3\tv4\tv5\n";
    if (std::fwrite(kHeader, 1, sizeof kHeader - 1, out) != sizeof kHeader - 1) return false;
    LocalTimeFormatter formatter;
    std::vector<char> buffer(1 << 20);
    char* p = buffer.data();
    char* const limit = buffer.data() + buffer.size() - 512;  // room for one line
    for (const SampleRecord& r : samples) {
        p = PutDigits(p, r.time, 1);
        *p++ = '\t';
        LocalFields f{};
        if (formatter.ToFields(r.time, f)) {
            p = PutDigits(p, f.day, 2);
            *p++ = '.';
            p = PutDigits(p, f.month, 2);
            *p++ = '.';
            p = PutDigits(p, f.year, 4);
            *p++ = ' ';
            p = PutDigits(p, f.hour, 2);
            *p++ = ':';
            p = PutDigits(p, f.minute, 2);
            *p++ = ':';
            p = PutDigits(p, f.second, 2);
        }
        for (double v : r.value) {
            *p++ = '\t';
            p = PutShortest(p, v);
        }
        *p++ = '\n';
        if (p >= limit) {
            const size_t n = static_cast<size_t>(p - buffer.data());
            if (std::fwrite(buffer.data(), 1, n, out) != n) return false;
            p = buffer.data();
        }
    }
    const size_t n = static_cast<size_t>(p - buffer.data());
    if (n > 0 && std::fwrite(buffer.data(), 1, n, out) != n) return false;
    return std::fflush(out) == 0;
}

}  // namespace kws::rec
