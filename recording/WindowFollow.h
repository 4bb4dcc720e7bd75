// Following a recording that grows: the lines appended after an evaluated window are read into
// it with the evaluation's rules and state, so that the window equals an evaluation of the longer
// recording from the window's start to its latest time.
#pragma once

#include <cstdint>
#include <optional>

#include "recording/BlockMap.h"
#include "recording/LineOps.h"
#include "recording/LineReader.h"
#include "recording/SampleMarks.h"
#include "recording/SampleStore.h"

namespace kws::rec {

class WindowFollower {
public:
    enum class Result {
        kOk,
        kReadError,  // `error` holds the errno value
        kLayout,     // a data line with another column count than the recording's
        kChanged,    // the window read again does not give the samples it holds
    };
    struct Outcome {
        Result result = Result::kOk;
        int error = 0;
        size_t appended = 0;  // records appended, fillers included
    };

    // Takes up the state of the evaluation of [start, end] that gave `samples` and `marks`: the
    // window is read again as the evaluation reads it (from where `map` says, when it fits) up to
    // the first line after its end, which is where following goes on. kChanged when that read
    // does not give the same records (the file changed, or the window ended in padding).
    Outcome Resume(ByteSource& source, const BlockMap* map, int headerLines, int layoutFlag,
                   int64_t start, int64_t end, const SampleStore& samples,
                   const SampleMarks& marks);

    // Reads the whole lines between Position() and the last line feed of the source's first
    // `size` bytes, appending their records to `samples` and their fillers to `marks`. A line
    // still being written waits for its line feed. On a fault nothing after the line before it is
    // taken, and Position() stays at the line that failed.
    Outcome Read(ByteSource& source, uint64_t size, SampleStore& samples, SampleMarks& marks);

    // Offset of the next line to read.
    uint64_t Position() const { return position_; }
    bool Resumed() const { return resumed_; }
    // Resume read only from near the window's last record, through the map.
    bool ResumedNearEnd() const { return nearEnd_; }
    // The latest time of the data samples so far.
    std::optional<int64_t> LatestTime() const { return latest_; }

private:
    // Forgets everything read and takes up the window [start, end] of a recording of the layout.
    void Restart(int64_t start, int64_t end, int layoutFlag);
    template <typename Sink>
    Result Run(ByteSource& source, uint64_t limit, bool checkLayout, Sink& sink, int& error);

    int64_t start_ = 0, end_ = 0;
    int layoutFlag_ = kThreeCurveLayout;
    bool sparse_ = false;  // thinned as evaluated, whatever the end reached since
    uint64_t position_ = 0;
    int thinning_ = 0;
    LineClock clock_;
    bool hasData_ = false, fillerSeen_ = false;
    int64_t previous_ = 0;
    std::optional<int64_t> latest_;
    bool resumed_ = false;
    bool nearEnd_ = false;
};

}  // namespace kws::rec
