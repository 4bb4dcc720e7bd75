#include "recording/Evaluation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "recording/LineOps.h"
#include "recording/ParallelScan.h"
#include "recording/WindowFollow.h"

namespace kws::rec {

WindowCheck CheckWindow(int64_t chosenStart, int64_t chosenEnd, int64_t recordingStart,
                        int64_t recordingEnd) {
    if (chosenEnd < chosenStart) return WindowCheck::kEndBeforeStart;
    if (chosenStart < recordingStart || chosenEnd > recordingEnd)
        return WindowCheck::kOutsideRecording;
    return WindowCheck::kOk;
}

namespace {

constexpr size_t kNoFiller = static_cast<size_t>(-1);
// A thinned window looks at every 8th line, one sample per 8 seconds of recording.
constexpr int64_t kThinnedStep = 8;

EvaluationStatus EvaluateWindow(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                                int64_t end, SampleArray& samples, SampleMarks& marks,
                                EvaluationOptions options);

struct Params {
    int64_t start;
    int64_t end;
    bool threeCurve;
    bool sparse;
    int64_t gapThreshold;  // a gap is marked when a sample lies more than this after the last
    int64_t fillerStep;    // three-curve filler spacing
};

// Whether a window [start, end] is thinned: over 250 days only every 8th line is looked at.
bool IsSparseWindow(int64_t start, int64_t end) { return end - start > kSparseWindowSeconds; }

// The rules of a window [start, end] of a recording of the layout: a thinned window's gaps are
// measured in 8-second steps. A followed window keeps the thinning it was evaluated with while
// its end moves on.
Params WindowParams(int64_t start, int64_t end, int layoutFlag, bool sparse) {
    Params p;
    p.start = start;
    p.end = end;
    p.threeCurve = layoutFlag == kThreeCurveLayout;
    p.sparse = sparse;
    p.gapThreshold = p.sparse ? 9 : 2;
    p.fillerStep = p.sparse ? 7 : 1;
    return p;
}

// What one stretch of lines yields when evaluated on its own: its records with the fillers of
// the gaps inside it, as if its first data sample were the first of the run.
struct ChunkOutput {
    SampleArray records;
    bool hasData = false;
    int64_t firstDataTime = 0;
    int64_t lastDataTime = 0;
    size_t firstFiller = kNoFiller;  // index of the first filler in `records`
    std::vector<IndexRun> fillers;   // runs of fillers in `records`
    bool stopped = false;            // saw a line after the end
    int error = 0;
};

inline void PushFiller(SampleArray& records, int64_t time) {
    SampleRecord r;
    std::fill(std::begin(r.value), std::end(r.value), 0.0);
    r.time = time;
    records.push_back(r);
}

// Gap marking between the last appended data time `previous` and the sample at `current`; the
// fillers' indices go to `fillers`. Returns whether fillers were appended.
inline bool MarkGap(const Params& p, int64_t previous, int64_t current, SampleArray& records,
                    std::vector<IndexRun>& fillers) {
    if (current - previous <= p.gapThreshold) return false;
    const size_t first = records.size();
    if (p.threeCurve) {
        do {
            previous += p.fillerStep;
            PushFiller(records, previous);
        } while (current - previous > p.gapThreshold);
    } else {
        PushFiller(records, current - 1);
    }
    fillers.push_back({first, records.size()});
    return true;
}

// Walks the value fields of one line from left to right. A field is the text between two tabs;
// one that is missing or empty reads -25.0, others their decimal number times 0.1.
class FieldCursor {
public:
    FieldCursor(const char* p, const char* end, bool present)
        : p_(p), end_(end), present_(present) {}

    double Next() {
        if (!present_) return -25.0;
        const char* q = p_;
        // Plain integers, the form the controller writes.
        bool negative = false;
        if (q < end_ && *q == '-') {
            negative = true;
            ++q;
        }
        const char* digits = q;
        int64_t v = 0;
        while (q < end_ && static_cast<unsigned>(*q - '0') < 10 && q - digits < 18)
            v = v * 10 + (*q++ - '0');
        if (q > digits && (q == end_ || *q == '\t')) {
            Advance(q);
            const double d = static_cast<double>(v);
            return (negative ? -d : d) * 0.1;
        }
        const char* stop = q;
        while (stop < end_ && *stop != '\t') ++stop;
        const double value = FieldValue(std::string_view(p_, static_cast<size_t>(stop - p_)));
        Advance(stop);
        return value;
    }

    void Skip(int fields) {
        for (int i = 0; i < fields && present_; ++i) {
            const char* q = p_;
            while (q < end_ && *q != '\t') ++q;
            Advance(q);
        }
    }

private:
    // `stop` is the tab after the current field, or the end of the line.
    void Advance(const char* stop) {
        if (stop < end_) {
            p_ = stop + 1;
        } else {
            p_ = end_;
            present_ = false;
        }
    }

    const char* p_;
    const char* end_;
    bool present_;
};

// Start of value column 0 (the third field) of a line, or nullptr when the line has fewer than
// three fields.
inline const char* FirstValueField(std::string_view line) {
    const char* p = line.data();
    const char* end = p + line.size();
    // The usual shape: "DD.MM.YY<TAB>HH:MM:SS<TAB>" or with a four-digit year.
    if (line.size() >= 18 && p[8] == '\t' && p[17] == '\t' && std::memchr(p, '\t', 8) == nullptr &&
        std::memchr(p + 9, '\t', 8) == nullptr) {
        return p + 18;
    }
    int tabs = 0;
    for (; p < end; ++p) {
        if (*p == '\t' && ++tabs == 2) return p + 1;
    }
    return nullptr;
}

inline void FillValues(const Params& p, std::string_view line, bool fillerSeen, SampleRecord& r) {
    const char* first = FirstValueField(line);
    const char* end = line.data() + line.size();
    FieldCursor f(first != nullptr ? first : end, end, first != nullptr);
    if (p.threeCurve) {
        r.value[0] = f.Next();  // column 0
        f.Skip(8);
        r.value[1] = f.Next() * 0.25 * 3.0;  // column 9
        r.value[2] = f.Next();               // column 10
        const double unused = fillerSeen ? 0.0 : -1.0;
        r.value[3] = r.value[4] = r.value[5] = unused;
    } else {
        const double c0 = f.Next(), c1 = f.Next(), c2 = f.Next(), c3 = f.Next(), c4 = f.Next(),
                     c5 = f.Next(), c6 = f.Next();
        (void)c2;
        r.value[0] = c0;
        r.value[1] = c3;
        r.value[2] = c1;
        r.value[3] = c4;
        r.value[4] = c5 * 30.0 * (1.0 / 35.0);
        r.value[5] = c6 + 100.0;
    }
}

// Where a stretch starts reading: the thinning counter there and the time of the data line
// before it (none at the start of the lines, and at a part that starts outside the repeated hour).
struct ChunkStart {
    int thinning = 0;
    std::optional<int64_t> lastLineTime;
};

void RunChunk(ByteSource& source, uint64_t begin, uint64_t end, const Params& p, size_t reserve,
              const ChunkStart& from, ChunkOutput& out) {
    LineReader reader(source, begin, end);
    out.records.reserve(reserve);
    std::string_view line;
    int thinning = from.thinning;
    int64_t previous = 0;
    // Reads the times with the data line read last: it decides how a time in the hour the
    // autumn change repeats reads.
    LineClock clock;
    clock.SetPrevious(from.lastLineTime);
    while (reader.Next(line)) {
        int64_t t;
        if (p.sparse) {
            if (thinning < 7) {
                ++thinning;
                // Not looked at, but its time still tells how the next line in a repeated hour
                // reads, as it does when every line is looked at.
                if (IsDataLine(line)) clock.Read(line, true, t);
                continue;
            }
            thinning = 0;
        }
        if (!clock.Read(line, IsDataLine(line), t)) continue;
        if (t < p.start) continue;
        if (t > p.end) {
            out.stopped = true;
            break;
        }
        if (out.hasData) {
            const size_t before = out.records.size();
            if (MarkGap(p, previous, t, out.records, out.fillers) && out.firstFiller == kNoFiller) {
                out.firstFiller = before;
            }
        } else {
            out.hasData = true;
            out.firstDataTime = t;
        }
        SampleRecord r;
        FillValues(p, line, out.firstFiller != kNoFiller, r);
        r.time = t;
        out.records.push_back(r);
        previous = t;
    }
    out.lastDataTime = previous;
    out.error = reader.Error();
}

// Appends the records of `part` to `samples` and releases `part`. When both are large blocks
// and `samples` has room, the pages of `part` are handed over instead of being copied into fresh
// memory (for a month the second half of the samples, 70 MB written twice): they land on the
// first huge-page boundary after the records (so that huge pages stay whole and quick to read),
// and the records then move down to follow the others.
void AppendRecords(SampleArray& samples, SampleArray& part) {
    const size_t have = samples.size(), more = part.size();
    const size_t bytes = more * sizeof(SampleRecord);
    const size_t pages = (bytes + kPageBytes - 1) & ~(kPageBytes - 1);
    const uintptr_t base = reinterpret_cast<uintptr_t>(samples.data());
    const uintptr_t end = base + have * sizeof(SampleRecord);
    const uintptr_t boundary = (end + kLargeBlockBytes - 1) & ~uintptr_t{kLargeBlockBytes - 1};
    const size_t room = samples.capacity() * sizeof(SampleRecord);
    const uintptr_t limit = base + ((room + kPageBytes - 1) & ~(kPageBytes - 1));
    const bool large =
        room >= kLargeBlockBytes && part.capacity() * sizeof(SampleRecord) >= kLargeBlockBytes;
    if (more > 0 && large && boundary + pages <= limit &&
        MovePages(reinterpret_cast<void*>(boundary), part.data(), pages)) {
        std::memmove(reinterpret_cast<void*>(end), reinterpret_cast<const void*>(boundary), bytes);
        samples.resize(have + more);  // the records are in place already: nothing is written
    } else {
        samples.insert(samples.end(), part.begin(), part.end());
    }
    SampleArray().swap(part);
}

// Offset of the first line after the header lines; UINT64_MAX when the file has no more.
uint64_t DataStart(ByteSource& source, int headerLines, int& error) {
    LineReader reader(source);
    std::string_view line;
    for (int i = 0; i < headerLines; ++i) {
        if (!reader.Next(line)) {
            error = reader.Error();
            return UINT64_MAX;
        }
    }
    return reader.Position();
}

}  // namespace

EvaluationStatus Evaluate(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                          int64_t end, SampleArray& samples, EvaluationOptions options) {
    SampleMarks marks;
    return Evaluate(source, headerLines, layoutFlag, start, end, samples, marks, options);
}

EvaluationStatus Evaluate(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                          int64_t end, SampleArray& samples, SampleMarks& marks,
                          EvaluationOptions options) {
    try {
        return EvaluateWindow(source, headerLines, layoutFlag, start, end, samples, marks, options);
    } catch (const std::bad_alloc&) {
        SampleArray().swap(samples);
        std::vector<IndexRun>().swap(marks.notData);
        EvaluationStatus status;
        status.ok = false;
        status.outOfMemory = true;
        return status;
    }
}

namespace {

EvaluationStatus EvaluateWindow(ByteSource& source, int headerLines, int layoutFlag, int64_t start,
                                int64_t end, SampleArray& samples, SampleMarks& marks,
                                EvaluationOptions options) {
    samples.clear();
    marks.Clear();
    EvaluationStatus status;
    const Params p = WindowParams(start, end, layoutFlag, IsSparseWindow(start, end));
    marks.thinned = p.sparse;

    int error = 0;
    uint64_t dataStart = DataStart(source, headerLines, error);
    if (error != 0) return {false, error, false};
    if (dataStart == UINT64_MAX) return status;
    const long long size = source.Size();
    uint64_t dataEnd = size >= 0 ? static_cast<uint64_t>(size) : UINT64_MAX;

    // With a map of the lines, start at the first block that can hold the window, in the state a
    // read from the first line has there (see BlockMap); without one, or with one that no longer
    // fits the file, read from the first line.
    ChunkStart from;
    status.readFrom = dataStart;
    if (options.map != nullptr && options.map->Valid() && options.map->DataStart() == dataStart) {
        const ReadStart at = options.map->StartFor(start, end);
        if (options.map->Fits(source, headerLines, at, error)) {
            dataStart = at.offset;
            from.thinning = static_cast<int>(at.linesBefore % kThinnedStep);
            from.lastLineTime = at.previousData;
            // Unthinned, every line is looked at: the read has stopped before the bound.
            if (!p.sparse && at.stopBound != UINT64_MAX) dataEnd = std::min(dataEnd, at.stopBound);
            status.usedMap = true;
            status.readFrom = dataStart;
        }
        if (error != 0) return {false, error, false};
    }

    // Split the lines into parts for parallel workers. Thinned windows depend on each line's
    // number and stay sequential.
    const int parts = p.sparse || dataEnd == UINT64_MAX || dataEnd <= dataStart
                          ? 1
                          : ChooseParts(dataEnd - dataStart, options.threads);
    std::vector<uint64_t> bounds =
        SplitAtLines(source, dataStart, dataEnd == UINT64_MAX ? dataStart : dataEnd, parts, error);
    if (error != 0) return {false, error, false};
    if (!StartPartsAtPlainTimes(source, bounds, error)) return {false, error, false};

    // Room for every record of the window without growing: lines are rarely shorter than 40
    // bytes, and a window has at most one record per second (plus the end padding). Part 0's
    // array becomes the result, so it gets room for everything.
    const uint64_t totalBytes =
        dataEnd == UINT64_MAX || dataEnd <= dataStart ? 1 << 20 : dataEnd - dataStart;
    const uint64_t windowRecords = static_cast<uint64_t>(std::max<int64_t>(end - start, 0)) + 16;
    auto reserveFor = [&](uint64_t bytes) {
        return static_cast<size_t>(std::min<uint64_t>(bytes / 40 + 16, windowRecords));
    };
    // Part 0 also keeps room for the pages of the other parts to be handed over (see
    // AppendRecords); room that is never written costs no memory.
    const size_t handOverRoom = parts > 1 ? kLargeBlockBytes / sizeof(SampleRecord) + 1 : 0;
    std::vector<ChunkOutput> outputs(static_cast<size_t>(parts));
    RunParts(parts, [&](int i) {
        const uint64_t partEnd =
            bounds[i + 1] == UINT64_MAX ? totalBytes + dataStart : bounds[i + 1];
        RunChunk(source, bounds[i], bounds[i + 1], p,
                 i == 0 ? reserveFor(totalBytes) + handOverRoom : reserveFor(partEnd - bounds[i]),
                 i == 0 ? from : ChunkStart(), outputs[static_cast<size_t>(i)]);
    });

    // Join the stretches in order: fillers across each boundary, and the values 3 to 5 of the
    // three-curve layout, which turn from -1.0 to 0.0 after the run's first filler.
    samples = std::move(outputs[0].records);
    for (const IndexRun& r : outputs[0].fillers) marks.AddNotData(r.begin, r.end);
    bool fillerSeen = outputs[0].firstFiller != kNoFiller;
    bool hasData = outputs[0].hasData;
    int64_t previous = outputs[0].lastDataTime;
    bool stopped = outputs[0].stopped;
    for (auto& o : outputs) {
        if (o.error != 0) return {false, o.error, false};
        if (&o == &outputs[0]) continue;
        if (stopped) break;
        if (o.hasData) {
            std::vector<IndexRun> joint;
            if (hasData && MarkGap(p, previous, o.firstDataTime, samples, joint)) {
                fillerSeen = true;
                marks.AddNotData(joint.front().begin, joint.front().end);
            }
            if (p.threeCurve && fillerSeen) {
                const size_t until = std::min(o.firstFiller, o.records.size());
                for (size_t i = 0; i < until; ++i) {
                    o.records[i].value[3] = o.records[i].value[4] = o.records[i].value[5] = 0.0;
                }
            }
            const size_t offset = samples.size();
            AppendRecords(samples, o.records);
            for (const IndexRun& r : o.fillers) marks.AddNotData(offset + r.begin, offset + r.end);
            fillerSeen = fillerSeen || o.firstFiller != kNoFiller;
            hasData = true;
            previous = o.lastDataTime;
        }
        stopped = o.stopped;
    }

    // Pad the end with copies of the last sample up to 4 seconds before the end, when the window
    // ended before the file did: one a second, or in a thinned window one per 8 seconds, the
    // spacing of its samples (a window of months over a gap would otherwise take gigabytes).
    const int64_t padStep = p.sparse ? kThinnedStep : 1;
    if (stopped && hasData && end - previous - padStep >= 4) {
        const int64_t count = (end - 4 - previous) / padStep;
        samples.reserve(samples.size() + static_cast<size_t>(count));
        SampleRecord last = samples.back();
        const size_t first = samples.size();
        for (int64_t i = 0; i < count; ++i) {
            previous += padStep;
            last.time = previous;
            samples.push_back(last);
        }
        marks.AddNotData(first, samples.size());
    }
    status.stoppedAfterEnd = stopped;
    return status;
}

}  // namespace

namespace {

// Offset after the last line feed in [from, size), or `from` when there is none; UINT64_MAX on a
// read error.
uint64_t LastLineEnd(ByteSource& source, uint64_t from, uint64_t size, int& error) {
    char buffer[1 << 16];
    uint64_t to = size;
    while (to > from) {
        const uint64_t at = to - std::min<uint64_t>(sizeof buffer, to - from);
        const long long got = source.ReadAt(buffer, static_cast<size_t>(to - at), at, error);
        if (got < 0) return UINT64_MAX;
        if (got < static_cast<long long>(to - at)) {
            // The file is shorter than it was: only what is there counts.
            to = at + static_cast<uint64_t>(got);
            continue;
        }
        const void* hit = memrchr(buffer, '\n', static_cast<size_t>(got));
        if (hit != nullptr)
            return at + static_cast<uint64_t>(static_cast<const char*>(hit) - buffer) + 1;
        to = at;
    }
    return from;
}

}  // namespace

template <typename Sink>
WindowFollower::Result WindowFollower::Run(ByteSource& source, uint64_t limit, bool checkLayout,
                                           Sink& sink, int& error) {
    const Params p = WindowParams(start_, end_, layoutFlag_, sparse_);
    LineReader reader(source, position_, limit);
    std::string_view line;
    SampleArray fillers;
    std::vector<IndexRun> runs;
    Result result = Result::kOk;
    for (;;) {
        const uint64_t lineStart = reader.Position();
        if (!reader.Next(line)) break;
        // A line that stops the read is read again later in the state it found.
        const int thinning = thinning_;
        const std::optional<int64_t> before = clock_.Previous();
        auto stopHere = [&](Result r) {
            position_ = lineStart;
            thinning_ = thinning;
            clock_.SetPrevious(before);
            result = r;
        };
        const bool isData = IsDataLine(line);
        if (checkLayout && isData) {
            int flag = layoutFlag_;
            if (reader.Truncated() || !CheckColumnCount(line, flag) || flag != layoutFlag_) {
                stopHere(Result::kLayout);
                return result;
            }
        }
        int64_t t;
        if (p.sparse) {
            if (thinning_ < 7) {
                ++thinning_;
                if (isData) clock_.Read(line, true, t);
                position_ = reader.Position();
                continue;
            }
            thinning_ = 0;
        }
        if (!clock_.Read(line, isData, t) || t < p.start) {
            position_ = reader.Position();
            continue;
        }
        if (t > p.end) {
            stopHere(Result::kOk);
            return result;
        }
        if (hasData_) {
            fillers.clear();
            runs.clear();
            if (MarkGap(p, previous_, t, fillers, runs)) {
                fillerSeen_ = true;
                sink.Fillers(fillers);
            }
        } else {
            hasData_ = true;
        }
        SampleRecord r;
        FillValues(p, line, fillerSeen_, r);
        r.time = t;
        sink.Record(r);
        previous_ = t;
        latest_ = latest_ ? std::max(*latest_, t) : t;
        position_ = reader.Position();
    }
    if (reader.Failed()) {
        error = reader.Error();
        return Result::kReadError;
    }
    return result;
}

void WindowFollower::Restart(int64_t start, int64_t end, int layoutFlag) {
    *this = WindowFollower();
    start_ = start;
    end_ = end;
    layoutFlag_ = layoutFlag;
    sparse_ = IsSparseWindow(start, end);
}

WindowFollower::Outcome WindowFollower::Resume(ByteSource& source, const BlockMap* map,
                                               int headerLines, int layoutFlag, int64_t start,
                                               int64_t end, const SampleStore& samples,
                                               const SampleMarks& marks) {
    Restart(start, end, layoutFlag);
    Outcome out;
    int& error = out.error;
    const uint64_t dataStart = DataStart(source, headerLines, error);
    if (error != 0) {
        out.result = Result::kReadError;
        return out;
    }
    // What the window holds now: its records are counted and its last one kept, not stored.
    struct Tally {
        size_t records = 0, fillerRuns = 0;
        SampleRecord last{};
        void Fillers(const SampleArray& f) {
            records += f.size();
            last = f.back();
            ++fillerRuns;
        }
        void Record(const SampleRecord& r) {
            ++records;
            last = r;
        }
    };
    const long long size = source.Size();
    const bool mapFits = dataStart != UINT64_MAX && map != nullptr && map->Valid() &&
                         map->DataStart() == dataStart && size >= 0;
    // Reads from `at` (the first line when null) to the end of the window, or of the file.
    auto readFrom = [&](const ReadStart* at, Tally& tally) {
        position_ = dataStart;
        thinning_ = 0;
        clock_.SetPrevious(std::nullopt);
        if (at != nullptr) {
            position_ = at->offset;
            thinning_ = static_cast<int>(at->linesBefore % 8);
            clock_.SetPrevious(at->previousData);
        }
        const uint64_t limit = LastLineEnd(source, position_, static_cast<uint64_t>(size), error);
        if (limit == UINT64_MAX) return Result::kReadError;
        return Run(source, limit, false, tally, error);
    };
    // The quick way: the read from the first line passes the blocks before the one that holds
    // the time of the window's last record without a sample after it (see BlockMap), so reading
    // from there finds the line of that record, and where the read ended after it, in the state
    // the read from the first line had. Gaps before that block are not known there: the first
    // record read marks none, and whether a filler came before is what the marks say. A window
    // that ends in padding does not end with the record of a line and takes the long way.
    if (mapFits && !samples.empty()) {
        const ReadStart at = map->StartFor(samples.back().time, end);
        if (map->Fits(source, headerLines, at, error) && at.offset > dataStart) {
            Tally tally;
            fillerSeen_ = !marks.notData.empty();
            const Result r = readFrom(&at, tally);
            if (r == Result::kReadError) {
                out.result = r;
                return out;
            }
            if (r == Result::kOk && tally.records > 0 &&
                std::memcmp(&tally.last, &samples.back(), sizeof tally.last) == 0) {
                hasData_ = true;
                previous_ = samples.back().time;
                fillerSeen_ = !marks.notData.empty();
                latest_ = std::nullopt;
                end_ = INT64_MAX;
                resumed_ = true;
                nearEnd_ = true;
                return out;
            }
        }
        if (error != 0) {
            out.result = Result::kReadError;
            return out;
        }
    }
    // Otherwise the whole window is read again as the evaluation read it.
    Restart(start, end, layoutFlag);
    Tally tally;
    if (dataStart == UINT64_MAX || size < 0) {
        position_ = size >= 0 ? static_cast<uint64_t>(size) : 0;
    } else {
        std::optional<ReadStart> at;
        if (mapFits) {
            at = map->StartFor(start, end);
            if (!map->Fits(source, headerLines, *at, error)) at.reset();
            if (error != 0) {
                out.result = Result::kReadError;
                return out;
            }
        }
        out.result = readFrom(at ? &*at : nullptr, tally);
        if (out.result != Result::kOk) return out;
    }
    const bool same =
        tally.records == samples.size() &&
        (tally.records == 0 || std::memcmp(&tally.last, &samples.back(), sizeof tally.last) == 0) &&
        (tally.fillerRuns > 0) == !marks.notData.empty();
    if (!same) {
        out.result = Result::kChanged;
        return out;
    }
    end_ = INT64_MAX;  // from now on the window ends where the recording does
    resumed_ = true;
    return out;
}

WindowFollower::Outcome WindowFollower::Read(ByteSource& source, uint64_t size,
                                             SampleStore& samples, SampleMarks& marks) {
    Outcome out;
    if (!resumed_) {
        out.result = Result::kChanged;
        return out;
    }
    const uint64_t limit = LastLineEnd(source, position_, size, out.error);
    if (limit == UINT64_MAX) {
        out.result = Result::kReadError;
        return out;
    }
    if (limit <= position_) return out;
    struct Append {
        SampleStore& samples;
        SampleMarks& marks;
        size_t appended = 0;
        void Fillers(const SampleArray& f) {
            const size_t first = samples.size();
            for (const SampleRecord& r : f) samples.push_back(r);
            marks.AddNotData(first, samples.size());
            appended += f.size();
        }
        void Record(const SampleRecord& r) {
            samples.push_back(r);
            ++appended;
        }
    } sink{samples, marks};
    out.result = Run(source, limit, true, sink, out.error);
    out.appended = sink.appended;
    return out;
}

}  // namespace kws::rec
