// Splitting a stretch of a recording into parts that start at line starts, for workers that
// each read their own part.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "recording/LineReader.h"

namespace kws::rec {

// How many parts `bytes` of lines are worth: one per 8 MiB, at most `threads` (0: the
// machine's hardware threads), at most 8.
int ChooseParts(uint64_t bytes, int threads);

// Part boundaries: parts + 1 offsets, the first `begin`, the last UINT64_MAX (to the end).
// Each inner boundary is the first line start at or after an even split. On a read error the
// result is empty and `error` is set.
std::vector<uint64_t> SplitAtLines(ByteSource& source, uint64_t begin, uint64_t end, int parts,
                                   int& error);

// Moves every inner boundary forward past lines that are not data lines with a time and past
// lines whose time lies in an hour the autumn clock change repeats, so that each part starts at
// a line whose time reads the same with or without the lines before it. A boundary never passes
// the one after it (its part is then empty). On a read error returns false and sets `error`.
bool StartPartsAtPlainTimes(ByteSource& source, std::vector<uint64_t>& bounds, int& error);

// Runs work(i) for i in [0, parts), part 0 on the calling thread.
template <typename Work>
void RunParts(int parts, Work&& work) {
    std::vector<std::thread> workers;
    for (int i = 1; i < parts; ++i) workers.emplace_back([&work, i] { work(i); });
    work(0);
    for (auto& w : workers) w.join();
}

}  // namespace kws::rec
