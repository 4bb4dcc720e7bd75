// Realistic recordings of the controller for tests and benchmarks: one line per second with
// the local date and time and the value columns of either layout.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace kws::bench {

struct GeneratorOptions {
    int layoutFlag = 0;      // 1 three-curve (13 tabs), 0 six-curve (14 tabs)
    int64_t startTime = 0;   // epoch seconds of the first line; 0 picks 3 June 2008, 10:00
    int64_t seconds = 3600;  // length of the recording
    int headerLines = 2;
    int gaps = 1;  // number of gaps (missing stretches of 5 to 300 seconds)
    bool fourDigitYear = false;
    bool trailingNewline = true;
    uint32_t seed = 1;
};

// Writes the recording to `out`; returns the number of data lines written.
int64_t GenerateRecording(const GeneratorOptions& options, std::FILE* out);
// Same into a string (small recordings for tests).
std::string GenerateRecording(const GeneratorOptions& options);

// Epoch seconds of a local date and time (for the generator's start).
int64_t LocalEpoch(int year, int month, int day, int hour, int minute, int second);

// The recording the benchmarks share: six curves from 1 March 2009, `days` long, three gaps.
GeneratorOptions BenchRecordingOptions(double days);

}  // namespace kws::bench
