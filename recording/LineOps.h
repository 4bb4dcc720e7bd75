// The four operations on one line of a recording. They touch nothing but the line (and the
// local-time calendar for ParseTimeStamp).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "recording/LocalTime.h"

namespace kws::rec {

// Data lines start with two digits followed by '.', '/' or ':' in the third position, or have
// one of these in the sixth position.
inline bool IsDataLine(std::string_view line) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto separator = [](char c) { return c == '.' || c == '/' || c == ':'; };
    if (line.size() < 3 || !digit(line[0]) || !digit(line[1])) return false;
    return separator(line[2]) || (line.size() >= 6 && separator(line[5]));
}

// Counts the tabs of the line, its last character excepted: 13 tabs set the flag to 1
// (three-curve layout), 14 tabs to 0 (six-curve layout); other counts give false and leave the
// flag alone. An empty line gives true and leaves the flag alone.
bool CheckColumnCount(std::string_view line, int& layoutFlag);

// Reads "DD.MM.YY<TAB>HH:MM:SS<TAB>..." (any of '.', '/', ':', TAB ends a number) into local
// time. On false `out` is unchanged. Fields that are missing keep their defaults
// (1 January 2000, 01:01:00).
bool ParseTimeStamp(std::string_view line, int64_t& out, LocalTimeConverter& converter);
// Same, with a converter private to the calling thread.
bool ParseTimeStamp(std::string_view line, int64_t& out);

// Same, for a line read in order after others: `previous` is the time of the data line read
// just before it (none at the start). A recorder on local time writes the hour the autumn
// change repeats twice; a time in it takes the pass nearer to `previous`: the first
// (daylight-saving time) while the clock runs on, the second once it has stepped back by about
// the hour. `repeated`, when given, tells whether
// the time fell into such an hour.
bool ParseTimeStamp(std::string_view line, int64_t& out, LocalTimeConverter& converter,
                    std::optional<int64_t> previous, bool* repeated = nullptr);

// Reads the times of lines in the order of the file, as ParseTimeStamp with the data line read
// before as `previous` does. A data line in the same minute as the data line before it (the
// usual case: date, hour and minute written alike) takes that line's time moved by the
// difference of the seconds, without the calendar; within a minute that is the nearer pass of
// a repeated hour too.
class LineClock {
public:
    // ParseTimeStamp(line, out, converter, Previous()); a data line that parses becomes the
    // previous one.
    bool Read(std::string_view line, bool isData, int64_t& out);
    std::optional<int64_t> Previous() const { return previous_; }
    void SetPrevious(std::optional<int64_t> previous) {
        previous_ = previous;
        prefixLength_ = 0;
    }

private:
    bool ReadSlow(std::string_view line, bool isData, int64_t& out);

    LocalTimeConverter converter_;
    std::optional<int64_t> previous_;
    // The previous data line up to its seconds ("DD.MM.YY<TAB>HH:MM:", or with a four-digit
    // year), when it has that shape; 0: no shortcut.
    char prefix_[17] = {};
    size_t prefixLength_ = 0;
    int prefixSecond_ = 0;
};

// Value of value column `column` (0 = the first field after the time) times 0.1. A column that
// is missing or empty reads as -25.0; a field without a number at its start reads as 0.0.
double GetColumnValue(std::string_view line, int column);

// The decimal number at the start of `text` (white space skipped, optional sign, digits,
// optional '.' and fraction, optional exponent); 0.0 without a number. Not scaled.
double ParseDecimal(std::string_view text);

// The value a column field stands for: ParseDecimal(field) * 0.1, and -25.0 for an empty field.
double FieldValue(std::string_view field);

// Splits off the fields of a line at its tabs: fields[i] receives field i (0 = date, 1 = time,
// 2 = value column 0, ...), up to `maxFields`. Returns the number of fields found.
int SplitFields(std::string_view line, std::string_view* fields, int maxFields);

}  // namespace kws::rec
