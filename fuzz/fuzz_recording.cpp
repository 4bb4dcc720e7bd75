// Fuzz target: the line operations, opening a recording from memory, and evaluating it.
//
// One input must stay cheap, so that the fuzzer runs thousands of inputs a second: an evaluation
// costs a record for every second of the gaps it fills and of the end padding it adds, so a
// window of months costs millions of records (gigabytes) for a few lines of input. Hence the
// bounds below: at most kMaxLines lines, a normal window of at most a quarter of an hour (900
// records at most: gap fillers and end padding are one a second), and the thinned window
// (250 days) only when no line lies beyond its end, which is what starts the padding up to the
// window's end. The gap and padding paths stay covered by the short window.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "recording/BlockMap.h"
#include "recording/Evaluation.h"
#include "recording/LineOps.h"
#include "recording/Recording.h"

using namespace kws::rec;

namespace {
constexpr int kMaxLines = 2000;
constexpr int64_t kMaxWindowSeconds = 15 * 60;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    MemorySource source(text);

    // Every line through the four operations; the latest time of any line.
    LineReader reader(source);
    std::string_view line;
    int lines = 0;
    int64_t latest = INT64_MIN;
    while (reader.Next(line)) {
        if (++lines > kMaxLines) return 0;
        int flag = 1;
        IsDataLine(line);
        CheckColumnCount(line, flag);
        int64_t t = 0;
        if (ParseTimeStamp(line, t)) latest = std::max(latest, t);
        for (int c = -1; c < 15; ++c) GetColumnValue(line, c);
    }

    RecordingFacts facts;
    BlockMap map(64);  // blocks of 64 bytes: a fine map even of a small input
    if (!ReadRecordingFacts(source, facts, &map).Ok()) return 0;
    if (facts.startTime > facts.endTime) __builtin_trap();
    SampleArray samples;
    EvaluationOptions options;
    options.threads = 1;
    const int64_t end = std::min<int64_t>(facts.endTime, facts.startTime + kMaxWindowSeconds);
    Evaluate(source, facts.headerLines, facts.layoutFlag, facts.startTime, end, samples, options);

    // A window from the middle of the recording, through the map and from the first line: the
    // same records.
    const int64_t middle = facts.startTime + (facts.endTime - facts.startTime) / 2;
    const int64_t middleEnd = std::min<int64_t>(facts.endTime, middle + kMaxWindowSeconds);
    SampleArray mapped;
    EvaluationOptions withMap = options;
    withMap.map = &map;
    const EvaluationStatus a =
        Evaluate(source, facts.headerLines, facts.layoutFlag, middle, middleEnd, samples, options);
    const EvaluationStatus b =
        Evaluate(source, facts.headerLines, facts.layoutFlag, middle, middleEnd, mapped, withMap);
    if (a.stoppedAfterEnd != b.stoppedAfterEnd || samples.size() != mapped.size()) __builtin_trap();
    for (size_t i = 0; i < samples.size(); ++i) {
        if (samples[i].time != mapped[i].time ||
            !std::equal(std::begin(samples[i].value), std::end(samples[i].value),
                        std::begin(mapped[i].value),
                        [](double x, double y) { return x == y || (x != x && y != y); })) {
            __builtin_trap();
        }
    }
    // The thinned window: six-curve only, whose gaps get one filler each (a three-curve window of
    // 250 days holds a filler every 7 seconds of a gap, hundreds of megabytes by design).
    const int64_t sparseEnd = facts.startTime + kSparseWindowSeconds + 100;
    if (facts.layoutFlag == kSixCurveLayout && latest <= sparseEnd) {
        Evaluate(source, facts.headerLines, facts.layoutFlag, facts.startTime, sparseEnd, samples,
                 options);
    }
    return 0;
}
