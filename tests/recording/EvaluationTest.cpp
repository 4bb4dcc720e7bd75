#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/RecordingGenerator.h"
#include "recording/Evaluation.h"
#include "recording/LineOps.h"
#include "recording/ParallelScan.h"
#include "recording/Recording.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;
using kws::test::MkTime;
using kws::test::ScopedTimeZone;
using kws::test::TempFile;

namespace {

// Whether two instants show the same local date and clock time (the hour the clock goes back).
bool SameLocalClock(int64_t a, int64_t b) {
    LocalFields x{}, y{};
    return LocalFieldsOf(a, x) && LocalFieldsOf(b, y) && x.year == y.year && x.month == y.month &&
           x.day == y.day && x.hour == y.hour && x.minute == y.minute && x.second == y.second;
}

// The evaluation loop written plainly, line by line with the four line operations, as the
// reference the fast evaluation must match record for record.
SampleArray ReferenceEvaluate(const std::string& text, int headerLines, int layout, int64_t start,
                              int64_t end) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        std::string l = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    SampleArray out;
    SampleRecord tmpl;
    for (double& v : tmpl.value) v = -1.0;
    int64_t previous = MkTime(1970, 1, 1, 1, 0, 0);
    bool first = true, leftAfterEnd = false;
    const bool sparse = end - start > 21600000;
    const int64_t threshold = sparse ? 9 : 2;
    int thinning = 0;
    std::optional<int64_t> lastData;
    for (size_t n = 0; n < lines.size(); ++n) {
        if (static_cast<int>(n) < headerLines) continue;
        const std::string& line = lines[n];
        // Every time reads in the order of the lines: in the hour the autumn change repeats, the
        // pass nearer to the data line before (the shift is one hour here), thinned or not.
        int64_t current;
        const bool parsed = ParseTimeStamp(line, current);
        if (parsed && lastData && SameLocalClock(current, current + 3600) &&
            std::llabs(current + 3600 - *lastData) < std::llabs(current - *lastData)) {
            current += 3600;
        }
        if (parsed && IsDataLine(line)) lastData = current;
        if (sparse && thinning < 7) {
            ++thinning;
            continue;
        }
        thinning = 0;
        if (!parsed) continue;
        if (current < start) continue;
        if (current > end) {
            leftAfterEnd = true;
            break;
        }
        if (!first && current - previous > threshold) {
            if (layout == 1) {
                do {
                    previous += sparse ? 7 : 1;
                    for (double& v : tmpl.value) v = 0.0;
                    tmpl.time = previous;
                    out.push_back(tmpl);
                } while (current - previous > threshold);
            } else {
                previous = current - 1;
                for (double& v : tmpl.value) v = 0.0;
                tmpl.time = previous;
                out.push_back(tmpl);
            }
        }
        if (layout == 1) {
            tmpl.value[0] = GetColumnValue(line, 0);
            tmpl.value[1] = GetColumnValue(line, 9) * 0.25 * 3.0;
            tmpl.value[2] = GetColumnValue(line, 10);
        } else {
            tmpl.value[0] = GetColumnValue(line, 0);
            tmpl.value[1] = GetColumnValue(line, 3);
            tmpl.value[2] = GetColumnValue(line, 1);
            tmpl.value[3] = GetColumnValue(line, 4);
            tmpl.value[4] = GetColumnValue(line, 5) * 30.0 * (1.0 / 35.0);
            tmpl.value[5] = GetColumnValue(line, 6) + 100.0;
        }
        tmpl.time = current;
        out.push_back(tmpl);
        first = false;
        previous = current;
    }
    // Padding: one record a second, in a thinned window one per 8 seconds, the last one at
    // least 4 seconds before the end.
    const int64_t padStep = sparse ? 8 : 1;
    while (leftAfterEnd && !first && end - (previous + padStep) >= 4) {
        previous += padStep;
        tmpl.time = previous;
        out.push_back(tmpl);
    }
    return out;
}

void ExpectSame(const SampleArray& got, const SampleArray& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].time, want[i].time) << what << " record " << i;
        for (int k = 0; k < 6; ++k)
            ASSERT_EQ(got[i].value[k], want[i].value[k])
                << what << " record " << i << " value " << k;
    }
}

SampleArray EvaluateText(const std::string& text, int header, int layout, int64_t start,
                         int64_t end, int threads = 0) {
    MemorySource source(text);
    SampleArray samples;
    EvaluationOptions options;
    options.threads = threads;
    EXPECT_TRUE(Evaluate(source, header, layout, start, end, samples, options).ok);
    return samples;
}

std::string Line(int h, int m, int s, const std::vector<int>& columns) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "03.06.08\t%02d:%02d:%02d", h, m, s);
    std::string line = buf;
    for (int c : columns) line += "\t" + std::to_string(c);
    return line + "\n";
}

std::vector<int> ThreeColumns(int first) {
    std::vector<int> c(12);
    for (int i = 0; i < 12; ++i) c[i] = first + i;
    return c;
}

}  // namespace

TEST(CheckWindow, EndBeforeStartWinsOverOutside) {
    EXPECT_EQ(CheckWindow(10, 20, 10, 20), WindowCheck::kOk);
    EXPECT_EQ(CheckWindow(15, 15, 10, 20), WindowCheck::kOk);
    EXPECT_EQ(CheckWindow(20, 10, 10, 20), WindowCheck::kEndBeforeStart);
    EXPECT_EQ(CheckWindow(5, 4, 10, 20), WindowCheck::kEndBeforeStart);
    EXPECT_EQ(CheckWindow(9, 20, 10, 20), WindowCheck::kOutsideRecording);
    EXPECT_EQ(CheckWindow(10, 21, 10, 20), WindowCheck::kOutsideRecording);
}

TEST(Evaluate, GapFillersOfBothLayouts) {
    ScopedTimeZone zone("Europe/Berlin");
    const std::string three = Line(10, 0, 0, ThreeColumns(1)) + Line(10, 0, 5, ThreeColumns(2)) +
                              Line(10, 0, 7, ThreeColumns(3));
    const int64_t t0 = MkTime(2008, 6, 3, 10, 0, 0);
    // Sample, fillers at :01 :02 :03, sample at :05; :07 follows by 2 s and gets no filler.
    SampleArray s = EvaluateText(three, 0, 1, t0, t0 + 7);
    ASSERT_EQ(s.size(), 6u);
    EXPECT_EQ(s[1].time, t0 + 1);
    EXPECT_EQ(s[3].time, t0 + 3);
    EXPECT_EQ(s[5].time, t0 + 7);
    for (double v : s[2].value) EXPECT_EQ(v, 0.0);
    EXPECT_EQ(s[0].value[3], -1.0);  // before the first filler the unused values read -1
    EXPECT_EQ(s[4].value[3], 0.0);   // after it 0

    std::vector<int> six(13, 7);
    const std::string sixText = Line(10, 0, 0, six) + Line(10, 0, 5, six);
    s = EvaluateText(sixText, 0, 0, t0, t0 + 5);
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[1].time, t0 + 4);
    for (double v : s[1].value) EXPECT_EQ(v, 0.0);
}

TEST(Evaluate, ValueConversionsPaddingAndEmptyWindows) {
    ScopedTimeZone zone("Europe/Berlin");
    const int64_t t0 = MkTime(2008, 6, 3, 10, 0, 0);
    std::vector<int> three = ThreeColumns(0);
    three[9] = 1000;
    SampleArray s = EvaluateText(Line(10, 0, 0, three), 0, 1, t0, t0);
    ASSERT_EQ(s.size(), 1u);  // a window of one second holding one line
    EXPECT_EQ(s[0].value[1], 75.0);
    std::vector<int> six(13, 0);
    six[5] = 350;
    six[6] = 10;
    s = EvaluateText(Line(10, 0, 0, six), 0, 0, t0, t0);
    EXPECT_EQ(s[0].value[4], 30.0);
    EXPECT_EQ(s[0].value[5], 101.0);

    // End 10 s before the next line after a gap, last sample 8 s before the end: padded with
    // copies up to 4 seconds before the end.
    const std::string gap = Line(10, 0, 0, six) + Line(10, 0, 1, six) + Line(10, 0, 19, six);
    s = EvaluateText(gap, 0, 0, t0, t0 + 9);
    ASSERT_EQ(s.size(), 2u + 4u);
    EXPECT_EQ(s.back().time, t0 + 5);
    EXPECT_EQ(s.back().value[4], s[1].value[4]);
    // A window that ends at the last line of the file is not padded.
    s = EvaluateText(Line(10, 0, 0, six) + Line(10, 0, 1, six), 0, 0, t0, t0 + 100);
    EXPECT_EQ(s.size(), 2u);
    // A window without data lines gives no samples.
    s = EvaluateText(gap, 0, 0, t0 + 2, t0 + 18);
    EXPECT_TRUE(s.empty());
}

TEST(Evaluate, MatchesTheReferenceOnGeneratedRecordings) {
    ScopedTimeZone zone("Europe/Berlin");
    std::mt19937 random(17);
    for (int layout : {0, 1}) {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = 4 * 3600;
        o.gaps = 5;
        o.headerLines = 2;
        o.seed = static_cast<uint32_t>(layout + 3);
        o.startTime = MkTime(2009, 10, 25, 0, 30, 0);  // crosses the autumn change
        std::string text = kws::bench::GenerateRecording(o);
        // Some adversarial lines: an empty line, empty fields, text, decimals, a stray header,
        // CR LF.
        const size_t lineStart = text.rfind('\n', text.find("03:10:00")) + 1;
        text.insert(lineStart, "\n25.10.09\t\t\t\n");
        size_t at = text.size() / 3;
        at = text.find('\n', at) + 1;
        text.insert(at, "Zwischenzeile ohne Datum\n25.10.09\t02:15:00\t\t\tabc\t1.5e1\r\n");
        for (int round = 0; round < 12; ++round) {
            const int64_t a = o.startTime + static_cast<int64_t>(random() % o.seconds) - 60;
            const int64_t b = a + static_cast<int64_t>(random() % o.seconds);
            const SampleArray want = ReferenceEvaluate(text, 2, layout, a, b);
            for (int threads : {1, 3}) {
                ExpectSame(
                    EvaluateText(text, 2, layout, a, b, threads), want,
                    "layout " + std::to_string(layout) + " threads " + std::to_string(threads));
            }
        }
        // A window longer than 250 days thins to every 8th line.
        const int64_t a = o.startTime - 200 * 86400, b = o.startTime + 100 * 86400;
        ExpectSame(EvaluateText(text, 2, layout, a, b), ReferenceEvaluate(text, 2, layout, a, b),
                   "sparse");
    }
}

TEST(Evaluate, ThinnedWindowsMarkOnlyRealGaps) {
    ScopedTimeZone zone("Europe/Berlin");
    for (int layout : {0, 1}) {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = 3 * 3600;
        o.gaps = 2;
        o.startTime = MkTime(2009, 6, 1, 0, 0, 0);
        const std::string text = kws::bench::GenerateRecording(o);
        const int64_t a = o.startTime - 200 * 86400, b = o.startTime + 100 * 86400;
        const SampleArray sparse = EvaluateText(text, 2, layout, a, b);
        size_t fillers = 0;
        for (const auto& r : sparse) fillers += r.value[0] == 0.0;
        // Every 8th line is looked at, 8 seconds apart: only the two real gaps get fillers.
        EXPECT_GT(sparse.size(), 1300u);
        EXPECT_GT(fillers, 0u);
        EXPECT_LT(fillers, 100u);
    }
}

namespace {

// A source that does not know its size: the evaluation and the opening then read it in one part,
// the result the parts must reproduce.
class UnsizedSource : public ByteSource {
public:
    explicit UnsizedSource(std::string_view data) : inner_(data) {}
    long long ReadAt(void* buffer, size_t size, uint64_t offset, int& error) override {
        return inner_.ReadAt(buffer, size, offset, error);
    }
    long long Size() override { return -1; }

private:
    MemorySource inner_;
};

const std::string kHeaderLike = "Datum\tUhrzeit\tWW Temp.\tDrehzahl";

enum class Edit { kGap, kHeaderLike, kCrLf, kGapCrLf };

// Rewrites the whole lines within 64 KiB of `at`, keeping their bytes in number (so that the
// split stays where it was): a gap (only every 5th line kept, 5 seconds apart, each padded with
// an extra column as long as the lines dropped after it), a header-like line in place of every
// other line, or CR LF line ends.
void EditAround(std::string& text, size_t at, Edit edit) {
    const size_t from = text.rfind('\n', at - 65536) + 1;
    const size_t to = text.find('\n', at + 65536) + 1;
    std::vector<std::string> lines;
    for (size_t pos = from; pos < to;) {
        const size_t end = text.find('\n', pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    std::string out;
    const bool crlf = edit == Edit::kCrLf || edit == Edit::kGapCrLf;
    const std::string newline = crlf ? "\r\n" : "\n";
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (edit == Edit::kGap || edit == Edit::kGapCrLf) {
            if (i % 5 != 0) continue;
            size_t dropped = 0;
            for (size_t j = i + 1; j < std::min(i + 5, lines.size()); ++j)
                dropped += lines[j].size() + newline.size();
            if (dropped > 0) line += "\t" + std::string(dropped - 1, '0');
        } else if (edit == Edit::kHeaderLike && i % 2 == 1) {
            line = kHeaderLike +
                   std::string(line.size() - std::min(line.size(), kHeaderLike.size()), ' ');
        }
        out += line + newline;
    }
    text.replace(from, to - from, out);
}

bool HeaderLike(const std::string& line) { return line.rfind(kHeaderLike, 0) == 0; }

// Offset of the first data line: after `headerLines` lines.
uint64_t AfterHeader(const std::string& text, int headerLines) {
    size_t at = 0;
    for (int i = 0; i < headerLines; ++i) at = text.find('\n', at) + 1;
    return at;
}

// The line that ends just before `offset` and the line that starts there.
std::pair<std::string, std::string> LinesAt(const std::string& text, size_t offset) {
    const size_t before = text.rfind('\n', offset - 2) + 1;
    return {text.substr(before, offset - 1 - before),
            text.substr(offset, text.find('\n', offset) - offset)};
}

// A three-curve recording of about `mebibytes` whose split into `parts` parts (as the evaluation
// splits it) puts each inner boundary into a stretch edited as `edits` says.
std::string SplitRecording(int mebibytes, int parts, const std::vector<Edit>& edits) {
    kws::bench::GeneratorOptions o;
    o.layoutFlag = 1;
    o.seconds = static_cast<int64_t>(mebibytes) * (1 << 20) / 56;  // about 58 bytes a second
    o.gaps = 30;
    o.startTime = MkTime(2009, 3, 20, 12, 0, 0);
    std::string text = kws::bench::GenerateRecording(o);
    MemorySource source(text);
    int error = 0;
    const std::vector<uint64_t> bounds =
        SplitAtLines(source, AfterHeader(text, 2), text.size(), parts, error);
    // From the last boundary to the first, so that earlier offsets stay valid.
    for (int k = parts - 1; k >= 1; --k) EditAround(text, bounds[k], edits[k - 1]);
    return text;
}

}  // namespace

TEST(Evaluate, PartsOfALargeRecordingGiveTheOnePartResult) {
    ScopedTimeZone zone("Europe/Berlin");
    // 36 MiB: four parts of at least 8 MiB, boundaries in a gap, among header-like lines and
    // among CR LF line ends.
    const std::string text = SplitRecording(36, 4, {Edit::kGap, Edit::kHeaderLike, Edit::kCrLf});
    const uint64_t dataStart = AfterHeader(text, 2);
    ASSERT_EQ(ChooseParts(text.size() - dataStart, 4), 4);
    ASSERT_EQ(ChooseParts(text.size() - dataStart, 2), 2);
    MemorySource source(text);
    int error = 0;
    const std::vector<uint64_t> bounds = SplitAtLines(source, dataStart, text.size(), 4, error);
    ASSERT_EQ(bounds.size(), 5u);
    // Where the four parts meet: across a gap of more than 2 seconds ...
    auto [beforeGap, afterGap] = LinesAt(text, bounds[1]);
    int64_t t1 = 0, t2 = 0;
    ASSERT_TRUE(ParseTimeStamp(beforeGap, t1) && ParseTimeStamp(afterGap, t2)) << afterGap;
    EXPECT_GT(t2 - t1, 2);
    // ... next to a header-like line ...
    auto [beforeHeader, atHeader] = LinesAt(text, bounds[2]);
    EXPECT_TRUE(HeaderLike(beforeHeader) || HeaderLike(atHeader)) << atHeader;
    // ... and after a CR LF line end.
    EXPECT_EQ(text.substr(bounds[3] - 2, 2), "\r\n");

    const int64_t start = MkTime(2009, 3, 20, 12, 1, 40);
    const int64_t end = start + 6 * 86400;
    UnsizedSource unsized(text);
    SampleArray one;
    ASSERT_TRUE(Evaluate(unsized, 2, 1, start, end, one).ok);
    ASSERT_GT(one.size(), 400000u);
    ExpectSame(one, ReferenceEvaluate(text, 2, 1, start, end), "one part against the reference");
    ExpectSame(EvaluateText(text, 2, 1, start, end, 4), one, "4 parts");
    ExpectSame(EvaluateText(text, 2, 1, start, end, 2), one, "2 parts");
}

TEST(Recording, OpeningALargeRecordingInPartsGivesTheOnePartFacts) {
    ScopedTimeZone zone("Europe/Berlin");
    const std::string text = SplitRecording(20, 2, {Edit::kGapCrLf});
    if (ChooseParts(text.size() - AfterHeader(text, 2), 0) < 2)
        GTEST_SKIP() << "one hardware thread: the opening reads in one part";
    MemorySource source(text);
    RecordingFacts parts, one;
    ASSERT_TRUE(ReadRecordingFacts(source, parts).Ok());
    UnsizedSource unsized(text);
    ASSERT_TRUE(ReadRecordingFacts(unsized, one).Ok());
    EXPECT_EQ(parts.headerLines, one.headerLines);
    EXPECT_EQ(parts.layoutFlag, one.layoutFlag);
    EXPECT_EQ(parts.startTime, one.startTime);
    EXPECT_EQ(parts.endTime, one.endTime);
    // And both are the recording's: the time of its second data line and of its last line.
    int64_t second = 0, last = 0;
    const size_t secondLine = text.find('\n', AfterHeader(text, 2)) + 1;
    const size_t lastLine = text.rfind('\n', text.size() - 2) + 1;
    ASSERT_TRUE(ParseTimeStamp(text.substr(secondLine, 20), second));
    ASSERT_TRUE(ParseTimeStamp(text.substr(lastLine), last));
    EXPECT_EQ(one.startTime, second);
    EXPECT_EQ(one.endTime, last);
    EXPECT_EQ(one.headerLines, 2);
}

TEST(Evaluate, TheSecondPartsRecordsHandedOverWholeAreTheSameSamples) {
    // Over 24 MiB of lines make two or three parts, whose records (over 2 MiB each) give their
    // memory pages to the result instead of being copied; gaps inside the parts and fillers of
    // the three-curve layout.
    ScopedTimeZone zone("Europe/Berlin");
    for (int layout : {0, 1}) {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = 5 * 86400;  // three parts with three threads
        o.gaps = 7;
        o.startTime = MkTime(2009, 5, 2, 0, 0, 0);
        const std::string text = kws::bench::GenerateRecording(o);
        ASSERT_GT(text.size(), 24u << 20);
        const int64_t a = o.startTime + 50, b = o.startTime + o.seconds - 900;
        const SampleArray one = EvaluateText(text, 2, layout, a, b, 1);
        ExpectSame(EvaluateText(text, 2, layout, a, b, 2), one, "2 threads");
        ExpectSame(EvaluateText(text, 2, layout, a, b, 3), one, "3 threads");
    }
}

TEST(Evaluate, AFileThatShrinksAfterOpeningEndsEarlier) {
    ScopedTimeZone zone("Europe/Berlin");
    kws::bench::GeneratorOptions o;
    o.seconds = 600;
    o.startTime = MkTime(2009, 3, 2, 12, 0, 0);
    TempFile file(kws::bench::GenerateRecording(o));
    Recording recording;
    ASSERT_TRUE(recording.Open(file.Path()).Ok());
    ASSERT_EQ(truncate(file.Path().c_str(), 5000), 0);
    SampleArray samples;
    const RecordingFacts& f = recording.Facts();
    EXPECT_TRUE(
        Evaluate(recording.Source(), f.headerLines, f.layoutFlag, f.startTime, f.endTime, samples)
            .ok);
    EXPECT_GT(samples.size(), 10u);
    EXPECT_LT(samples.size(), 100u);
    ASSERT_EQ(truncate(file.Path().c_str(), 0), 0);
    EXPECT_TRUE(
        Evaluate(recording.Source(), f.headerLines, f.layoutFlag, f.startTime, f.endTime, samples)
            .ok);
    EXPECT_TRUE(samples.empty());
}

// Twenty lines, 300 days of nothing, twenty lines: the file of a controller that was switched off
// for most of a year.
std::string LongGapRecording(int64_t first) {
    std::string text;
    for (int block = 0; block < 2; ++block) {
        const int64_t from = first + block * 300 * 86400;
        for (int i = 0; i < 20; ++i) {
            char date[64];
            const time_t t = static_cast<time_t>(from + i);
            struct tm tm;
            localtime_r(&t, &tm);
            std::strftime(date, sizeof date, "%d.%m.%y\t%H:%M:%S", &tm);
            text += date;
            for (int c = 0; c < 12; ++c) text += "\t" + std::to_string(100 + i);
            text += "\n";
        }
    }
    return text;
}

TEST(Evaluate, ThinnedWindowsPadInStepsOfEightSeconds) {
    ScopedTimeZone zone("Europe/Berlin");
    const int64_t t0 = MkTime(2009, 1, 10, 12, 0, 0);
    const std::string text = LongGapRecording(t0);
    // 260 days from the first line, ending inside the gap: thinned, so lines 8 and 16 (t0 + 7,
    // t0 + 15) are the samples; the padding runs from t0 + 23 in steps of 8 seconds while a
    // record stays at least 4 seconds before the end: (22464000 - 4 - 15) / 8 = 2807997 records.
    const int64_t end = t0 + 260 * 86400;
    SampleArray s = EvaluateText(text, 0, 1, t0, end);
    ASSERT_EQ(s.size(), 2u + 2807997u);
    EXPECT_EQ(s[0].time, t0 + 7);
    EXPECT_EQ(s[1].time, t0 + 15);
    EXPECT_EQ(s[2].time, t0 + 23);
    EXPECT_EQ(s[3].time, t0 + 31);
    EXPECT_EQ(s.back().time, end - 9);
    EXPECT_EQ(s.back().value[0], 11.5);  // the copy of the last sample: column 0 = 115
    // A normal window into the gap keeps one record a second: 3 days less the 20 lines and the
    // last 4 seconds.
    s = EvaluateText(text, 0, 1, t0, t0 + 3 * 86400);
    ASSERT_EQ(s.size(), 20u + (3 * 86400 - 19 - 4));
    EXPECT_EQ(s.back().time, t0 + 3 * 86400 - 4);
    EXPECT_EQ(s[20].time, t0 + 20);
}

namespace {
bool FailEveryAllocation(size_t) { return true; }
std::thread::id g_mainThread;
bool FailAllocationsOfOtherThreads(size_t) { return std::this_thread::get_id() != g_mainThread; }
}  // namespace

TEST(Evaluate, RunningOutOfMemoryEndsTheEvaluationWithAnEmptyArray) {
    ScopedTimeZone zone("Europe/Berlin");
    const int64_t t0 = MkTime(2009, 1, 10, 12, 0, 0);
    const std::string text = LongGapRecording(t0);
    SampleArray samples;
    samples.resize(1000);
    MemorySource source(text);
    SetAllocationFailureHook(&FailEveryAllocation);
    const EvaluationStatus status = Evaluate(source, 0, 1, t0, t0 + 86400, samples);
    SetAllocationFailureHook(nullptr);
    EXPECT_TRUE(status.outOfMemory);
    EXPECT_FALSE(status.ok);
    EXPECT_TRUE(samples.empty());
    EXPECT_EQ(samples.capacity(), 0u);
    // Afterwards the same evaluation works.
    EXPECT_EQ(EvaluateText(text, 0, 1, t0, t0 + 600).size(), 20u + 600 - 19 - 4);
}

TEST(RunParts, AFailingPartReachesTheCallerAfterEveryPartEnded) {
    // Parts on other threads fail to allocate; the caller gets the failure, not the program's
    // end, and every other part has run.
    g_mainThread = std::this_thread::get_id();
    SetAllocationFailureHook(&FailAllocationsOfOtherThreads);
    std::vector<int> ran(4, 0);
    bool caught = false;
    try {
        RunParts(4, [&](int i) {
            ran[static_cast<size_t>(i)] = 1;
            void* p = AllocateLarge(64);
            FreeLarge(p, 64);
        });
    } catch (const std::bad_alloc&) {
        caught = true;
    }
    SetAllocationFailureHook(nullptr);
    EXPECT_TRUE(caught);
    EXPECT_EQ(ran, std::vector<int>(4, 1));
}
