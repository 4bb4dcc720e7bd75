// The autumn clock change: a recorder on local time writes 02:00:00-02:59:59 twice. Reading in
// order, the second pass gets the winter-time instants, in opening and evaluation, in one part
// and split across parts. Expected instants are written in UTC (timegm), independent of the
// local-time code.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "recording/Evaluation.h"
#include "recording/LineOps.h"
#include "recording/LocalTime.h"
#include "recording/ParallelScan.h"
#include "recording/Recording.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;
using kws::test::Utc;

namespace {

// In Europe/Berlin on 25 October 2009 summer time ends at 01:00 UTC: local 02:00-02:59 is
// 00:00-00:59 UTC (first pass) and 01:00-01:59 UTC (second pass).
const int64_t kFirstPass = Utc(2009, 10, 25, 0, 0, 0);
const int64_t kSecondPass = Utc(2009, 10, 25, 1, 0, 0);

// One line per second from `from` to `to` (UTC, both included), with the local date and time
// as the recorder writes them, value column 0 counting 1, 2, ... and the last, unread column
// padded with zeros to make the lines `lineBytes` long.
std::string AutumnText(int64_t from, int64_t to, int layoutFlag, size_t lineBytes = 0) {
    const int columns = layoutFlag == 1 ? 12 : 13;
    std::string text = "CaloraControl2\n";
    for (int64_t t = from; t <= to; ++t) {
        const time_t tt = static_cast<time_t>(t);
        struct tm tm;
        localtime_r(&tt, &tm);
        char buf[32];
        std::strftime(buf, sizeof buf, "%d.%m.%y\t%H:%M:%S", &tm);
        std::string line = buf;
        line += "\t" + std::to_string(1 + (t - from) % 1000);
        for (int c = 1; c < columns - 1; ++c) line += "\t" + std::to_string(200 + c);
        line += "\t";
        const size_t fill = line.size() + 2 < lineBytes ? lineBytes - line.size() - 2 : 0;
        line += std::string(fill, '0') + "7\n";
        text += line;
    }
    return text;
}

// Offset of data line `index` (0 = the first after the header line).
uint64_t LineOffset(const std::string& text, int64_t index) {
    size_t at = text.find('\n') + 1;
    for (int64_t i = 0; i < index; ++i) at = text.find('\n', at) + 1;
    return at;
}

SampleArray EvaluateText(const std::string& text, int layout, int64_t start, int64_t end,
                         int threads) {
    MemorySource source(text);
    SampleArray samples;
    EvaluationOptions options;
    options.threads = threads;
    EXPECT_TRUE(Evaluate(source, 1, layout, start, end, samples, options).ok);
    return samples;
}

// One sample per line, one second apart from `from`, column 0 of line i read as (1 + i) x 0.1.
void ExpectOneSamplePerSecond(const SampleArray& samples, int64_t from, int64_t to,
                              const std::string& what) {
    ASSERT_EQ(samples.size(), static_cast<size_t>(to - from + 1)) << what;
    for (size_t i = 0; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i].time, from + static_cast<int64_t>(i)) << what << " sample " << i;
        ASSERT_NEAR(samples[i].value[0], (1 + static_cast<int64_t>(i) % 1000) * 0.1, 1e-9)
            << what << " sample " << i;  // a line's values, never a filler
    }
}

}  // namespace

TEST(ClockChange, TheConverterReadsTheRepeatedHourByThePreviousTime) {
    ScopedTimeZone zone("Europe/Berlin");
    LocalTimeConverter c;
    int64_t t = 0;
    bool repeated = false;
    // Without a previous time: the first pass (summer time), as mktime's earlier reading.
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 2, 30, 0, t, nullptr, &repeated));
    EXPECT_EQ(t, kFirstPass + 1800);
    EXPECT_TRUE(repeated);
    // After the last second of the first pass, 02:00:00 is the second pass.
    const int64_t lastOfFirst = kFirstPass + 3599;
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 2, 0, 0, t, &lastOfFirst, &repeated));
    EXPECT_EQ(t, kSecondPass);
    // The hour is not remembered for later calls: 02:30:01 after 02:30:00 of the second pass.
    const int64_t secondPassHalf = kSecondPass + 1800;
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 2, 30, 1, t, &secondPassHalf));
    EXPECT_EQ(t, kSecondPass + 1801);
    // Within the first pass the first pass stays.
    const int64_t firstPassHalf = kFirstPass + 1800;
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 2, 30, 1, t, &firstPassHalf));
    EXPECT_EQ(t, kFirstPass + 1801);
    // Hours around it are not repeated; the previous time does not matter there.
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 3, 0, 0, t, &secondPassHalf, &repeated));
    EXPECT_EQ(t, Utc(2009, 10, 25, 2, 0, 0));
    EXPECT_FALSE(repeated);
    ASSERT_TRUE(c.ToTime(2009, 10, 25, 1, 59, 59, t, &secondPassHalf, &repeated));
    EXPECT_EQ(t, kFirstPass - 1);
    EXPECT_FALSE(repeated);
    // The spring change is read as before, with or without a previous time.
    const int64_t late = Utc(2009, 3, 29, 5, 0, 0);
    for (int minute : {0, 30, 59}) {
        ASSERT_TRUE(c.ToTime(2009, 3, 29, 2, minute, 0, t, &late, &repeated));
        EXPECT_EQ(t, MkTime(2009, 3, 29, 2, minute, 0));
        EXPECT_FALSE(repeated);
    }

    ScopedTimeZone york("America/New_York");
    LocalTimeConverter n;
    const int64_t lastOfFirstNy = Utc(2009, 11, 1, 5, 59, 59);  // 01:59:59 EDT
    ASSERT_TRUE(n.ToTime(2009, 11, 1, 1, 0, 0, t, &lastOfFirstNy, &repeated));
    EXPECT_EQ(t, Utc(2009, 11, 1, 6, 0, 0));  // 01:00:00 EST
    EXPECT_TRUE(repeated);
}

TEST(ClockChange, ParseTimeStampInOrderOfTheLines) {
    ScopedTimeZone zone("Europe/Berlin");
    LocalTimeConverter c;
    int64_t t = 0;
    bool repeated = false;
    ASSERT_TRUE(ParseTimeStamp("25.10.09\t02:00:00\t1", t, c, std::nullopt, &repeated));
    EXPECT_EQ(t, kFirstPass);
    EXPECT_TRUE(repeated);
    ASSERT_TRUE(ParseTimeStamp("25.10.2009\t02:00:00\t1", t, c, kFirstPass + 3599));
    EXPECT_EQ(t, kSecondPass);
    ASSERT_TRUE(ParseTimeStamp("25/10/09\t2:0:0", t, c, kFirstPass + 3599));  // general walk
    EXPECT_EQ(t, kSecondPass);
    // The plain reading stays the first pass.
    ASSERT_TRUE(ParseTimeStamp("25.10.09\t02:00:00\t1", t));
    EXPECT_EQ(t, kFirstPass);
    ASSERT_TRUE(ParseTimeStamp("25.10.09\t03:00:00\t1", t, c, kSecondPass, &repeated));
    EXPECT_FALSE(repeated);
}

TEST(ClockChange, OpeningAndEvaluationOfBothLayoutsInOnePart) {
    ScopedTimeZone zone("Europe/Berlin");
    // 01:30:00 summer time to 03:30:00 winter time: 10,801 lines over three hours.
    const int64_t from = Utc(2009, 10, 24, 23, 30, 0), to = Utc(2009, 10, 25, 2, 30, 0);
    for (int layout : {0, 1}) {
        const std::string text = AutumnText(from, to, layout);
        RecordingFacts facts;
        MemorySource source(text);
        ASSERT_TRUE(ReadRecordingFacts(source, facts).Ok());
        EXPECT_EQ(facts.layoutFlag, layout);
        EXPECT_EQ(facts.startTime, from + 1);
        EXPECT_EQ(facts.endTime, to);
        // The window as the pickers read it: 01:30:00 and 03:30:00 are not ambiguous.
        EXPECT_EQ(MkTime(2009, 10, 25, 1, 30, 0), from);
        EXPECT_EQ(MkTime(2009, 10, 25, 3, 30, 0), to);
        ExpectOneSamplePerSecond(EvaluateText(text, layout, from, to, 1), from, to,
                                 "layout " + std::to_string(layout));
        // A window inside the second pass only.
        const SampleArray inner =
            EvaluateText(text, layout, kSecondPass + 100, kSecondPass + 200, 1);
        ASSERT_EQ(inner.size(), 101u);
        EXPECT_EQ(inner.front().time, kSecondPass + 100);
        EXPECT_EQ(inner.back().time, kSecondPass + 200);
    }
    // A recording that ends inside the second pass ends there, not at the first pass's end.
    const std::string shorter = AutumnText(from, kSecondPass + 1800, 0);
    RecordingFacts facts;
    MemorySource source(shorter);
    ASSERT_TRUE(ReadRecordingFacts(source, facts).Ok());
    EXPECT_EQ(facts.endTime, kSecondPass + 1800);
}

TEST(ClockChange, ThinnedEvaluationReadsByTheLineLookedAtBefore) {
    ScopedTimeZone zone("Europe/Berlin");
    const int64_t from = Utc(2009, 10, 24, 23, 30, 0), to = Utc(2009, 10, 25, 2, 30, 0);
    for (int layout : {0, 1}) {
        // Over 250 days of window: every 8th line (the 8th, 16th, ...), 8 seconds apart and no
        // filler between.
        const SampleArray s = EvaluateText(AutumnText(from, to, layout), layout, from - 200 * 86400,
                                           to + 100 * 86400, 0);
        ASSERT_EQ(s.size(), static_cast<size_t>((to - from - 7) / 8 + 1));
        for (size_t i = 0; i < s.size(); ++i) ASSERT_EQ(s[i].time, from + 7 + 8 * i) << i;
    }
}

TEST(ClockChange, PartsSplitInsideTheRepeatedHourReadAsOnePart) {
    ScopedTimeZone zone("Europe/Berlin");
    // 02:00:00 summer time to 04:00:00 winter time, lines of 1,700 bytes: 18 MB, two parts
    // for two threads, split in the middle, at 02:30 of the second pass.
    const int64_t from = kFirstPass, to = Utc(2009, 10, 25, 3, 0, 0);
    for (int layout : {0, 1}) {
        const std::string text = AutumnText(from, to, layout, 1700);
        MemorySource source(text);
        const uint64_t dataStart = LineOffset(text, 0);
        ASSERT_EQ(ChooseParts(text.size() - dataStart, 2), 2);
        int error = 0;
        std::vector<uint64_t> bounds = SplitAtLines(source, dataStart, text.size(), 2, error);
        ASSERT_EQ(bounds.size(), 3u);
        const uint64_t secondPassStart = LineOffset(text, 3600),
                       winterStart = LineOffset(text, 7200);
        EXPECT_GT(bounds[1], secondPassStart);
        EXPECT_LT(bounds[1], winterStart);
        // The part boundary moves on to the first line after the repeated hour.
        ASSERT_TRUE(StartPartsAtPlainTimes(source, bounds, error));
        EXPECT_EQ(bounds[1], winterStart);

        const SampleArray one = EvaluateText(text, layout, from, to, 1);
        ExpectOneSamplePerSecond(one, from, to, "one part");
        const SampleArray two = EvaluateText(text, layout, from, to, 2);
        ASSERT_EQ(two.size(), one.size());
        for (size_t i = 0; i < one.size(); ++i) {
            ASSERT_EQ(two[i].time, one[i].time) << i;
            ASSERT_EQ(two[i].value[0], one[i].value[0]) << i;
        }
    }
}

TEST(ClockChange, ASplitRecordingEndingInTheSecondPassOpensToItsEnd) {
    ScopedTimeZone zone("Europe/Berlin");
    // 02:30 summer time to 02:59:59 winter time, 5,400 lines of 3,300 bytes: the middle lies at
    // 02:15 of the second pass, and no line after it is outside the repeated hour.
    const int64_t from = kFirstPass + 1800, to = kSecondPass + 3599;
    const std::string text = AutumnText(from, to, 0, 3300);
    MemorySource source(text);
    int error = 0;
    const uint64_t dataStart = LineOffset(text, 0);
    std::vector<uint64_t> bounds = SplitAtLines(source, dataStart, text.size(), 2, error);
    ASSERT_EQ(bounds.size(), 3u);
    EXPECT_GT(bounds[1], LineOffset(text, 1800));
    ASSERT_TRUE(StartPartsAtPlainTimes(source, bounds, error));
    EXPECT_EQ(bounds[1], text.size());  // the second part is empty

    RecordingFacts facts;
    ASSERT_TRUE(ReadRecordingFacts(source, facts).Ok());
    EXPECT_EQ(facts.startTime, from + 1);
    EXPECT_EQ(facts.endTime, to);
    ExpectOneSamplePerSecond(EvaluateText(text, 0, from, to, 2), from, to, "two threads");
}
