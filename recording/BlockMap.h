// A map of a recording's lines, made while opening it: for every block of about a MiB, where it
// starts, how many lines start in it and which times they carry. An evaluation uses it to start
// reading near its window instead of at the first line, with exactly the result of a read from
// the first line.
//
// What the map guarantees. Times are read as a read from the first line after the header reads
// them: every line whose time parses counts, data line or not, and a time in the hour the autumn
// change repeats takes the pass nearer to the data line before it. For each block the map keeps
// the smallest and largest of these times, the number of lines starting in it, and the time of
// the last data line before it. A read from the first line passes every block whose largest
// time lies before the window's start without taking a sample and without stopping, whatever
// the order of its lines; all it carries across such a block is the line count (the phase of
// the thinning) and the time of the last data line (how the repeated hour reads). So a read
// that starts at the first block holding a time at or after the window's start, with these two
// carried in, sees the same lines in the same state and gives the same samples, fillers, padding
// and status. Lines out of order need no special case: a line far in the future ends the read
// where a read from the first line would end it.
//
// The map covers the lines that end with a line feed when it was made; a last line without one
// may still grow and is read as the tail. A map no longer fits its file (a shorter file, another
// header, a block that no longer starts at a line) is not used: the evaluation then reads from
// the first line. A growing file extends the map with Extend.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "recording/LineReader.h"

namespace kws::rec {

struct MapBlock {
    uint64_t begin = 0;           // offset of the first line starting in the block
    uint64_t lines = 0;           // lines starting in the block
    uint64_t linesBefore = 0;     // lines between the map's start and this block
    int64_t minTime = INT64_MAX;  // over the lines whose time parses; min > max: none did
    int64_t maxTime = INT64_MIN;
    std::optional<int64_t> lastData;      // time of the block's last data line that parses
    std::optional<int64_t> previousData;  // the same for everything before the block
    // Holds a line that is no data line, or a time earlier than one before it. Such lines
    // are covered by the times above; the flag tells a later reader where the file is unusual.
    bool irregular = false;

    bool HasTimes() const { return minTime <= maxTime; }
};

// Where a read starts and the state it starts in.
struct ReadStart {
    uint64_t offset = 0;                  // first line to read
    uint64_t linesBefore = 0;             // lines between the map's start and `offset`
    std::optional<int64_t> previousData;  // time of the last data line before `offset`
    // Lines from this offset on cannot matter for a window ending at the given end when lines
    // are not thinned: the read has ended at a later time before. UINT64_MAX: read to the end.
    uint64_t stopBound = UINT64_MAX;
};

class BlockMap {
public:
    static constexpr uint64_t kBlockBytes = 1u << 20;

    // Smaller blocks make a finer map of small files (tests use them).
    explicit BlockMap(uint64_t blockBytes = kBlockBytes) : blockBytes_(blockBytes) {}

    bool Valid() const { return valid_; }
    void Clear() { *this = BlockMap(blockBytes_); }

    // First mapped byte (the first line after the header) and first byte after the mapped lines.
    uint64_t DataStart() const { return dataStart_; }
    uint64_t End() const { return end_; }
    int HeaderLines() const { return headerLines_; }
    const std::vector<MapBlock>& Blocks() const { return blocks_; }

    // Where a read for the window [start, end] starts: at the first block that holds a time at or
    // after `start`, or after the mapped lines when none does.
    ReadStart StartFor(int64_t start, int64_t end) const;

    // Whether the map still fits `source` with `headerLines` lines before its first line: the
    // file is not shorter and the read start `at` is still a line start.
    bool Fits(ByteSource& source, int headerLines, const ReadStart& at, int& error) const;

    // Maps the lines appended to the file since the map was made (or last extended). False on a
    // read error, with `error` set; the map is unchanged then.
    bool Extend(ByteSource& source, int& error);

    // Building, for the opening of a recording. The map covers the lines starting in
    // [dataStart, end), which the opening scans in parts; each part fills its own PartMap.
    struct PartMap {
        std::vector<MapBlock> blocks;  // blocks firstBlock, firstBlock + 1, ...
        uint64_t firstBlock = 0;
    };
    void Begin(uint64_t dataStart, uint64_t end, int headerLines);
    // Adds the parts in the order of the file.
    void Join(std::vector<PartMap>& parts);
    uint64_t BlockBytes() const { return blockBytes_; }
    uint64_t BlockOf(uint64_t offset) const { return (offset - dataStart_) / blockBytes_; }

    // Offset after the last line feed of the source (0 without one); UINT64_MAX on a read error.
    static uint64_t EndOfLastFullLine(ByteSource& source, uint64_t from, int& error);

private:
    std::vector<MapBlock> blocks_;
    uint64_t blockBytes_;
    uint64_t dataStart_ = 0;
    uint64_t end_ = 0;
    int headerLines_ = 0;
    bool valid_ = false;
};

// What the opening learns from the run of data lines that starts at a given offset: whether a
// line that is no data line ends it, its last time and its latest time.
struct RunFacts {
    bool sawNonData = false;
    std::optional<int64_t> last, max;
};

// Scans the lines starting in [begin, end) (end UINT64_MAX: to the end of the source) in order,
// the data line before `begin` read at `previous`: the lines before the map's end go into
// `part`, and the lines from `runStart` on into `run`. Returns 0 or the errno value of a read
// error.
int ScanPart(ByteSource& source, const BlockMap& map, uint64_t begin, uint64_t end,
             std::optional<int64_t> previous, uint64_t runStart, BlockMap::PartMap& part,
             RunFacts& run);

}  // namespace kws::rec
