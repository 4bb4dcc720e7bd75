// --stats and --draws of the real program on small recordings whose figures are worked out by
// hand in the comments.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

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

// Compares key=value lines in order: exact text, or numbers within 1e-9 where `number` is set.
struct Want {
    std::string key, text;
    bool isNumber = false;
    double number = 0;
};
Want Exact(std::string key, std::string text) { return {std::move(key), std::move(text)}; }
Want Number(std::string key, double v) { return {std::move(key), "", true, v}; }

void ExpectLines(const std::vector<std::string>& got, const std::vector<Want>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        const size_t eq = got[i].find('=');
        ASSERT_NE(eq, std::string::npos) << got[i];
        EXPECT_EQ(got[i].substr(0, eq), want[i].key);
        const std::string value = got[i].substr(eq + 1);
        if (want[i].isNumber) {
            EXPECT_EQ(value.find(','), std::string::npos) << value;
            EXPECT_NEAR(std::stod(value), want[i].number, 1e-9) << want[i].key;
        } else {
            EXPECT_EQ(value, want[i].text) << want[i].key;
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
    ExpectLines(out, {Exact("recorded_seconds", "10"),
                      Exact("gaps", "1"),
                      Exact("missing_seconds", "12"),
                      Number("hot_water_litres", 0.7),
                      Exact("draws", "4"),
                      Exact("longest_draw_seconds", "2"),
                      Exact("pump_seconds", "5"),
                      Exact("pump_starts", "4"),
                      Exact("circulation_seconds", "5"),
                      Exact("circulation_starts", "4"),
                      Exact("curve0.name", "Speicher Temp. (°C)"),
                      Number("curve0.min", 51),
                      Exact("curve0.min_time", "03/06/2009 10:00:21"),
                      Number("curve0.max", 60),
                      Exact("curve0.max_time", "03/06/2009 10:00:00"),
                      Number("curve0.mean", 55.5),
                      Exact("curve1.name", "Zirkulation Temp. (°C)"),
                      Number("curve1.min", 40),
                      Exact("curve1.min_time", "03/06/2009 10:00:00"),
                      Number("curve1.max", 49),
                      Exact("curve1.max_time", "03/06/2009 10:00:21"),
                      Number("curve1.mean", 44.5),
                      Exact("curve2.name", "Warmwasser Temp. (°C)"),
                      Exact("curve2.min", "0"),
                      Exact("curve2.min_time", "03/06/2009 10:00:03"),
                      Number("curve2.max", 50),
                      Exact("curve2.max_time", "03/06/2009 10:00:02"),
                      Number("curve2.mean", 40.6),
                      Exact("curve3.name", "Durchfluss (l / min)"),
                      Exact("curve3.min", "0"),
                      Exact("curve3.min_time", "03/06/2009 10:00:00"),
                      Number("curve3.max", 12),
                      Exact("curve3.max_time", "03/06/2009 10:00:02"),
                      Number("curve3.mean", 4.2),
                      Exact("curve4.name", "Warmwasser Pumpe (%)"),
                      Exact("curve4.min", "0"),
                      Exact("curve4.min_time", "03/06/2009 10:00:00"),
                      Number("curve4.max", 60),
                      Exact("curve4.max_time", "03/06/2009 10:00:07"),
                      Number("curve4.mean", 21),
                      Exact("curve5.name", "Zirkulation Pumpe (EIN / AUS)"),
                      Exact("curve5.min", "100"),
                      Exact("curve5.min_time", "03/06/2009 10:00:00"),
                      Exact("curve5.max", "101"),
                      Exact("curve5.max_time", "03/06/2009 10:00:01"),
                      Number("curve5.mean", (101.0 * 5 + 100.0 * 4) / 9)});

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
    ExpectLines(out, {Exact("recorded_seconds", "6"),
                      Exact("gaps", "1"),
                      Exact("missing_seconds", "4"),
                      Number("hot_water_litres", 0.3),
                      Exact("draws", "2"),
                      Exact("longest_draw_seconds", "2"),
                      Exact("pump_seconds", "3"),
                      Exact("pump_starts", "2"),
                      Exact("curve0.name", "Warmwasser Temp. (°C)"),
                      Number("curve0.min", 42),
                      Exact("curve0.min_time", "03/06/2009 10:00:09"),
                      Number("curve0.max", 47),
                      Exact("curve0.max_time", "03/06/2009 10:00:02"),
                      Number("curve0.mean", 44.5),
                      Exact("curve1.name", "Drehzahl (%)"),
                      Exact("curve1.min", "0"),
                      Exact("curve1.min_time", "03/06/2009 10:00:00"),
                      Number("curve1.max", 60),
                      Exact("curve1.max_time", "03/06/2009 10:00:08"),
                      Number("curve1.mean", 20),
                      Exact("curve2.name", "Durchfluss (l / min)"),
                      Exact("curve2.min", "0"),
                      Exact("curve2.min_time", "03/06/2009 10:00:00"),
                      Number("curve2.max", 7),
                      Exact("curve2.max_time", "03/06/2009 10:00:02"),
                      Number("curve2.mean", 3)});
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
        std::string line = std::string(date) + "\t" + clock;
        const std::vector<int> c =
            Six(500 + s % 97, 380 + s % 53, 300 + s % 31, s % 7 < 3 ? 23 + s % 11 : 0,
                s % 13 < 5 ? 350 : 0, s % 17 < 8 ? 10 : 0);
        for (int v : c) line += "\t" + std::to_string(v);
        text += line + "\n";
    }
    return text;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t at = 0;
    for (size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
        fields.push_back(line.substr(at, tab - at));
    fields.push_back(line.substr(at));
    return fields;
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
    const std::vector<std::string> header = Fields(rows[0]);
    ASSERT_EQ(header.size(), 1u + 10u + 6u * 5u);
    EXPECT_EQ(header[0], "date");

    // The windows of the days, cut to the recording (which starts at its second line): 23:55:01 to
    // midnight, the whole day, and midnight to 00:04:59.
    const std::vector<std::pair<std::string, std::string>> windows = {
        {"02/06/2009 23:55:01", "02/06/2009 23:59:59"},
        {"03/06/2009 00:00:00", "03/06/2009 23:59:59"},
        {"04/06/2009 00:00:00", "04/06/2009 00:04:59"}};
    for (size_t d = 0; d < windows.size(); ++d) {
        const std::vector<std::string> row = Fields(rows[d + 1]);
        ASSERT_EQ(row.size(), header.size());
        EXPECT_EQ(row[0], windows[d].first.substr(0, 10));
        const Result day =
            RunProgram("--evaluate '" + file.Path() + "' --from '" + windows[d].first + "' --to '" +
                       windows[d].second + "' --stats");
        ASSERT_EQ(day.exitCode, 0) << day.err;
        std::vector<std::string> stats = Lines(day.out);
        stats.erase(stats.begin());  // the summary line
        std::vector<std::string> figures;
        for (const std::string& line : stats) {
            if (line.find(".name=") == std::string::npos) figures.push_back(line);
        }
        ASSERT_EQ(figures.size(), header.size() - 1);
        for (size_t k = 1; k < header.size(); ++k) {
            EXPECT_EQ(figures[k - 1], header[k] + "=" + row[k]) << windows[d].first;
        }
    }

    // Standard output carries the rows alone; the summary goes to standard error.
    const Result piped = RunProgram("--evaluate '" + file.Path() + "' --daily - --stats");
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_EQ(piped.out, ReadFile(daily));
    EXPECT_NE(piped.err.find("samples="), std::string::npos);
    EXPECT_NE(piped.err.find("recorded_seconds="), std::string::npos);
}
