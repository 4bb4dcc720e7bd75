// Text forms of the window statistics: the key=value lines of the command line and the draw
// events as tab-separated text. Numbers use a decimal point in shortest round-trip form, times
// read DD/MM/YYYY HH:MM:SS in local time.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "recording/WindowStatistics.h"

namespace kws::rec {

// Shortest text that reads back as exactly `v` ("12.5", "3", "0.1").
std::string ShortestNumber(double v);

// One "key=value\n" line per figure; circulation_* only for the six-curve layout; per curve
// (names in legend order) name, min, min_time, max, max_time and mean, whose values stay empty
// when the curve has no data sample.
std::string StatisticsLines(const WindowStatistics& s, const std::vector<std::string>& curveNames);

// A header line, then per draw: start time, duration in seconds, litres, minimum and mean
// hot-water temperature. False on a write error.
bool WriteDrawsTsv(std::FILE* out, const std::vector<DrawEvent>& draws);

}  // namespace kws::rec
