#include "recording/BlockMap.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "recording/LineOps.h"

namespace kws::rec {

namespace {

// The entry of `block` in the part map, made when it is new.
inline MapBlock& BlockEntry(BlockMap::PartMap& part, uint64_t block) {
    if (part.blocks.empty()) part.firstBlock = block;
    while (part.firstBlock + part.blocks.size() <= block) part.blocks.emplace_back();
    return part.blocks[block - part.firstBlock];
}

// Adds one line starting at `offset` to its block.
inline void AddLine(MapBlock& b, uint64_t offset, bool isData, bool parsed, int64_t time) {
    if (b.lines == 0) b.begin = offset;
    ++b.lines;
    if (!isData) b.irregular = true;
    if (!parsed) return;
    if (time < b.maxTime) {
        if (b.HasTimes()) b.irregular = true;
        b.minTime = std::min(b.minTime, time);
    } else {
        b.minTime = std::min(b.minTime, time);
        b.maxTime = time;
    }
    if (isData) b.lastData = time;
}

// Joins what two parts saw of one block; `later` was read after `into`.
void Merge(MapBlock& into, const MapBlock& later) {
    if (later.lines == 0) return;
    if (into.lines == 0) {
        into = later;
        return;
    }
    into.lines += later.lines;
    if (later.HasTimes() && into.HasTimes() && later.minTime < into.maxTime) into.irregular = true;
    into.minTime = std::min(into.minTime, later.minTime);
    into.maxTime = std::max(into.maxTime, later.maxTime);
    if (later.lastData) into.lastData = later.lastData;
    into.irregular = into.irregular || later.irregular;
}

}  // namespace

int ScanPart(ByteSource& source, const BlockMap& map, uint64_t begin, uint64_t end,
             std::optional<int64_t> previous, uint64_t runStart, BlockMap::PartMap& part,
             RunFacts& run) {
    LineReader reader(source, begin, end);
    LineClock clock;
    clock.SetPrevious(previous);
    const uint64_t mapEnd = map.End();
    // The block the lines are in, and where the next one starts.
    MapBlock* current = nullptr;
    uint64_t blockEnd = 0;
    std::string_view line;
    for (;;) {
        const uint64_t at = reader.Position();
        if (!reader.Next(line)) break;
        const bool isData = IsDataLine(line);
        int64_t t = 0;
        // Every line whose time parses counts for the evaluation, data line or not; only data
        // lines decide how the repeated hour reads.
        const bool parsed = clock.Read(line, isData, t);
        if (at < mapEnd) {
            if (at >= blockEnd) {
                const uint64_t block = map.BlockOf(at);
                blockEnd = map.DataStart() + (block + 1) * map.BlockBytes();
                current = &BlockEntry(part, block);
            }
            AddLine(*current, at, isData, parsed, t);
        }
        if (at >= runStart && !run.sawNonData) {
            if (!isData) {
                run.sawNonData = true;
            } else if (parsed) {
                run.last = t;
                run.max = run.max ? std::max(*run.max, t) : t;
            }
        }
    }
    return reader.Error();
}

void BlockMap::Begin(uint64_t dataStart, uint64_t end, int headerLines) {
    Clear();
    dataStart_ = dataStart;
    end_ = std::max(end, dataStart);
    headerLines_ = headerLines;
}

void BlockMap::Join(std::vector<PartMap>& parts) {
    for (PartMap& part : parts) {
        for (size_t i = 0; i < part.blocks.size(); ++i) {
            const size_t index = static_cast<size_t>(part.firstBlock) + i;
            if (index >= blocks_.size()) blocks_.resize(index + 1);
            Merge(blocks_[index], part.blocks[i]);
        }
        std::vector<MapBlock>().swap(part.blocks);
    }
    // Blocks no line starts in (inside a very long line) stay, empty, so that a block's index
    // follows from its offset.
    blocks_.resize(end_ > dataStart_ ? BlockOf(end_ - 1) + 1 : 0);
    uint64_t lines = 0;
    std::optional<int64_t> data;
    for (MapBlock& b : blocks_) {
        b.linesBefore = lines;
        b.previousData = data;
        lines += b.lines;
        if (b.lastData) data = b.lastData;
    }
    valid_ = true;
}

ReadStart BlockMap::StartFor(int64_t start, int64_t end) const {
    ReadStart r;
    size_t first = blocks_.size();
    for (size_t k = 0; k < blocks_.size(); ++k) {
        if (blocks_[k].HasTimes() && blocks_[k].maxTime >= start) {
            first = k;
            break;
        }
    }
    if (first == blocks_.size()) {
        // No mapped line reaches the window: the read starts after them.
        r.offset = end_;
        if (!blocks_.empty()) {
            const MapBlock& last = blocks_.back();
            r.linesBefore = last.linesBefore + last.lines;
            r.previousData = last.lastData ? last.lastData : last.previousData;
        }
        return r;
    }
    const MapBlock& b = blocks_[first];
    r.offset = b.begin;
    r.linesBefore = b.linesBefore;
    r.previousData = b.previousData;
    // The first block from there with a time after the end holds the line the read stops at;
    // the next line start after that block bounds what the read can need.
    for (size_t k = first; k < blocks_.size(); ++k) {
        if (!(blocks_[k].HasTimes() && blocks_[k].maxTime > end)) continue;
        r.stopBound = end_;
        for (size_t j = k + 1; j < blocks_.size(); ++j) {
            if (blocks_[j].lines > 0) {
                r.stopBound = blocks_[j].begin;
                break;
            }
        }
        break;
    }
    return r;
}

bool BlockMap::Fits(ByteSource& source, int headerLines, const ReadStart& at, int& error) const {
    if (!valid_ || headerLines != headerLines_) return false;
    const long long size = source.Size();
    if (size < 0 || static_cast<uint64_t>(size) < end_) return false;
    if (at.offset == 0 || at.offset >= static_cast<uint64_t>(size)) return true;
    char before = 0;
    const long long n = source.ReadAt(&before, 1, at.offset - 1, error);
    if (n < 0) return false;
    return n == 1 && before == '\n';
}

uint64_t BlockMap::EndOfLastFullLine(ByteSource& source, uint64_t from, int& error) {
    const long long size = source.Size();
    if (size <= 0 || static_cast<uint64_t>(size) <= from) return from;
    char chunk[65536];
    uint64_t stop = static_cast<uint64_t>(size);
    while (stop > from) {
        const uint64_t at = stop - std::min<uint64_t>(sizeof chunk, stop - from);
        const long long n = source.ReadAt(chunk, static_cast<size_t>(stop - at), at, error);
        if (n < 0) return UINT64_MAX;
        if (n == 0) return from;  // the file shrank underneath
        const void* nl = memrchr(chunk, '\n', static_cast<size_t>(n));
        if (nl != nullptr)
            return at + static_cast<uint64_t>(static_cast<const char*>(nl) - chunk) + 1;
        stop = at;
    }
    return from;
}

bool BlockMap::Extend(ByteSource& source, int& error) {
    if (!valid_) return false;
    const uint64_t newEnd = EndOfLastFullLine(source, end_, error);
    if (newEnd == UINT64_MAX) return false;
    if (newEnd <= end_) return true;
    std::optional<int64_t> previous;
    if (!blocks_.empty()) {
        const MapBlock& last = blocks_.back();
        previous = last.lastData ? last.lastData : last.previousData;
    }
    const uint64_t oldEnd = end_;
    end_ = newEnd;
    std::vector<PartMap> parts(1);
    RunFacts run;
    const int e = ScanPart(source, *this, oldEnd, newEnd, previous, UINT64_MAX, parts[0], run);
    if (e != 0) {
        end_ = oldEnd;
        error = e;
        return false;
    }
    Join(parts);
    return true;
}

}  // namespace kws::rec
