// Text forms of the window statistics: the key=value lines of the command line, the draw events
// and the days as tab-separated text. Figures print with at most 12 significant digits and a
// decimal point, so that sums of tenths read as the tenths they are; times read
// DD/MM/YYYY HH:MM:SS in local time, followed by the UTC offset inside an hour the clock
// repeats.
#pragma once

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "recording/DayStatistics.h"
#include "recording/WindowStatistics.h"

namespace kws::rec {

// Shortest text that reads back as exactly `v` ("12.5", "3", "0.1").
std::string ShortestNumber(double v);

// `v` rounded to 12 significant digits, without exponent and without trailing zeros
// ("36.8" for 36.800000000000004, "38926.93", "-0.5", "0").
std::string FigureNumber(double v);

// "DD/MM/YYYY HH:MM:SS" of t; in an hour the autumn change repeats, the UTC offset follows
// (" +02:00" for the first pass, " +01:00" for the second in central Europe).
std::string FigureTime(int64_t t);

// The figures as key and value in printed order: circulation_* only for the six-curve layout;
// per curve (names in legend order) name, min, min_time, max, max_time and mean, whose values
// stay empty when the curve has no data sample. Without `curveNames` the name keys are left out.
std::vector<std::pair<std::string, std::string>> StatisticsFields(
    const WindowStatistics& s, const std::vector<std::string>* curveNames);

// One "key=value\n" line per figure (StatisticsFields with the names).
std::string StatisticsLines(const WindowStatistics& s, const std::vector<std::string>& curveNames);

// A header line, then per draw: start time, duration in seconds, litres, minimum and mean
// hot-water temperature. False on a write error.
bool WriteDrawsTsv(std::FILE* out, const std::vector<DrawEvent>& draws);

// The days as tab-separated text: a header line of "date" and the keys of StatisticsFields
// without the curve names (those of the layout, also when there is no day), then one line per
// day: DD/MM/YYYY and the values.
std::string DailyTsv(const std::vector<DayStatistics>& days, int layoutFlag);
// The same into a file; false on a write error.
bool WriteDailyTsv(std::FILE* out, const std::vector<DayStatistics>& days, int layoutFlag);

}  // namespace kws::rec
