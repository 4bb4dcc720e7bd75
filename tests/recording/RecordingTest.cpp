#include <gtest/gtest.h>

#include <sys/stat.h>

#include <random>
#include <string>

#include "bench/RecordingGenerator.h"
#include "recording/LineOps.h"
#include "recording/Recording.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;
using kws::test::TempFile;

namespace {

// A data line at the given local time with `columns` value columns.
std::string Line(int day, int month, int hour, int minute, int second, int columns = 13,
                 int year = 9) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%02d\t%02d:%02d:%02d", day, month, year, hour, minute,
                  second);
    std::string s = buf;
    for (int c = 0; c < columns; ++c) s += "\t" + std::to_string(100 + c);
    return s + "\n";
}

OpenResult OpenText(const std::string& text, RecordingFacts& facts) {
    MemorySource source(text);
    return ReadRecordingFacts(source, facts);
}

}  // namespace

TEST(OpenRecording, ReadsTheFactsOfBothLayouts) {
    ScopedTimeZone zone("Europe/Berlin");
    std::string six = "Kopf 1\nKopf 2\n";
    std::string three = "Kopf\n";
    for (int s = 0; s < 20; ++s) {
        six += Line(12, 3, 14, 0, s);
        three += Line(12, 3, 14, 0, s, 12);
    }
    RecordingFacts facts;
    ASSERT_TRUE(OpenText(six, facts).Ok());
    EXPECT_EQ(facts.headerLines, 2);
    EXPECT_EQ(facts.layoutFlag, 0);
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 14, 0, 1));  // the second data line
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 14, 0, 19));
    ASSERT_TRUE(OpenText(three, facts).Ok());
    EXPECT_EQ(facts.headerLines, 1);
    EXPECT_EQ(facts.layoutFlag, 1);
}

TEST(OpenRecording, RejectsWhatIsNotARecording) {
    RecordingFacts facts;
    EXPECT_EQ(OpenText("", facts).error, OpenError::kNotRecording);
    EXPECT_EQ(OpenText("Kopf\nnoch ein Kopf\n", facts).error, OpenError::kNotRecording);
    EXPECT_EQ(OpenText("12.03.09,14:22:05,1,2,3\n12.03.09,14:22:06,1,2,3\n", facts).error,
              OpenError::kNotRecording);
    EXPECT_EQ(OpenText(Line(12, 3, 14, 0, 0, 11) + Line(12, 3, 14, 0, 1, 11), facts).error,
              OpenError::kNotRecording);
    // The second line 6 seconds after the first is refused, 5 seconds pass.
    EXPECT_EQ(OpenText(Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 6), facts).error,
              OpenError::kNotRecording);
    EXPECT_TRUE(OpenText(Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 5), facts).Ok());
    // A first data line whose time is out of range.
    EXPECT_EQ(OpenText(Line(32, 3, 14, 0, 0) + Line(12, 3, 14, 0, 5), facts).error,
              OpenError::kNotRecording);
    // Binary garbage.
    std::mt19937 random(5);
    std::string garbage(100000, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    EXPECT_FALSE(OpenText(garbage, facts).Ok());
}

TEST(OpenRecording, EndTimeIsTheLatestLineEvenIntoTheNextMonths) {
    ScopedTimeZone zone("Europe/Berlin");
    // 28 March into May: offered to the last line (no stop at a smaller day of month).
    std::string text = "Kopf\n";
    for (int day = 28; day <= 31; ++day) text += Line(day, 3, 12, 0, 0) + Line(day, 3, 12, 0, 1);
    for (int day = 1; day <= 30; ++day) text += Line(day, 4, 12, 0, 0) + Line(day, 4, 12, 0, 1);
    text += Line(2, 5, 8, 30, 0);
    RecordingFacts facts;
    ASSERT_TRUE(OpenText(text, facts).Ok());
    EXPECT_EQ(facts.endTime, MkTime(2009, 5, 2, 8, 30, 0));
    // The end search stops at the first line that is not a data line.
    RecordingFacts cut;
    ASSERT_TRUE(OpenText(Line(1, 3, 1, 0, 0) + Line(1, 3, 1, 0, 1) + Line(1, 3, 1, 0, 2) +
                             "Unterbrechung\n" + Line(1, 3, 9, 0, 0),
                         cut)
                    .Ok());
    EXPECT_EQ(cut.endTime, MkTime(2009, 3, 1, 1, 0, 2));
}

TEST(OpenRecording, RecordingsOutOfOrderAndTinyOnesStillGiveStartBeforeEnd) {
    ScopedTimeZone zone("Europe/Berlin");
    RecordingFacts facts;
    // A single data line: start and end are its time.
    ASSERT_TRUE(OpenText("Kopf\n" + Line(12, 3, 14, 0, 0), facts).Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 14, 0, 0));
    EXPECT_EQ(facts.endTime, facts.startTime);
    // Two lines without header: not "in order" by the check, the start is still the second line.
    ASSERT_TRUE(OpenText(Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1), facts).Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 14, 0, 1));
    EXPECT_EQ(facts.endTime, facts.startTime);
    // Times running backwards after the second line.
    ASSERT_TRUE(OpenText("K\n" + Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1) +
                             Line(12, 3, 14, 0, 2) + Line(12, 3, 13, 0, 0) + Line(12, 3, 12, 0, 0),
                         facts)
                    .Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 14, 0, 1));
    EXPECT_GE(facts.endTime, facts.startTime);
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 14, 0, 2));
}

TEST(OpenRecording, LineEndingsAndOverlongLines) {
    ScopedTimeZone zone("Europe/Berlin");
    RecordingFacts facts;
    std::string crlf =
        "Kopf\r\n" + Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1) + Line(12, 3, 14, 0, 2);
    for (size_t i = 0; (i = crlf.find('\n', i)) != std::string::npos; i += 2) crlf.insert(i, "\r");
    ASSERT_TRUE(OpenText(crlf, facts).Ok());
    EXPECT_EQ(facts.layoutFlag, 0);  // CR is not part of the line: still 14 tabs
    // A last line without line feed counts.
    std::string noFinal = Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1) + Line(12, 3, 14, 0, 9);
    noFinal.pop_back();
    ASSERT_TRUE(OpenText(noFinal, facts).Ok());
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 14, 0, 9));
    // A header line of 20 MB is skipped as a whole.
    std::string big(20 << 20, 'x');
    ASSERT_TRUE(OpenText(big + "\n" + Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1), facts).Ok());
    EXPECT_EQ(facts.headerLines, 1);
    // A first data line of 20 MB is not a recording line.
    std::string hugeData = Line(12, 3, 14, 0, 0);
    hugeData.insert(20, std::string(20 << 20, '5'));
    EXPECT_EQ(OpenText(hugeData + Line(12, 3, 14, 0, 1), facts).error, OpenError::kNotRecording);
}

TEST(OpenRecording, FilesThatCannotBeOpenedReportTheirErrorClass) {
    Recording recording;
    OpenResult r = recording.Open("/tmp/kws-does-not-exist.txt");
    EXPECT_EQ(r.error, OpenError::kCannotOpen);
    EXPECT_EQ(r.category, kErrFileNotFound);
    TempFile file(Line(12, 3, 14, 0, 0) + Line(12, 3, 14, 0, 1));
    r = recording.Open(file.Path() + "/below-a-file.txt");
    EXPECT_EQ(r.category, kErrBadPath);
    r = recording.Open(file.Dir());
    EXPECT_EQ(r.error, OpenError::kCannotOpen);
    EXPECT_EQ(r.category, kErrAccessDenied);
    ASSERT_TRUE(recording.Open(file.Path()).Ok());
    EXPECT_TRUE(recording.IsOpen());
    EXPECT_EQ(recording.Facts().fileName, "recording.txt");
    // A failed open leaves nothing open.
    recording.Open("/tmp/kws-does-not-exist.txt");
    EXPECT_FALSE(recording.IsOpen());
}

TEST(OpenRecording, GeneratedRecordingsOfBothLayouts) {
    ScopedTimeZone zone("Europe/Berlin");
    for (int layout : {0, 1}) {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = 5 * 3600;
        o.gaps = 3;
        o.headerLines = 3;
        o.startTime = MkTime(2009, 3, 29, 0, 0, 0);  // crosses the spring change
        const std::string text = kws::bench::GenerateRecording(o);
        RecordingFacts facts;
        ASSERT_TRUE(OpenText(text, facts).Ok());
        EXPECT_EQ(facts.layoutFlag, layout);
        EXPECT_EQ(facts.headerLines, 3);
        EXPECT_EQ(facts.startTime, o.startTime + 1);
        EXPECT_EQ(facts.endTime, o.startTime + o.seconds - 1);
    }
}

TEST(OpenRecording, AStrayLineEarlyInTheFileDoesNotCutTheRecording) {
    ScopedTimeZone zone("Europe/Berlin");
    auto run = [](int from, int to) {
        std::string text;
        for (int s = from; s <= to; ++s) text += Line(12, 3, 10, 0, s);
        return text;
    };
    const std::string stray = "#### Netzausfall ####\n";
    RecordingFacts facts;
    // One header line: the order check reads the line after the second data line, the marker.
    // No comparison time: the end search runs to the last line. The start is the second line.
    ASSERT_TRUE(OpenText("Kopf\n" + run(0, 1) + stray + run(2, 29), facts).Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 10, 0, 1));
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 29));
    // Two header lines, the marker is the second line the order check reads.
    ASSERT_TRUE(OpenText("K1\nK2\n" + run(0, 2) + stray + run(4, 29), facts).Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 10, 0, 1));
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 29));
    // No header lines and a junk second line: the start is the first data line.
    for (const std::string& junk : {stray, std::string("x\n"), std::string("\n")}) {
        ASSERT_TRUE(OpenText(run(0, 0) + junk + run(2, 29), facts).Ok()) << junk;
        EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 10, 0, 0)) << junk;
        EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 29)) << junk;
    }
    // The end search itself stops at the first line that is no data line: nothing after the
    // second marker counts, and the latest data line before it is the end.
    ASSERT_TRUE(OpenText("Kopf\n" + run(0, 1) + stray + stray + run(4, 29), facts).Ok());
    EXPECT_EQ(facts.startTime, MkTime(2009, 3, 12, 10, 0, 1));
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 1));
    ASSERT_TRUE(OpenText("Kopf\n" + run(0, 1) + stray, facts).Ok());
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 1));
    // A comparison time that is later than the run after it still means "not in order".
    ASSERT_TRUE(OpenText("Kopf\n" + run(0, 2) + run(0, 0), facts).Ok());
    EXPECT_EQ(facts.endTime, MkTime(2009, 3, 12, 10, 0, 2));
}
