#include "recording/LineOps.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include <locale.h>

namespace kws::rec {

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
inline bool IsFieldSeparator(char c) { return c == '.' || c == '\t' || c == ':' || c == '/'; }

// atoi-like reading of a token, fed one character at a time; saturates instead of overflowing.
class TokenInteger {
public:
    void Feed(char c) {
        switch (state_) {
            case kLeading:
                if (IsSpace(c)) return;
                if (c == '+' || c == '-') {
                    negative_ = c == '-';
                    state_ = kSign;
                    return;
                }
                [[fallthrough]];
            case kSign:
            case kDigits:
                if (IsDigit(c)) {
                    if (value_ < kLimit) value_ = value_ * 10 + (c - '0');
                    state_ = kDigits;
                } else {
                    state_ = kDone;
                }
                return;
            case kDone: return;
        }
    }
    int64_t Value() const { return negative_ ? -value_ : value_; }
    void Reset() { *this = TokenInteger(); }

private:
    static constexpr int64_t kLimit = 100000000000000LL;
    enum State { kLeading, kSign, kDigits, kDone };
    State state_ = kLeading;
    bool negative_ = false;
    int64_t value_ = 0;
};

// A decimal form (digits, optional fraction, optional exponent; no sign) whose value lies beyond
// what from_chars reports: overflow, underflow and, with some libraries, subnormal results.
// Read by the C library in the "C" locale, so the result is strtod's (infinity, a subnormal or
// zero) whatever locale the program runs in. Rare, so the copy does not matter.
double OutOfRangeDecimal(const char* begin, const char* end) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const std::string text(begin, end);
    if (cLocale == static_cast<locale_t>(0)) return std::strtod(text.c_str(), nullptr);
    return strtod_l(text.c_str(), nullptr, cLocale);
}

inline uint64_t Load8(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Whether the first n bytes (15 or 17) of a and b agree, in overlapping 8-byte words.
inline bool SamePrefix(const char* a, const char* b, size_t n) {
    const uint64_t tail = Load8(a + n - 8) ^ Load8(b + n - 8);
    const uint64_t middle = n > 16 ? Load8(a + 8) ^ Load8(b + 8) : 0;
    return ((Load8(a) ^ Load8(b)) | middle | tail) == 0;
}

inline int TwoDigits(const char* p) { return (p[0] - '0') * 10 + (p[1] - '0'); }

// The fixed shapes every recorder writes: "DD.MM.YY<sep>HH:MM:SS<sep>" and the same with a
// four-digit year. Gives the six raw fields exactly as the general walk would.
inline bool FastFields(std::string_view line, int64_t f[6]) {
    const char* p = line.data();
    const size_t n = line.size();
    if (n < 18 || !IsDigit(p[0]) || !IsDigit(p[1]) || !IsFieldSeparator(p[2]) || !IsDigit(p[3]) ||
        !IsDigit(p[4]) || !IsFieldSeparator(p[5]) || !IsDigit(p[6]) || !IsDigit(p[7])) {
        return false;
    }
    size_t i = 8;
    int64_t year = TwoDigits(p + 6);
    if (IsDigit(p[8])) {
        if (n < 20 || !IsDigit(p[9])) return false;
        year = year * 100 + TwoDigits(p + 8);
        i = 10;
    }
    if (!IsFieldSeparator(p[i]) || !IsDigit(p[i + 1]) || !IsDigit(p[i + 2]) ||
        !IsFieldSeparator(p[i + 3]) || !IsDigit(p[i + 4]) || !IsDigit(p[i + 5]) ||
        !IsFieldSeparator(p[i + 6]) || !IsDigit(p[i + 7]) || !IsDigit(p[i + 8]) ||
        !IsFieldSeparator(p[i + 9])) {
        return false;
    }
    f[0] = TwoDigits(p);
    f[1] = TwoDigits(p + 3);
    f[2] = 2000 + year;
    f[3] = TwoDigits(p + i + 1);
    f[4] = TwoDigits(p + i + 4);
    f[5] = TwoDigits(p + i + 7);
    return true;
}

void GeneralFields(std::string_view line, int64_t f[6]) {
    f[0] = 1;
    f[1] = 1;
    f[2] = 2000;
    f[3] = 1;
    f[4] = 1;
    f[5] = 0;
    int field = 0;
    TokenInteger token;
    for (char c : line) {
        if (IsFieldSeparator(c)) {
            f[field] = field == 2 ? 2000 + token.Value() : token.Value();
            if (++field == 6) break;
            token.Reset();
        } else {
            token.Feed(c);
        }
    }
}

}  // namespace

bool CheckColumnCount(std::string_view line, int& layoutFlag) {
    if (line.empty()) return true;
    size_t tabs = 0;
    const char* p = line.data();
    const char* end = p + line.size() - 1;
    while (p < end) {
        const void* hit = std::memchr(p, '\t', static_cast<size_t>(end - p));
        if (hit == nullptr) break;
        ++tabs;
        p = static_cast<const char*>(hit) + 1;
    }
    if (tabs == 13) {
        layoutFlag = 1;
        return true;
    }
    if (tabs == 14) {
        layoutFlag = 0;
        return true;
    }
    return false;
}

bool ParseTimeStamp(std::string_view line, int64_t& out, LocalTimeConverter& converter) {
    return ParseTimeStamp(line, out, converter, std::nullopt);
}

bool ParseTimeStamp(std::string_view line, int64_t& out, LocalTimeConverter& converter,
                    std::optional<int64_t> previous, bool* repeated) {
    if (repeated != nullptr) *repeated = false;
    int64_t f[6];
    if (!FastFields(line, f)) GeneralFields(line, f);
    const int64_t day = f[0], month = f[1], hour = f[3], minute = f[4], second = f[5];
    int64_t year = f[2];
    if (day > 31 || month > 12 || hour > 24 || minute > 59 || second > 59 || day == 0 ||
        month == 0 || year == 0) {
        return false;
    }
    if (year > 3000) year -= 2000;
    int64_t t;
    if (!converter.ToTime(year, month, day, hour, minute, second, t,
                          previous ? &*previous : nullptr, repeated)) {
        return false;
    }
    out = t;
    return true;
}

bool ParseTimeStamp(std::string_view line, int64_t& out) {
    thread_local LocalTimeConverter converter;
    thread_local uint64_t generation = TimeZoneGeneration();
    if (generation != TimeZoneGeneration()) {
        converter = LocalTimeConverter();
        generation = TimeZoneGeneration();
    }
    return ParseTimeStamp(line, out, converter);
}

bool LineClock::Read(std::string_view line, bool isData, int64_t& out) {
    const size_t n = prefixLength_;
    if (n != 0 && line.size() > n + 2 && SamePrefix(line.data(), prefix_, n)) {
        const char* p = line.data() + n;
        if (IsDigit(p[0]) && IsDigit(p[1]) && IsFieldSeparator(p[2])) {
            const int second = TwoDigits(p);
            if (second <= 59) {
                out = *previous_ + (second - prefixSecond_);
                previous_ = out;
                prefixSecond_ = second;
                return true;
            }
        }
    }
    return ReadSlow(line, isData, out);
}

bool LineClock::ReadSlow(std::string_view line, bool isData, int64_t& out) {
    if (!ParseTimeStamp(line, out, converter_, previous_)) return false;
    if (!isData) return true;
    previous_ = out;
    // Remember the line up to its seconds when it has the fixed shape: the next line with the
    // same start lies in the same minute.
    int64_t f[6];
    prefixLength_ = 0;
    if (FastFields(line, f)) {
        const size_t length = IsDigit(line[8]) ? 17 : 15;
        std::memcpy(prefix_, line.data(), length);
        prefixLength_ = length;
        prefixSecond_ = static_cast<int>(f[5]);
    }
    return true;
}

double ParseDecimal(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && IsSpace(*p)) ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Fast path: plain integers, the form every recorder writes.
    const char* digits = p;
    int64_t whole = 0;
    while (p < end && IsDigit(*p) && p - digits < 18) whole = whole * 10 + (*p++ - '0');
    if (p > digits && (p == end || (*p != '.' && *p != 'e' && *p != 'E' && !IsDigit(*p)))) {
        const double v = static_cast<double>(whole);
        return negative ? -v : v;
    }
    // General path: find the longest prefix of the decimal form and convert it exactly.
    p = digits;
    while (p < end && IsDigit(*p)) ++p;
    bool any = p > digits;
    if (p < end && *p == '.') {
        const char* frac = ++p;
        while (p < end && IsDigit(*p)) ++p;
        any = any || p > frac;
    }
    if (!any) return 0.0;
    const char* mantissaEnd = p;
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        if (q < end && (*q == '+' || *q == '-')) ++q;
        const char* expDigits = q;
        while (q < end && IsDigit(*q)) ++q;
        p = q > expDigits ? q : mantissaEnd;
    }
    double v = 0.0;
    auto result = std::from_chars(digits, p, v, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        v = OutOfRangeDecimal(digits, p);
    } else if (result.ec != std::errc()) {
        v = 0.0;
    }
    return negative ? -v : v;
}

double FieldValue(std::string_view field) {
    if (field.empty()) return -25.0;
    return ParseDecimal(field) * 0.1;
}

int SplitFields(std::string_view line, std::string_view* fields, int maxFields) {
    const char* p = line.data();
    const char* end = p + line.size();
    int count = 0;
    while (count < maxFields) {
        const void* hit = std::memchr(p, '\t', static_cast<size_t>(end - p));
        const char* stop = hit != nullptr ? static_cast<const char*>(hit) : end;
        fields[count++] = std::string_view(p, static_cast<size_t>(stop - p));
        if (hit == nullptr) break;
        p = stop + 1;
    }
    return count;
}

double GetColumnValue(std::string_view line, int column) {
    if (column < 0) return -25.0;
    const char* p = line.data();
    const char* end = p + line.size();
    for (int tabs = 0; tabs < column + 2; ++tabs) {
        const void* hit = std::memchr(p, '\t', static_cast<size_t>(end - p));
        if (hit == nullptr) return -25.0;
        p = static_cast<const char*>(hit) + 1;
    }
    const void* hit = std::memchr(p, '\t', static_cast<size_t>(end - p));
    const char* stop = hit != nullptr ? static_cast<const char*>(hit) : end;
    return FieldValue(std::string_view(p, static_cast<size_t>(stop - p)));
}

}  // namespace kws::rec
