// Fuzz target: the line operations, opening a recording from memory, and evaluating it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "recording/Evaluation.h"
#include "recording/LineOps.h"
#include "recording/Recording.h"

using namespace kws::rec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    MemorySource source(text);

    // Every line through the four operations.
    LineReader reader(source);
    std::string_view line;
    int lines = 0;
    while (reader.Next(line) && ++lines < 200) {
        int flag = 1;
        IsDataLine(line);
        CheckColumnCount(line, flag);
        int64_t t = 0;
        ParseTimeStamp(line, t);
        for (int c = -1; c < 15; ++c) GetColumnValue(line, c);
    }

    RecordingFacts facts;
    if (!ReadRecordingFacts(source, facts).Ok()) return 0;
    if (facts.startTime > facts.endTime) __builtin_trap();
    SampleArray samples;
    // The recording's window (at most six hours: a three-curve window holds one record per second
    // of it, gaps included), and a long one that switches to thinning.
    EvaluationOptions options;
    options.threads = 1;
    const int64_t end = std::min<int64_t>(facts.endTime, facts.startTime + 6 * 3600);
    Evaluate(source, facts.headerLines, facts.layoutFlag, facts.startTime, end, samples, options);
    // The thinned window: six-curve only, whose gaps get one filler each (a three-curve window of
    // 250 days holds a filler every 7 seconds of a gap, hundreds of megabytes by design).
    if (facts.layoutFlag == kSixCurveLayout) {
        Evaluate(source, facts.headerLines, facts.layoutFlag, facts.startTime,
                 facts.startTime + kSparseWindowSeconds + 100, samples, options);
    }
    return 0;
}
