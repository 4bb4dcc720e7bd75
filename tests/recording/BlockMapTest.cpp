// Evaluations that start where the map of the lines says give exactly what a read from the
// first line gives, on random recordings with what real files carry: gaps, header-like lines
// inside, lines out of order, CR LF, the autumn hour, a last line without line feed, windows
// of a few seconds and of over 250 days. Where the map no longer fits the file, the read starts
// at the first line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/RecordingGenerator.h"
#include "recording/BlockMap.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;

namespace {

// Blocks of 4 KiB give a recording of a few hours some hundred blocks.
constexpr uint64_t kTestBlockBytes = 4096;

// The lines of a text, each with its line feed.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t pos = 0, nl; pos < text.size(); pos = nl + 1) {
        nl = std::min(text.find('\n', pos), text.size() - 1);
        lines.push_back(text.substr(pos, nl - pos + 1));
    }
    return lines;
}

// A generated recording of three hours, roughened by `seed`: it crosses the autumn change or
// not, and carries header-like and empty lines, lines copied to other places (out of order),
// a clock stepping back a second, CR LF line ends and maybe no final line feed.
std::string RoughRecording(uint32_t seed, int layout) {
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
    if (random() % 3 == 0) {
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

Result EvaluateWith(ByteSource& source, int header, int layout, int64_t a, int64_t b,
                    const BlockMap* map) {
    Result r;
    EvaluationOptions options;
    options.map = map;
    r.status = Evaluate(source, header, layout, a, b, r.samples, r.marks, options);
    return r;
}

// Same records bit for bit, same fillers and padding, same status.
void ExpectSameResult(const Result& got, const Result& want, const std::string& what) {
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

}  // namespace

TEST(BlockMap, EvaluationsThroughTheMapEqualAReadFromTheFirstLine) {
    ScopedTimeZone zone("Europe/Berlin");
    std::mt19937 random(5);
    int started = 0;  // reads that started after the first block
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const int layout = static_cast<int>(seed / 2 % 2);
        const std::string text = RoughRecording(seed, layout);
        MemorySource source(text);
        RecordingFacts facts;
        BlockMap map(kTestBlockBytes);
        ASSERT_TRUE(ReadRecordingFacts(source, facts, &map).Ok()) << seed;
        ASSERT_GT(map.Blocks().size(), 100u);
        // The same map, made from the first half and extended by the rest as a growing file is.
        MemorySource half(std::string_view(text).substr(0, text.size() / 2));
        RecordingFacts halfFacts;
        BlockMap grown(kTestBlockBytes);
        ASSERT_TRUE(ReadRecordingFacts(half, halfFacts, &grown).Ok());
        int error = 0;
        ASSERT_TRUE(grown.Extend(source, error));

        const int64_t first = facts.startTime - 120, span = facts.endTime - facts.startTime + 240;
        for (int round = 0; round < 10; ++round) {
            // The first two windows of an autumn recording start in the repeated hour's second
            // pass, whose lines read right only after the line before them.
            const int64_t secondPass = MkTime(2009, 10, 25, 3, 0, 0) - 3600;
            const int64_t a = seed % 2 == 0 && round < 2
                                  ? secondPass + 600 + round * 60
                                  : first + static_cast<int64_t>(random() % span);
            const int64_t length = round % 4 == 3 ? 251 * 86400 + random() % (10 * 86400)
                                                  : static_cast<int64_t>(random() % 3000);
            const int64_t b = a + length;
            const std::string what = "seed " + std::to_string(seed) + " window " +
                                     std::to_string(a) + " + " + std::to_string(length);
            const Result want = EvaluateWith(source, 2, layout, a, b, nullptr);
            const Result got = EvaluateWith(source, 2, layout, a, b, &map);
            EXPECT_TRUE(got.status.usedMap) << what;
            ExpectSameResult(got, want, what);
            ExpectSameResult(EvaluateWith(source, 2, layout, a, b, &grown), want, what + " grown");
            if (got.status.readFrom >= map.DataStart() + kTestBlockBytes) ++started;
        }
    }
    EXPECT_GT(started, 20);  // most windows lie inside the recording
}

TEST(BlockMap, TheReadStartsAtTheFirstLineWhereTheMapNoLongerFits) {
    ScopedTimeZone zone("Europe/Berlin");
    const std::string text = RoughRecording(3, 0);
    MemorySource source(text);
    RecordingFacts facts;
    BlockMap map(kTestBlockBytes);
    ASSERT_TRUE(ReadRecordingFacts(source, facts, &map).Ok());
    const int64_t a = facts.endTime - 1200, b = facts.endTime - 600;
    // The same lines, each one byte later: no block starts at a line any more.
    std::string shifted = text;
    shifted.insert(shifted.find('\n', shifted.find("\n03.06.09")) - 1, "0");
    const std::string shorter = text.substr(0, text.size() * 3 / 4);
    struct Case {
        const char* what;
        std::string_view file;
        int header;
        const BlockMap* map;
        bool used;
    };
    const Case cases[] = {
        {"the map fits", text, 2, &map, true},
        {"no map", text, 2, nullptr, false},
        {"another header line count", text, 3, &map, false},
        {"the file got shorter", shorter, 2, &map, false},
        {"the lines moved", shifted, 2, &map, false},
    };
    for (const Case& c : cases) {
        MemorySource file(c.file);
        const Result got = EvaluateWith(file, c.header, 0, a, b, c.map);
        EXPECT_EQ(got.status.usedMap, c.used) << c.what;
        EXPECT_EQ(got.status.readFrom > map.DataStart() + kTestBlockBytes, c.used) << c.what;
        ExpectSameResult(got, EvaluateWith(file, c.header, 0, a, b, nullptr), c.what);
    }
}
