// Splitting a stretch of a recording into parts that start at line starts, for workers that
// each read their own part.
#pragma once

#include <cstdint>
#include <exception>
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

// Runs work(i) for i in [0, parts), part 0 on the calling thread. A part whose thread cannot be
// started (no memory for its stack) runs on the calling thread too. An exception of any part
// reaches the caller once every thread has ended (never through a thread's own end, which
// would stop the program).
template <typename Work>
void RunParts(int parts, Work&& work) {
    std::vector<std::exception_ptr> errors(static_cast<size_t>(parts));
    std::vector<int> here;
    here.reserve(static_cast<size_t>(parts));
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(parts));
    auto guarded = [&work, &errors](int i) {
        try {
            work(i);
        } catch (...) {
            errors[static_cast<size_t>(i)] = std::current_exception();
        }
    };
    here.push_back(0);
    for (int i = 1; i < parts; ++i) {
        try {
            workers.emplace_back(guarded, i);
        } catch (...) {
            here.push_back(i);
        }
    }
    for (int i : here) guarded(i);
    for (auto& w : workers) w.join();
    for (const auto& e : errors) {
        if (e) std::rethrow_exception(e);
    }
}

}  // namespace kws::rec
