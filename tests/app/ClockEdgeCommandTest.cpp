// Clock edges through the real program: a clock stepping back a second inside the repeated
// autumn hour, the same on the second data line, a thinned window over that hour, and a last
// line ending in CR. Expected instants are written in UTC by hand (Europe/Berlin: the first
// pass of 25.10.09 02:xx is 00:xx UTC, the second 01:xx UTC).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/app/ProgramRun.h"
#include "tests/recording/TestSupport.h"

using kws::test::RunProgram;
using kws::test::TempFile;
using kws::test::Utc;

namespace {

// Lines of `date` at the seconds `from` to `to` of `minute`, in either layout; value column 0
// counts on from `n`.
std::string Seconds(const std::string& minute, int from, int to, int layout, int& n,
                    const std::string& date = "25.10.09") {
    std::string text;
    char clock[16];
    for (int s = from; s <= to; ++s) {
        std::snprintf(clock, sizeof clock, "%s:%02d", minute.c_str(), s);
        text += date + "\t" + clock + "\t" + std::to_string(n++);
        for (int c = 1; c < (layout == 1 ? 12 : 13); ++c) text += "\t" + std::to_string(200 + c);
        text += "\n";
    }
    return text;
}

// What --samples writes of the recording `text`.
std::string WrittenSamples(const std::string& text, const std::string& what) {
    TempFile file(text);
    const std::string tsv = file.Dir() + "/samples.tsv";
    const auto r = RunProgram("--evaluate '" + file.Path() + "' --samples '" + tsv + "'");
    EXPECT_EQ(r.exitCode, 0) << what << ": " << r.err;
    std::ifstream in(tsv);
    std::string written;
    std::getline(in, written, '\0');
    std::remove(tsv.c_str());
    return written;
}

// The epoch times of written samples (first column, after the header line).
std::vector<int64_t> SampleTimes(const std::string& samples) {
    std::istringstream in(samples);
    std::vector<int64_t> times;
    std::string line;
    for (std::getline(in, line); std::getline(in, line);) times.push_back(std::stoll(line));
    return times;
}

}  // namespace

TEST(ClockEdges, TimesInTheRepeatedHourReadByTheLineBefore) {
    const int64_t firstPass = Utc(2009, 10, 25, 0, 0, 0), secondPass = firstPass + 3600;
    struct Case {
        const char* what;
        int layout;
        std::string text;
        std::vector<int64_t> times;  // of the samples of the whole recording
    };
    std::vector<Case> cases;
    for (int layout : {0, 1}) {
        // 02:30:00-02:30:05, back to 02:30:04, on to 02:30:09: all in the first pass, no gap.
        int n = 1;
        std::string text = "Kopf\n" + Seconds("02:30", 0, 5, layout, n);
        text += Seconds("02:30", 4, 9, layout, n);
        std::vector<int64_t> times;
        for (int s : {1, 2, 3, 4, 5, 4, 5, 6, 7, 8, 9}) times.push_back(firstPass + 1800 + s);
        cases.push_back({"a second back", layout, text, times});
    }
    {
        // The step back on the second data line: the recording opens and starts there.
        int n = 1;
        std::string text = "Kopf\n" + Seconds("02:30", 5, 5, 0, n) + Seconds("02:30", 4, 8, 0, n);
        std::vector<int64_t> times{firstPass + 1805};
        for (int s = 4; s <= 8; ++s) times.push_back(firstPass + 1800 + s);
        cases.push_back({"a second back on the second line", 0, text, times});
    }
    {
        // Over 250 days, every 8th line: 02:00:03 and 02:00:11 of the second pass, then
        // 01.08.10 12:00:07 (10:00:07 UTC) with its gap filler a second before.
        int n = 1;
        std::string text =
            "Kopf\n" + Seconds("02:59", 56, 59, 0, n) + Seconds("02:00", 0, 11, 0, n);
        text += Seconds("12:00", 0, 7, 0, n, "01.08.10");
        const int64_t summer = Utc(2010, 8, 1, 10, 0, 7);
        cases.push_back(
            {"thinned", 0, text, {secondPass + 3, secondPass + 11, summer - 1, summer}});
    }
    for (const Case& c : cases) {
        EXPECT_EQ(SampleTimes(WrittenSamples(c.text, c.what)), c.times)
            << c.what << " layout " << c.layout;
    }
}

TEST(ClockEdges, ALastLineEndingInCrReadsAsWithCrLf) {
    // Three curves; the last line's last field (column 10, read) is empty: -25.0 either way.
    int n = 1;
    std::string text = "Kopf\n" + Seconds("10:00", 0, 1, 1, n);
    text += "25.10.09\t10:00:02\t7\t5\t5\t5\t5\t5\t5\t5\t5\t5\t";
    const std::string written[2] = {WrittenSamples(text + "\r\n", "CR LF"),
                                    WrittenSamples(text + "\r", "CR")};
    EXPECT_NE(written[0].find("\t-25\t"), std::string::npos) << written[0];
    EXPECT_EQ(written[1], written[0]);
}
