// A window that follows its recording ends up exactly as an evaluation of the longer recording:
// the lines appended in pieces (cut anywhere, also inside a line) give the same records,
// fillers and thinning as a read from the first line.
#include <gtest/gtest.h>

#include <string_view>

#include "recording/BlockMap.h"
#include "recording/Recording.h"
#include "recording/WindowFollow.h"
#include "tests/recording/RecordingLines.h"
#include "tests/recording/RoughRecording.h"

using namespace kws::rec;
using namespace kws::test;

namespace {

// The store and the marks of a followed window, as a Result to compare.
Result AsResult(const SampleStore& store, const SampleMarks& marks) {
    Result r{{}, marks, {}};
    for (size_t i = 0; i < store.size(); ++i) r.samples.push_back(store[i]);
    return r;
}

}  // namespace

TEST(WindowFollow, AppendedLinesGiveTheEvaluationOfTheLongerRecording) {
    ScopedTimeZone zone("Europe/Berlin");
    std::mt19937 random(21);
    int resumedAtAStop = 0, thinned = 0, nearEnd = 0;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
        const int layout = static_cast<int>(seed / 2 % 2);
        std::string text = RoughRecording(seed, layout, false);
        if (text.back() != '\n') text += '\n';
        // Data lines with too few columns end following; the others stay, but for a line of
        // October in a June recording, whose months of fillers only cost time.
        std::vector<std::string> strays = {"\n25.10.09\t\t\t\n", "\n25.10.09\t\t\t\r\n"};
        if (seed % 2 == 1) strays.push_back("\n 25.10.09\t02:30:00\t5\n");
        for (const std::string& stray : strays)
            for (size_t at; (at = text.find(stray)) != std::string::npos;)
                text.erase(at + 1, stray.size() - 1);
        RecordingFacts facts;
        MemorySource whole(text);
        ASSERT_TRUE(ReadRecordingFacts(whole, facts).Ok()) << seed;
        for (int round = 0; round < 6; ++round) {
            const bool thin = round % 3 == 2;
            const int64_t a = facts.startTime + static_cast<int64_t>(random() % 3600) - 60;
            // A window to beyond every line, or (unthinned) one that ends at a line in the middle
            // of the file as it was when evaluated, so that the read stopped after it.
            const bool stops = !thin && round % 2 == 1;
            const int64_t b = a + (thin ? 251 : 200) * int64_t{86400};
            // The file when evaluated, when following starts, and the pieces appended later.
            const size_t evaluated = text.find('\n', random() % (text.size() / 2)) + 1;
            const size_t resumed =
                stops ? evaluated + random() % (text.size() - evaluated) / 4 : evaluated;
            std::string_view view(text);
            MemorySource atEvaluation(view.substr(0, stops ? resumed : evaluated));
            int64_t windowEnd = b;
            if (stops) {
                // The window ends at a data line's time inside the part evaluated.
                int64_t t = 0;
                const size_t lineStart = text.rfind('\n', evaluated - 2) + 1;
                if (!IsDataLine(view.substr(lineStart, 20)) ||
                    !ParseTimeStamp(view.substr(lineStart, evaluated - lineStart), t) || t < a)
                    continue;
                windowEnd = t;
            }
            const std::string what = "seed " + std::to_string(seed) + " round " +
                                     std::to_string(round) + (thin ? " thinned" : "");
            // The map made when the file was opened, before the evaluation.
            BlockMap map(4096);
            RecordingFacts opened;
            MemorySource atOpening(view.substr(0, evaluated));
            ASSERT_TRUE(ReadRecordingFacts(atOpening, opened, &map).Ok());
            const auto first = EvaluateWith(atEvaluation, 2, layout, a, windowEnd, &map);
            SampleStore store(std::make_shared<const SampleArray>(first.samples));
            SampleMarks marks = first.marks;
            WindowFollower follower;
            MemorySource atResume(view.substr(0, resumed));
            // Taken up near the window's end through the map, or by reading the window again.
            const auto resume = follower.Resume(atResume, round % 3 == 0 ? nullptr : &map, 2,
                                                layout, a, windowEnd, store, marks);
            if (stops && resume.result == WindowFollower::Result::kChanged) continue;  // padded
            ASSERT_EQ(resume.result, WindowFollower::Result::kOk) << what;
            if (stops) ++resumedAtAStop;
            if (follower.ResumedNearEnd()) ++nearEnd;
            if (thin) ++thinned;
            // Appended in pieces that end anywhere, the last one at the end of the file.
            for (size_t at = resumed; at < text.size();) {
                at = std::min(text.size(), at + 1 + random() % (text.size() / 5));
                MemorySource grown(view.substr(0, at));
                const auto read = follower.Read(grown, at, store, marks);
                ASSERT_EQ(read.result, WindowFollower::Result::kOk) << what;
                // Only whole lines are taken.
                ASSERT_TRUE(follower.Position() == 0 || text[follower.Position() - 1] == '\n');
            }
            const auto want = EvaluateWith(whole, 2, layout, a, b, nullptr);
            ASSERT_FALSE(want.status.stoppedAfterEnd) << what;
            ExpectSameResult(AsResult(store, marks), want, what);
        }
    }
    EXPECT_GT(resumedAtAStop, 3);
    EXPECT_GT(thinned, 8);
    EXPECT_GT(nearEnd, 15);
}

TEST(WindowFollow, AFileThatNoLongerGivesTheWindowCannotBeFollowed) {
    ScopedTimeZone zone("Europe/Berlin");
    const std::string text = "Aufzeichnung\n" + Line("10:00:00", Six(600, 450, 400, 0, 0, 0)) +
                             Line("10:00:01", Six(590, 450, 400, 0, 0, 0));
    const int64_t start = MkTime(2009, 6, 3, 10, 0, 0), end = start + 1;
    MemorySource source(text);
    auto window = EvaluateWith(source, 1, kSixCurveLayout, start, end, nullptr);
    // The window as evaluated, and one whose last record the file no longer gives.
    for (const bool changed : {false, true}) {
        SampleArray samples = window.samples;
        if (changed) samples.back().value[0] += 0.1;
        SampleStore store(std::make_shared<const SampleArray>(samples));
        WindowFollower follower;
        EXPECT_EQ(
            follower.Resume(source, nullptr, 1, kSixCurveLayout, start, end, store, window.marks)
                .result,
            changed ? WindowFollower::Result::kChanged : WindowFollower::Result::kOk);
    }
}
