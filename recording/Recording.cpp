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

OpenResult ReadRecordingFacts(ByteSource& source, RecordingFacts& facts, BlockMap* map) {
    LocalTimeConverter converter;
    LineReader reader(source);
    std::string_view line;

    // Header lines: everything before the first data line.
    int headerLines = 0;
    bool found = false;
    uint64_t dataStart = 0;
    for (;;) {
        dataStart = reader.Position();
        if (!reader.Next(line)) break;
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

    // The run of data lines from there on: the last one gives tD, the latest one the end. The
    // same scan maps every line after the header (see BlockMap). Large files make this the
    // expensive part, so it runs on parts of the file in parallel; a part that starts in a
    // repeated hour would read it without the line before, so none does.
    const uint64_t runStart = reader.Position();
    const long long size = source.Size();
    const uint64_t fileEnd = size >= 0 ? static_cast<uint64_t>(size) : runStart;
    int error = 0;
    BlockMap localMap;
    BlockMap& blockMap = map != nullptr ? *map : localMap;
    const uint64_t mapEnd = BlockMap::EndOfLastFullLine(source, dataStart, error);
    if (mapEnd == UINT64_MAX) return ReadFailure(error);
    blockMap.Begin(dataStart, mapEnd, headerLines);
    const int parts = fileEnd > dataStart ? ChooseParts(fileEnd - dataStart, 0) : 1;
    std::vector<uint64_t> bounds = SplitAtLines(source, dataStart, fileEnd, parts, error);
    if (error != 0) return ReadFailure(error);
    if (!StartPartsAtPlainTimes(source, bounds, error)) return ReadFailure(error);
    std::vector<BlockMap::PartMap> partMaps(static_cast<size_t>(parts));
    std::vector<RunFacts> runParts(static_cast<size_t>(parts));
    std::vector<int> partErrors(static_cast<size_t>(parts));
    RunParts(parts, [&](int i) {
        const size_t k = static_cast<size_t>(i);
        partErrors[k] = ScanPart(source, blockMap, bounds[k], bounds[k + 1], std::nullopt, runStart,
                                 partMaps[k], runParts[k]);
    });
    for (const int e : partErrors) {
        if (e != 0) return ReadFailure(e);
    }
    blockMap.Join(partMaps);
    std::optional<int64_t> tD, runMax;
    for (const RunFacts& part : runParts) {
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
    OpenResult r = ReadRecordingFacts(file_, facts, &map_);
    if (!r.Ok()) {
        map_.Clear();
        file_.Close();
        return r;
    }
    facts_ = facts;
    open_ = true;
    return r;
}

void Recording::Close() {
    file_.Close();
    map_.Clear();
    open_ = false;
}

}  // namespace kws::rec
