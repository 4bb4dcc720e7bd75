// Evaluation of a time window of a recording into one SampleRecord per second.
#pragma once

#include <cstdint>

#include "recording/BlockMap.h"
#include "recording/LineReader.h"
#include "recording/Recording.h"
#include "recording/SampleMarks.h"
#include "recording/SampleRecord.h"

namespace kws::rec {

// Windows longer than this (250 days) are thinned: only every 8th line after the header counts.
inline constexpr int64_t kSparseWindowSeconds = 21600000;

enum class WindowCheck {
    kOk,
    kEndBeforeStart,    // message 106
    kOutsideRecording,  // message 105
};

// The checks of "Auswertung": the chosen end must not lie before the chosen start, and the
// chosen window must lie inside the recording (equal times pass).
WindowCheck CheckWindow(int64_t chosenStart, int64_t chosenEnd, int64_t recordingStart,
                        int64_t recordingEnd);

struct EvaluationStatus {
    bool ok = true;  // false: a read error (or the memory running out) ended the evaluation
    int errnoValue = 0;
    bool stoppedAfterEnd = false;  // a line after the window's end was seen
    bool outOfMemory = false;      // the samples did not fit in memory (the array is left empty)
    bool usedMap = false;          // the read started where the map of the lines said
    uint64_t readFrom = 0;         // offset of the first line read
};

struct EvaluationOptions {
    // Worker threads for windows that are not thinned; 0 picks by the machine and the data size.
    int threads = 0;
    // The map of the recording's lines, made while opening it: the read then starts near the
    // window, with the same result. Without one every evaluation reads from the first line.
    const BlockMap* map = nullptr;
};

// Empties `samples`, then appends one record per data line inside [start, end] (both inclusive)
// of the recording's lines after its header, with gap fillers (all values 0.0) and the end
// padding. `layoutFlag` picks the values: 1 three-curve, 0 six-curve. An allocation that fails
// ends the evaluation with `outOfMemory` and an empty, released array.
EvaluationStatus Evaluate(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                          int64_t end, SampleArray& samples, EvaluationOptions options = {});
// The same, and `marks` tells which records are fillers and padding (and whether the window was
// thinned); they are left empty when memory runs out.
EvaluationStatus Evaluate(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                          int64_t end, SampleArray& samples, SampleMarks& marks,
                          EvaluationOptions options = {});

}  // namespace kws::rec
