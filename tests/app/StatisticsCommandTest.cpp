// --stats and --draws of the real program on small recordings whose figures are worked out by
// hand in the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/app/ProgramRun.h"
#include "tests/recording/RecordingLines.h"
#include "tests/recording/TestSupport.h"

using kws::test::Line;
using kws::test::RunProgram;
using kws::test::Six;
using kws::test::TempFile;
using kws::test::Three;

namespace {

using Result = kws::test::ProgramResult;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// An expected value: exact text, or a number within 1e-9 written with a point.
struct Value {
    Value(const char* text) : text(text) {}
    Value(std::string text) : text(std::move(text)) {}
    Value(double number) : isNumber(true), number(number) {}
    std::string text;
    bool isNumber = false;
    double number = 0;
};
using Want = std::pair<std::string, Value>;

// The lines of curve `i`: name, minimum and maximum with their times of 03/06/2009, and mean.
std::vector<Want> Curve(int i, const char* name, Value min, const char* minTime, Value max,
                        const char* maxTime, double mean) {
    const std::string c = "curve" + std::to_string(i);
    return {{c + ".name", name},
            {c + ".min", min},
            {c + ".min_time", std::string("03/06/2009 ") + minTime},
            {c + ".max", max},
            {c + ".max_time", std::string("03/06/2009 ") + maxTime},
            {c + ".mean", mean}};
}

// The totals, in this order (the circulation pump's only with six curves).
std::vector<Want> Totals(const std::vector<Value>& values) {
    static const char* const keys[] = {"recorded_seconds",  "gaps",        "missing_seconds",
                                       "hot_water_litres",  "draws",       "longest_draw_seconds",
                                       "pump_seconds",      "pump_starts", "circulation_seconds",
                                       "circulation_starts"};
    std::vector<Want> want;
    for (size_t k = 0; k < values.size(); ++k) want.push_back({keys[k], values[k]});
    return want;
}

// Compares key=value lines in order with the parts of `wanted` one after the other.
void ExpectLines(const std::vector<std::string>& got,
                 const std::vector<std::vector<Want>>& wanted) {
    std::vector<Want> want;
    for (const auto& part : wanted) want.insert(want.end(), part.begin(), part.end());
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const size_t eq = got[i].find('=');
        ASSERT_NE(eq, std::string::npos) << got[i];
        const auto& [key, expected] = want[i];
        EXPECT_EQ(got[i].substr(0, eq), key);
        const std::string value = got[i].substr(eq + 1);
        if (expected.isNumber) {
            EXPECT_EQ(value.find(','), std::string::npos) << value;
            EXPECT_NEAR(std::stod(value), expected.number, 1e-9) << key;
        } else {
            EXPECT_EQ(value, expected.text) << key;
        }
    }
}

}  // namespace

TEST(StatisticsCommand, SixCurveFiguresAndDrawsOfAHandMadeRecording) {
    // The recording's window starts at its second line (10:00:00); the 09:59:59 line is outside.
    const std::string text = "Aufzeichnung\n" + Line("09:59:59", Six(999, 999, 999, 500, 900, 10)) +
                             kws::test::HandMadeSixCurveWindow();
    TempFile file(text, "six.txt");
    const std::string draws = file.Dir() + "/draws.tsv";
    const Result r = RunProgram("--evaluate '" + file.Path() + "' --stats --draws '" + draws + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = Lines(r.out);
    ASSERT_FALSE(out.empty());
    // 10 data samples and one filler (10:00:19).
    EXPECT_EQ(out[0],
              "samples=11 from=03/06/2009 10:00:00 to=03/06/2009 10:00:21 layout=six-curve");
    out.erase(out.begin());
    // By hand: 10 s recorded; one gap (:07 to :20, 13 s) missing 12 s; flow 6 and 12 l/min at
    // :01-:02, 3 and 3 at :04-:05, 9 at :07, 9 at :20 (a gap ends a draw): 4 draws, 42 l/min
    // for a second each = 0.7 l, the longest 2 s; the pump (350 -> 30 %, 700 -> 60 %) runs at
    // :01-:02, :05, :07, :20: 5 s, 4 starts; the circulation pump (10 -> 101) likewise; its
    // -1250 at :04 reads -25: off, and no point. Hot water 2500 at :03 reads 250, drawn as 0.
    ExpectLines(out, {Totals({"10", "1", "12", 0.7, "4", "2", "5", "4", "5", "4"}),
                      Curve(0, "Speicher Temp. (°C)", 51.0, "10:00:21", 60.0, "10:00:00", 55.5),
                      Curve(1, "Zirkulation Temp. (°C)", 40.0, "10:00:00", 49.0, "10:00:21", 44.5),
                      Curve(2, "Warmwasser Temp. (°C)", "0", "10:00:03", 50.0, "10:00:02", 40.6),
                      Curve(3, "Durchfluss (l / min)", "0", "10:00:00", 12.0, "10:00:02", 4.2),
                      Curve(4, "Warmwasser Pumpe (%)", "0", "10:00:00", 60.0, "10:00:07", 21),
                      Curve(5, "Zirkulation Pumpe (EIN / AUS)", "100", "10:00:00", "101",
                            "10:00:01", (101.0 * 5 + 100.0 * 4) / 9)});

    // One line per draw: start, seconds, litres, minimum and mean hot-water temperature.
    const std::vector<std::string> tsv = Lines(ReadFile(draws));
    ASSERT_EQ(tsv.size(), 5u);
    EXPECT_EQ(tsv[0], "start\tseconds\tlitres\tmin_hot_water_temp\tmean_hot_water_temp");
    const double want[4][4] = {
        {2, 0.3, 46, 48}, {2, 0.1, 47, 47.5}, {1, 0.15, 43, 43}, {1, 0.15, 42, 42}};
    const char* starts[4] = {"03/06/2009 10:00:01", "03/06/2009 10:00:04", "03/06/2009 10:00:07",
                             "03/06/2009 10:00:20"};
    for (int i = 0; i < 4; ++i) {
        std::istringstream row(tsv[static_cast<size_t>(i) + 1]);
        std::string start, field;
        std::getline(row, start, '\t');
        EXPECT_EQ(start, starts[i]);
        for (int k = 0; k < 4; ++k) {
            ASSERT_TRUE(std::getline(row, field, '\t'));
            EXPECT_NEAR(std::stod(field), want[i][k], 1e-9) << "draw " << i << " field " << k;
        }
    }

    // Curve names follow the language.
    const Result english = RunProgram("--language 0 --evaluate '" + file.Path() + "' --stats");
    ASSERT_EQ(english.exitCode, 0) << english.err;
    EXPECT_NE(english.out.find("\ncurve0.name=Storage temp. (°C)\n"), std::string::npos);
    EXPECT_NE(english.out.find("\ncurve5.name=Circulation pump (ON / OFF)\n"), std::string::npos);
}

TEST(StatisticsCommand, ThreeCurveFiguresOfAPartOfTheRecording) {
    const std::string text =
        "Aufzeichnung\nKopf\n" + Line("09:59:59", Three(999, 999, 999)) +
        Line("10:00:00", Three(450, 0, 0)) + Line("10:00:01", Three(460, 400, 50)) +
        Line("10:00:02", Three(470, 400, 70)) + Line("10:00:03", Three(440, 0, 0)) +
        Line("10:00:08", Three(430, 800, 60)) + Line("10:00:09", Three(420, 0, 0)) +
        Line("10:00:10", Three(410, 0, 0)) + Line("10:00:11", Three(400, 0, 0));
    TempFile file(text, "three.txt");
    const std::string draws = file.Dir() + "/draws.tsv";
    const Result r = RunProgram("--evaluate '" + file.Path() +
                                "' --from '03/06/2009 10:00:00' --to '03/06/2009 10:00:09' --stats "
                                "--draws '" +
                                draws + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> out = Lines(r.out);
    ASSERT_FALSE(out.empty());
    // Six data samples and three fillers (:04 to :06); the line at :10 ends the window, which
    // is then not padded (the last sample lies less than 5 s before its end).
    EXPECT_EQ(out[0],
              "samples=9 from=03/06/2009 10:00:00 to=03/06/2009 10:00:09 layout=three-curve");
    out.erase(out.begin());
    // By hand: 6 s recorded; the gap :03 to :08 misses 4 s; flow 5 and 7 at :01-:02 and 6 at
    // :08: 2 draws, 18 / 60 = 0.3 l; the pump speed (400 -> 30 %, 800 -> 60 %) runs 3 s in 2
    // starts. No circulation keys in this layout.
    ExpectLines(out, {Totals({"6", "1", "4", 0.3, "2", "2", "3", "2"}),
                      Curve(0, "Warmwasser Temp. (°C)", 42.0, "10:00:09", 47.0, "10:00:02", 44.5),
                      Curve(1, "Drehzahl (%)", "0", "10:00:00", 60.0, "10:00:08", 20),
                      Curve(2, "Durchfluss (l / min)", "0", "10:00:00", 7.0, "10:00:02", 3)});
    const std::vector<std::string> tsv = Lines(ReadFile(draws));
    ASSERT_EQ(tsv.size(), 3u);
    EXPECT_EQ(tsv[1].substr(0, 22), "03/06/2009 10:00:01\t2\t");
    EXPECT_EQ(tsv[2].substr(0, 22), "03/06/2009 10:00:08\t1\t");
}

TEST(StatisticsCommand, DrawsAreWrittenWholeOrNotAtAll) {
    const std::string text = "Aufzeichnung\n" + Line("09:59:59", Three(450, 0, 0)) +
                             Line("10:00:00", Three(450, 400, 50)) +
                             Line("10:00:01", Three(450, 0, 0));
    TempFile file(text, "three.txt");
    // A missing folder: exit code 1, a reason, no file.
    const std::string missing = file.Dir() + "/no-such-folder/draws.tsv";
    Result r = RunProgram("--evaluate '" + file.Path() + "' --draws '" + missing + "'");
    EXPECT_EQ(r.exitCode, 1);
    // Said as a picture's failed save is, in the program's language (German here).
    EXPECT_NE(r.err.find("Die Datei " + missing + " wurde nicht gespeichert."), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Der Ordner " + file.Dir() + "/no-such-folder existiert nicht."),
              std::string::npos)
        << r.err;
    // An existing file is replaced only by a complete one; no temporary file is left.
    const std::string target = file.Dir() + "/draws.tsv";
    std::ofstream(target) << "old";
    r = RunProgram("--evaluate '" + file.Path() + "' --draws '" + target + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile(target).rfind("start\tseconds\t", 0), 0u);
    EXPECT_EQ(r.out.find("recorded_seconds"), std::string::npos);  // no --stats, no figures
    std::remove(target.c_str());
    for (const auto& entry : std::filesystem::directory_iterator(file.Dir()))
        EXPECT_EQ(entry.path().filename(), "three.txt") << "a temporary file is left";
    // Both options belong to --evaluate.
    EXPECT_EQ(RunProgram("--info '" + file.Path() + "' --stats").exitCode, 2);
    EXPECT_EQ(RunProgram("--info '" + file.Path() + "' --draws x.tsv").exitCode, 2);
    EXPECT_EQ(RunProgram("--evaluate '" + file.Path() + "' --draws").exitCode, 2);
}

namespace {

// Six-curve lines of every second from `first` to `last` (seconds of the day) of one date
// ("02.06.09"), with flows, pump runs and temperatures that change from second to second.
std::string SixCurveSeconds(const char* date, int first, int last) {
    std::string text;
    for (int s = first; s <= last; ++s) {
        char clock[16];
        std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", s / 3600 % 24, s / 60 % 60, s % 60);
        text += std::string(date) + "\t" + clock;
        for (int v : Six(500 + s % 97, 380 + s % 53, 300 + s % 31, s % 7 < 3 ? 23 + s % 11 : 0,
                         s % 13 < 5 ? 350 : 0, s % 17 < 8 ? 10 : 0))
            text += "\t" + std::to_string(v);
        text += "\n";
    }
    return text;
}

}  // namespace

// Each row of --daily says what --stats says of a window cut to that day: the first and the last
// day partial, the middle one with a long gap; written to a file and to standard output alike.
TEST(StatisticsCommand, DailyRowsAreTheFiguresOfEachDay) {
    const std::string text = "Aufzeichnung\n" + SixCurveSeconds("02.06.09", 86100, 86399) +
                             SixCurveSeconds("03.06.09", 0, 400) +
                             SixCurveSeconds("03.06.09", 85000, 86399) +
                             SixCurveSeconds("04.06.09", 0, 299);
    TempFile file(text, "days.txt");
    const std::string daily = file.Dir() + "/daily.tsv";
    const Result r = RunProgram("--evaluate '" + file.Path() + "' --daily '" + daily + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> rows = Lines(ReadFile(daily));
    ASSERT_EQ(rows.size(), 4u);
    ASSERT_EQ(std::count(rows[0].begin(), rows[0].end(), '\t'), 10 + 6 * 5);

    // The windows of the days, cut to the recording (which starts at its second line): 23:55:01 to
    // midnight, the whole day, and midnight to 00:04:59.
    const std::vector<std::pair<std::string, std::string>> windows = {
        {"02/06/2009 23:55:01", "02/06/2009 23:59:59"},
        {"03/06/2009 00:00:00", "03/06/2009 23:59:59"},
        {"04/06/2009 00:00:00", "04/06/2009 00:04:59"}};
    for (size_t d = 0; d < windows.size(); ++d) {
        const Result day =
            RunProgram("--evaluate '" + file.Path() + "' --from '" + windows[d].first + "' --to '" +
                       windows[d].second + "' --stats");
        ASSERT_EQ(day.exitCode, 0) << day.err;
        // The keys of the figures (after the summary line, without the names) are the header,
        // their values the row after its date.
        std::string keys = "date", values = windows[d].first.substr(0, 10);
        for (const std::string& line : Lines(day.out.substr(day.out.find('\n') + 1))) {
            if (line.find(".name=") != std::string::npos) continue;
            keys += "\t" + line.substr(0, line.find('='));
            values += "\t" + line.substr(line.find('=') + 1);
        }
        EXPECT_EQ(keys, rows[0]);
        EXPECT_EQ(values, rows[d + 1]);
    }

    // Standard output carries the rows alone; the summary goes to standard error.
    const Result piped = RunProgram("--evaluate '" + file.Path() + "' --daily - --stats");
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadFile(daily));
    EXPECT_NE(piped.err.find("samples="), std::string::npos);
    EXPECT_NE(piped.err.find("recorded_seconds="), std::string::npos);
}
