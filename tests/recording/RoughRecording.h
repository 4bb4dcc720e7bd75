// Random recordings with what real files carry, and the comparison of two evaluations bit for
// bit, for the tests that check a shortcut against a read from the first line.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/RecordingGenerator.h"
#include "recording/Evaluation.h"
#include "tests/recording/TestSupport.h"

namespace kws::test {

using namespace kws::rec;

// The lines of a text, each with its line feed.
inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0, nl; pos < text.size(); pos = nl + 1) {
        nl = std::min(text.find('\n', pos), text.size() - 1);
        lines.push_back(text.substr(pos, nl - pos + 1));
    }
    return lines;
}

// A generated recording of three hours, roughened by `seed`: it crosses the autumn change or
// not, and carries header-like and empty lines, lines copied to other places (out of order),
// a clock stepping back a second, CR LF line ends and maybe no final line feed; `future` adds
// a line from years later.
inline std::string RoughRecording(uint32_t seed, int layout, bool future = true) {
    std::mt19937 random(seed);
    kws::bench::GeneratorOptions o;
    o.layoutFlag = layout;
    o.seconds = 3 * 3600;
    o.gaps = 1 + static_cast<int>(random() % 6);
    o.headerLines = 2;
    o.seed = seed;
    o.startTime = seed % 2 == 0 ? MkTime(2009, 10, 25, 0, 45, 0) : MkTime(2009, 6, 3, 10, 0, 0);
    std::vector<std::string> lines = SplitLines(kws::bench::GenerateRecording(o));
    auto anywhere = [&] { return 2 + random() % (lines.size() - 2); };
    const char* strays[] = {"Datum\tZeit\tSpeicher\n", "\n", "Kessel\n", " 25.10.09\t02:30:00\t5\n",
                            "25.10.09\t\t\t\n"};
    for (int i = 0, n = static_cast<int>(random() % 8); i < n; ++i)
        lines.insert(lines.begin() + anywhere(), strays[random() % 5]);
    for (int i = 0, n = static_cast<int>(random() % 4); i < n; ++i) {
        const std::string copy = lines[anywhere()];
        lines.insert(lines.begin() + anywhere(), copy);
    }
    if (random() % 3 == 0 && future) {
        // One line from far in the future: a read from the first line ends there.
        std::string future = lines[anywhere()];
        future.replace(6, 2, "14");
        lines.insert(lines.begin() + anywhere(), future);
    }
    for (int i = 0; i < 3; ++i) {
        const size_t at = anywhere();
        if (at + 1 < lines.size()) std::swap(lines[at], lines[at + 1]);  // a step back
    }
    for (int i = 0, n = static_cast<int>(random() % 200); i < n; ++i) {
        std::string& l = lines[anywhere()];
        if (l.size() >= 2 && l[l.size() - 2] != '\r') l.insert(l.size() - 1, "\r");
    }
    std::string text;
    for (const std::string& l : lines) text += l;
    if (random() % 2 == 0) text.pop_back();
    return text;
}

struct Result {
    SampleArray samples;
    SampleMarks marks;
    EvaluationStatus status;
};

inline Result EvaluateWith(ByteSource& source, int header, int layout, int64_t a, int64_t b,
                           const BlockMap* map) {
    Result r;
    EvaluationOptions options;
    options.map = map;
    r.status = Evaluate(source, header, layout, a, b, r.samples, r.marks, options);
    return r;
}

// Same records bit for bit, same fillers and padding, same status.
inline void ExpectSameResult(const Result& got, const Result& want, const std::string& what) {
    auto runs = [](const SampleMarks& m) {
        std::vector<std::pair<size_t, size_t>> v;
        for (const IndexRun& r : m.notData) v.emplace_back(r.begin, r.end);
        return v;
    };
    EXPECT_EQ(got.status.ok, want.status.ok) << what;
    EXPECT_EQ(got.status.stoppedAfterEnd, want.status.stoppedAfterEnd) << what;
    EXPECT_EQ(got.marks.thinned, want.marks.thinned) << what;
    EXPECT_EQ(runs(got.marks), runs(want.marks)) << what;
    ASSERT_EQ(got.samples.size(), want.samples.size()) << what;
    EXPECT_EQ(std::memcmp(got.samples.data(), want.samples.data(),
                          got.samples.size() * sizeof(SampleRecord)),
              0)
        << what;
}

}  // namespace kws::test
