#include "recording/Recording.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "recording/LineOps.h"
#include "recording/ParallelScan.h"

namespace kws::rec {

unsigned FileErrorCategoryFromErrno(int error) {
    switch (error) {
        case 0: return kErrNone;
        case ENOENT: return kErrFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
        case EINVAL: return kErrBadPath;
        case EMFILE:
        case ENFILE: return kErrTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return kErrAccessDenied;
        case ETXTBSY:
        case EBUSY: return kErrSharingViolation;
        case ENOSPC:
        case EDQUOT: return kErrDiskFull;
        case EIO: return kErrHardIO;
        case ENXIO:                                                // what opening a socket answers
        case FileSource::kNotRegularFile: return kErrInvalidFile;  // a device, pipe or socket
        default: return kErrGeneric;
    }
}

std::string FileNamePart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

namespace {

OpenResult ReadFailure(int error) {
    OpenResult r;
    r.error = OpenError::kReadError;
    r.category = kErrHardIO;
    r.errnoValue = error;
    return r;
}

OpenResult NotRecording() {
    OpenResult r;
    r.error = OpenError::kNotRecording;
    return r;
}

}  // namespace

OpenResult ReadRecordingFacts(ByteSource& source, RecordingFacts& facts) {
    LocalTimeConverter converter;
    LineReader reader(source);
    std::string_view line;

    // Header lines: everything before the first data line.
    int headerLines = 0;
    bool found = false;
    while (reader.Next(line)) {
        if (IsDataLine(line)) {
            found = true;
            break;
        }
        ++headerLines;
    }
    if (reader.Failed()) return ReadFailure(reader.Error());
    if (!found) return NotRecording();  // not a single data line

    int layoutFlag = 1;
    if (reader.Truncated() || !CheckColumnCount(line, layoutFlag)) return NotRecording();
    int64_t t1 = 0;
    if (!ParseTimeStamp(line, t1, converter)) return NotRecording();
    // The time of the data line read last: it decides the reading of a time in the hour the
    // autumn change repeats.
    std::optional<int64_t> lastTime = t1;

    // The second line must follow within 5 seconds.
    std::string_view second;
    const bool haveSecond = reader.Next(second);
    if (reader.Failed()) return ReadFailure(reader.Error());
    const bool secondIsData = haveSecond && IsDataLine(second);
    int64_t t2 = 0;
    const bool t2Parsed =
        ParseTimeStamp(haveSecond ? second : std::string_view(), t2, converter, lastTime);
    if (t2Parsed && t2 - t1 > 5) return NotRecording();
    if (secondIsData && t2Parsed) lastTime = t2;
    // The offered start is the second data line's time; a recording with a single data line, or
    // one whose second line is no data line, starts at its first line.
    const int64_t start = secondIsData && t2Parsed ? t2 : t1;

    // Everything read so far that is a data line counts for the end search from the start, which
    // runs when the recording turns out not to be in order.
    bool prefixAllData = secondIsData;
    std::optional<int64_t> prefixMax = t1;
    if (secondIsData && t2Parsed) prefixMax = std::max(t1, t2);

    // Order check: the line header-count lines further on (tC) against the last line of the run
    // of data lines after it (tD).
    std::optional<int64_t> tC;
    if (headerLines == 0 && secondIsData && t2Parsed) tC = t2;
    for (int i = 0; i < headerLines; ++i) {
        std::string_view l;
        const bool have = reader.Next(l);
        if (reader.Failed()) return ReadFailure(reader.Error());
        const bool data = have && IsDataLine(l);
        int64_t t;
        const bool parsed = data && ParseTimeStamp(l, t, converter, lastTime);
        if (parsed) lastTime = t;
        if (!data) prefixAllData = false;
        if (parsed && prefixAllData) prefixMax = std::max(*prefixMax, t);
        if (i == headerLines - 1) tC = parsed ? std::optional<int64_t>(t) : std::nullopt;
        if (!have) break;
    }

    // The run of data lines from there on: the last one gives tD, the latest one the end.
    // Month-long files make this the expensive part, so it runs on parts of the file in parallel.
    const uint64_t runStart = reader.Position();
    const long long size = source.Size();
    const uint64_t runEnd = size >= 0 ? static_cast<uint64_t>(size) : runStart;
    const int parts = runEnd > runStart ? ChooseParts(runEnd - runStart, 0) : 1;
    int error = 0;
    std::vector<uint64_t> bounds = SplitAtLines(source, runStart, runEnd, parts, error);
    if (error != 0) return ReadFailure(error);
    // A part reads its first time without the line before it: let none start in a repeated hour.
    if (!StartPartsAtPlainTimes(source, bounds, error)) return ReadFailure(error);
    struct RunPart {
        bool sawNonData = false;
        std::optional<int64_t> last, max;
        int error = 0;
    };
    std::vector<RunPart> runParts(static_cast<size_t>(parts));
    RunParts(parts, [&](int i) {
        RunPart& part = runParts[static_cast<size_t>(i)];
        LineReader partReader(source, bounds[i], bounds[i + 1]);
        LocalTimeConverter partConverter;
        std::optional<int64_t> previous = i == 0 ? lastTime : std::nullopt;
        std::string_view l;
        while (partReader.Next(l)) {
            if (!IsDataLine(l)) {
                part.sawNonData = true;
                break;
            }
            int64_t t;
            if (!ParseTimeStamp(l, t, partConverter, previous)) continue;
            previous = t;
            part.last = t;
            part.max = part.max ? std::max(*part.max, t) : t;
        }
        part.error = partReader.Error();
    });
    std::optional<int64_t> tD, runMax;
    for (const RunPart& part : runParts) {
        if (part.error != 0) return ReadFailure(part.error);
        if (part.last) tD = part.last;
        if (part.max) runMax = runMax ? std::max(*runMax, *part.max) : part.max;
        if (part.sawNonData) break;
    }

    // Without a comparison time (the line it would come from is no data line) nothing speaks
    // against the order: the end search runs as usual.
    const bool inOrder = !tC || (tD && *tD > *tC);
    int64_t end = start;
    if (inOrder) {
        // An empty run (the search starts at a line that is no data line) leaves the latest
        // time of the data lines read before it.
        end = runMax ? *runMax : *prefixMax;
    } else {
        // Not in order: the end search runs from the first data line instead.
        end = *prefixMax;
        if (prefixAllData && runMax) end = std::max(end, *runMax);
    }
    end = std::max(end, start);

    facts.headerLines = headerLines;
    facts.layoutFlag = layoutFlag;
    facts.startTime = start;
    facts.endTime = end;
    return {};
}

OpenResult Recording::Open(const std::string& path) {
    Close();
    int error = 0;
    if (!file_.Open(path, error)) {
        OpenResult r;
        r.error = OpenError::kCannotOpen;
        r.category = FileErrorCategoryFromErrno(error);
        r.errnoValue = error;
        return r;
    }
    RecordingFacts facts;
    facts.fileName = FileNamePart(path);
    OpenResult r = ReadRecordingFacts(file_, facts);
    if (!r.Ok()) {
        file_.Close();
        return r;
    }
    facts_ = facts;
    open_ = true;
    return r;
}

void Recording::Close() {
    file_.Close();
    open_ = false;
}

}  // namespace kws::rec
