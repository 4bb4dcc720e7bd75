// Following a growing recording through the real result dialog: lines a writer appends (one,
// a line completed later, a burst over a gap) show as an evaluation of the longer file shows
// them, the view moves along only when it showed the end, and faults of the file end following
// with a message.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/RecordingGenerator.h"
#include "graph/GraphBase.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/DaysWindow.h"
#include "graphui/Following.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "recording/WindowStatistics.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;

namespace {

// A recording of 03.06.08 from 10:00:00, 9000 seconds with a gap after 4500: its two header
// lines and data lines, each with its line feed.
std::vector<std::string> GeneratedLines(int layout) {
    kws::bench::GeneratorOptions o;
    o.layoutFlag = layout;
    o.seconds = 9000;
    const std::string text = kws::bench::GenerateRecording(o);
    std::vector<std::string> lines;
    for (size_t at = 0, nl; at < text.size(); at = nl + 1) {
        nl = text.find('\n', at);
        lines.push_back(text.substr(at, nl - at + 1));
    }
    return lines;
}

std::string Join(const std::vector<std::string>& lines, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to && i < lines.size(); ++i) text += lines[i];
    return text;
}

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// The first `count` lines of a recording on disk, evaluated as the main dialog evaluates them
// (to the recording's end, or `length` seconds), in a result dialog that follows the file.
struct Followed {
    std::vector<std::string> lines;
    kws::test::TempFile file;
    Recording recording;
    int layout;
    int64_t start, end;
    std::unique_ptr<CNewGraph> dialog;

    Followed(int layoutFlag, size_t count, int64_t length = 0)
        : lines(GeneratedLines(layoutFlag)), file(Join(lines, 0, count)), layout(layoutFlag) {
        EXPECT_TRUE(recording.Open(file.Path()).Ok());
        start = recording.Facts().startTime;
        end = length > 0 ? start + length : recording.Facts().endTime;
        auto samples = std::make_shared<SampleArray>();
        auto marks = std::make_shared<SampleMarks>();
        EvaluationOptions options;
        options.map = &recording.Map();
        EXPECT_TRUE(
            Evaluate(recording.Source(), 2, layout, start, end, *samples, *marks, options).ok);
        dialog = std::make_unique<CNewGraph>(layout, nullptr);
        dialog->SetData(samples);
        dialog->SetMarks(marks);
        EXPECT_TRUE(dialog->Build());
        dialog->show();
        dialog->SetFollowSource(
            {QString::fromStdString(file.Path()), 2, layout, start, end, true, &recording.Map()});
    }

    void Check() { dialog->Follower()->Check(); }

    // The dialog's samples, curves and figures against an evaluation of the file as it is now.
    void ExpectFreshEvaluation(const std::string& what) {
        FileSource source;
        int error = 0;
        ASSERT_TRUE(source.Open(file.Path(), error));
        SampleArray want;
        SampleMarks wantMarks;
        const int64_t to = end - start > kSparseWindowSeconds ? end : start + 200 * 86400;
        ASSERT_TRUE(Evaluate(source, 2, layout, start, to, want, wantMarks).ok);
        const SampleStore& got = dialog->Samples();
        ASSERT_EQ(got.size(), want.size()) << what;
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof want[i]), 0) << what << " at " << i;
        const WindowStatistics a = dialog->Statistics()->WindowFigures();
        const WindowStatistics b = ComputeStatistics(want, wantMarks, layout, 0, want.size());
        EXPECT_EQ(a.dataSamples, b.dataSamples) << what;
        EXPECT_EQ(a.gaps, b.gaps) << what;
        EXPECT_EQ(a.draws, b.draws) << what;
        EXPECT_EQ(a.pumpSeconds, b.pumpSeconds) << what;
        EXPECT_DOUBLE_EQ(a.hotWaterLitres, b.hotWaterLitres) << what;
        for (size_t c = 0; c < b.curves.size(); ++c) EXPECT_EQ(a.curves[c].max, b.curves[c].max);
        EXPECT_EQ(static_cast<size_t>(dialog->Graph()->GetSeries(0)->GetCount()), want.size());
        // The day overview's day (the recording lies within one) holds every data sample.
        ASSERT_EQ(dialog->Days()->Days().size(), 1u) << what;
        EXPECT_EQ(dialog->Days()->Days()[0].figures.dataSamples, b.dataSamples) << what;
    }
};

}  // namespace

TEST(Following, AppendedLinesShowAsAnEvaluationOfTheLongerFile) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::res::SelectLanguage(kws::res::kGerman);
    kws::test::ScriptedPrompts prompts;
    struct Case {
        const char* name;
        int layout;
        int64_t length;  // 0: to the recording's end; longer than 250 days: thinned
    } cases[] = {
        {"six curves", kSixCurveLayout, 0},
        {"three curves", kThreeCurveLayout, 0},
        {"six curves thinned", kSixCurveLayout, 251 * 86400},
    };
    for (const Case& c : cases) {
        Followed f(c.layout, 4000, c.length);
        f.dialog->StatisticsButton()->click();
        f.dialog->DaysButton()->click();
        EXPECT_TRUE(f.dialog->FollowBox()->isEnabled());
        ASSERT_TRUE(f.dialog->SetFollowing(true)) << c.name;
        EXPECT_TRUE(f.dialog->FollowBox()->isChecked());
        // One line, a line whose end comes later, a burst over the gap of the recording.
        Append(f.file.Path(), f.lines[4000]);
        f.Check();
        Append(f.file.Path(), f.lines[4001].substr(0, 20));
        const size_t before = f.dialog->Samples().size();
        f.Check();
        EXPECT_EQ(f.dialog->Samples().size(), before) << c.name << ": the line is not complete";
        Append(f.file.Path(), f.lines[4001].substr(20) + Join(f.lines, 4002, f.lines.size()));
        f.Check();
        f.ExpectFreshEvaluation(c.name);
        // The title ends at the last line's time, 12:29:59 (a thinned window within 8 s of it).
        if (c.length == 0) EXPECT_TRUE(f.dialog->windowTitle().contains("bis 12:29h")) << c.name;
        EXPECT_TRUE(f.dialog->Following()) << c.name;
        EXPECT_TRUE(prompts.messages.isEmpty()) << c.name;
    }
    // The watcher (or the size check once a second) finds appends without being called.
    Followed f(kSixCurveLayout, 100);
    ASSERT_TRUE(f.dialog->SetFollowing(true));
    const size_t before = f.dialog->Samples().size();
    Append(f.file.Path(), Join(f.lines, 100, 103));
    QTRY_COMPARE_WITH_TIMEOUT(f.dialog->Samples().size(), before + 3, 2500);
}

TEST(Following, TheViewMovesAlongOnlyWhenItShowedTheEnd) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::test::ScriptedPrompts prompts;
    struct Case {
        const char* name;
        double x0, x1;  // the view before, of samples 0 to 997; the fitted view is 4 to 993
        double shift;   // how far it moves when 50 samples come
    } cases[] = {
        {"fitted", 4, 993, 50},
        {"zoomed to the end", 800, 997, 50},
        {"zoomed away from the end", 200, 400, 0},
    };
    for (const Case& c : cases) {
        Followed f(kSixCurveLayout, 1001);
        ASSERT_EQ(f.dialog->Samples().size(), 998u);
        CGraphPanel* panel = f.dialog->Graph()->Panel();
        double x0, x1, y0, y1;
        panel->GetRanges(x0, x1, y0, y1);
        panel->SetRanges(c.x0, c.x1, y0, y1, true);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        Append(f.file.Path(), Join(f.lines, 1001, 1051));
        f.Check();
        double a0, a1, b0, b1;
        panel->GetRanges(a0, a1, b0, b1);
        EXPECT_DOUBLE_EQ(a0, c.x0 + c.shift) << c.name;
        EXPECT_DOUBLE_EQ(a1, c.x1 + c.shift) << c.name;
        EXPECT_EQ(b0, y0) << c.name;
        EXPECT_EQ(b1, y1) << c.name;
        // A fit takes in the new samples: 4 samples inside the last, sample 1047.
        panel->FitToData(kCmdFitPage);
        panel->GetRanges(a0, a1, b0, b1);
        EXPECT_DOUBLE_EQ(a1, 1043) << c.name;
    }
}

TEST(Following, FaultsOfTheFileEndFollowingWithAMessage) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::res::SelectLanguage(kws::res::kGerman);
    const std::string badLine = "03.06.08\t10:01:01\t1\t2\n";
    struct Case {
        const char* name;
        std::function<void(const std::string& path, const std::string& more)> fault;
        const char* message;  // the start of the German message
        size_t samples;       // in the graph afterwards; the window starts at the second line
    } cases[] = {
        {"shortened",
         [](const std::string& p, const std::string&) { std::filesystem::resize_file(p, 100); },
         "Die Datei 'recording.txt' wurde gekürzt.", 59},
        {"replaced",
         [](const std::string& p, const std::string& more) {
             std::ofstream(p + ".new") << more;
             std::filesystem::rename(p + ".new", p);
         },
         "Die Datei 'recording.txt' wurde durch eine andere Datei ersetzt.", 59},
        {"deleted", [](const std::string& p, const std::string&) { std::remove(p.c_str()); },
         "Die Datei 'recording.txt' wurde gelöscht.", 59},
        {"a line of another layout",
         [&](const std::string& p, const std::string& more) {
             Append(p, more.substr(0, more.find('\n') + 1) + badLine + more);
         },
         "Die Datei 'recording.txt' ist keine korrekte", 60},
    };
    for (const Case& c : cases) {
        kws::test::ScriptedPrompts prompts;
        Followed f(kSixCurveLayout, 62);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        RecordingFollower* follower = f.dialog->Follower();
        c.fault(f.file.Path(), Join(f.lines, 62, 70));
        follower->Check();
        EXPECT_FALSE(f.dialog->Following()) << c.name;
        EXPECT_FALSE(f.dialog->FollowBox()->isChecked()) << c.name;
        ASSERT_EQ(prompts.messages.size(), 1) << c.name;
        EXPECT_TRUE(prompts.messages[0].startsWith(QString::fromUtf8(c.message)))
            << c.name << ": " << prompts.messages[0].toStdString();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
        EXPECT_EQ(static_cast<size_t>(f.dialog->Graph()->GetSeries(0)->GetCount()), c.samples);
        // Nothing more is read once following ended.
        Append(f.file.Path(), Join(f.lines, 70, 72));
        follower->Check();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
    }
}
