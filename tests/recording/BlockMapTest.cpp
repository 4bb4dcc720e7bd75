// Evaluations that start where the map of the lines says give exactly what a read from the
// first line gives, on random recordings with what real files carry: gaps, header-like lines
// inside, lines out of order, CR LF, the autumn hour, a last line without line feed, windows
// of a few seconds and of over 250 days. Where the map no longer fits the file, the read starts
// at the first line.
#include <gtest/gtest.h>

#include <string_view>

#include "recording/BlockMap.h"
#include "recording/Recording.h"
#include "tests/recording/RoughRecording.h"

using namespace kws::rec;
using namespace kws::test;

// Blocks of 4 KiB give a recording of a few hours some hundred blocks.
constexpr uint64_t kTestBlockBytes = 4096;

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
