// Text forms of times and samples: local-time formatting with the strftime conversions the
// program uses, parsing of "DD/MM/YYYY HH:MM:SS", and the samples as tab-separated text.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "recording/LocalTime.h"
#include "recording/SampleRecord.h"

namespace kws::rec {

// Formats t as local time. Supports %d %m %Y %y %H %M %S and %%; other characters are copied.
std::string FormatLocalTime(int64_t t, std::string_view pattern);
// The same, followed by the zone's abbreviation ("02:30:00 CEST") when t lies in the hour the
// clocks repeat in autumn, which tells its two passes apart.
std::string FormatLocalTimeMarked(int64_t t, std::string_view pattern);

// Reads "DD/MM/YYYY HH:MM:SS" (also with '.' in the date, and without seconds) as local time.
bool ParseLocalDateTime(std::string_view text, int64_t& out);

// Writes the header line and one line per record: epoch seconds, local time as
// DD.MM.YYYY HH:MM:SS, and the six values in shortest round-trip form. False on a write error.
bool WriteSamplesTsv(std::FILE* out, const SampleArray& samples);

}  // namespace kws::rec
