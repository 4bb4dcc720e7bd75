// Following a growing recording through the real result dialog: lines a writer appends (one,
// a line completed later, a burst) show as an evaluation of the longer file shows them, the view
// moves along only when it showed the end, and faults of the file end following with a message.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/Following.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "recording/WindowStatistics.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/RecordingLines.h"
#include "tests/recording/TestSupport.h"

using namespace kws::rec;

namespace {

// Data line `i` of a recording that starts 03.06.09 10:00:00, one a second: values that change
// with i, a pump that runs every other 20 seconds, and a gap from second 5000 to 5007.
std::string LineAt(int layout, int i) {
    if (i >= 5000 && i < 5007) return {};
    const int64_t t = kws::test::MkTime(2009, 6, 3, 10, 0, 0) + i;
    const std::time_t tt = static_cast<std::time_t>(t);
    struct tm tm {};
    localtime_r(&tt, &tm);
    char clock[16];
    std::strftime(clock, sizeof clock, "%H:%M:%S", &tm);
    std::string line = kws::test::Line(clock, {});
    line.pop_back();
    const bool on = i / 20 % 2 == 1;
    const auto columns = layout == kSixCurveLayout
                             ? kws::test::Six(500 + i % 300, 450 + i % 50, 400, on ? 60 : 0,
                                              on ? 350 : 0, on ? 10 : 0)
                             : kws::test::Three(450 + i % 50, on ? 80 : 0, on ? 60 : 0);
    for (int c : columns) line += "\t" + std::to_string(c);
    return line + "\n";
}

std::string Lines(int layout, int from, int to) {
    std::string text;
    for (int i = from; i < to; ++i) text += LineAt(layout, i);
    return text;
}

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// A recording on disk evaluated as the main dialog evaluates it, in a result dialog that
// follows it.
struct Followed {
    kws::test::TempFile file;
    Recording recording;
    int layout;
    int64_t start, end;
    std::shared_ptr<SampleArray> samples = std::make_shared<SampleArray>();
    std::shared_ptr<SampleMarks> marks = std::make_shared<SampleMarks>();
    std::unique_ptr<CNewGraph> dialog;

    // `lines` data lines; the window from the recording's start to its end, or `length` long.
    Followed(int layoutFlag, int lines, int64_t length = 0)
        : file("Kopf\n" + Lines(layoutFlag, 0, lines)), layout(layoutFlag) {
        EXPECT_TRUE(recording.Open(file.Path()).Ok());
        start = recording.Facts().startTime;
        end = length > 0 ? start + length : recording.Facts().endTime;
        EvaluationOptions options;
        options.map = &recording.Map();
        EXPECT_TRUE(
            Evaluate(recording.Source(), 1, layout, start, end, *samples, *marks, options).ok);
        dialog = std::make_unique<CNewGraph>(layout, nullptr);
        dialog->SetData(samples);
        dialog->SetMarks(marks);
        EXPECT_TRUE(dialog->Build());
        dialog->show();
        CNewGraph::FollowSource source;
        source.path = QString::fromStdString(file.Path());
        source.headerLines = 1;
        source.layoutFlag = layout;
        source.start = start;
        source.end = end;
        source.endsAtRecordingEnd = true;
        source.map = &recording.Map();
        dialog->SetFollowSource(source);
    }

    void Check() { dialog->Follower()->Check(); }

    // What an evaluation of the file as it is now gives for the followed window.
    void ExpectFreshEvaluation(const std::string& what) {
        FileSource source;
        int error = 0;
        ASSERT_TRUE(source.Open(file.Path(), error));
        SampleArray want;
        SampleMarks wantMarks;
        const int64_t to = end - start > kSparseWindowSeconds ? end : start + 200 * 86400;
        ASSERT_TRUE(Evaluate(source, 1, layout, start, to, want, wantMarks).ok);
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
        // Every curve shows every sample the column does not skip.
        EXPECT_EQ(static_cast<size_t>(dialog->Graph()->GetSeries(0)->GetCount()), want.size());
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
        Followed f(c.layout, 4990, c.length);
        f.dialog->StatisticsButton()->click();
        EXPECT_TRUE(f.dialog->FollowBox()->isEnabled());
        ASSERT_TRUE(f.dialog->SetFollowing(true))
            << c.name << prompts.messages.join(";").toStdString();
        EXPECT_TRUE(f.dialog->FollowBox()->isChecked());
        const QString title = f.dialog->windowTitle();
        // One line, a line whose end comes later, a burst over a gap of the recording.
        Append(f.file.Path(), LineAt(c.layout, 4990));
        f.Check();
        const std::string partial = LineAt(c.layout, 4991);
        Append(f.file.Path(), partial.substr(0, 20));
        const size_t before = f.dialog->Samples().size();
        f.Check();
        EXPECT_EQ(f.dialog->Samples().size(), before) << c.name << ": the line is not complete";
        Append(f.file.Path(), partial.substr(20) + Lines(c.layout, 4992, 9000));
        f.Check();
        f.ExpectFreshEvaluation(c.name);
        // The title ends at the new end time.
        EXPECT_NE(f.dialog->windowTitle(), title) << c.name;
        // 8,999 seconds after 10:00:00 (a thinned window ends within its last 8 seconds).
        if (c.length == 0) EXPECT_TRUE(f.dialog->windowTitle().contains("bis 12:29h")) << c.name;
        EXPECT_TRUE(f.dialog->Following()) << c.name;
        EXPECT_TRUE(prompts.messages.isEmpty()) << c.name;
    }
    // The size check once a second finds appends without being called.
    Followed f(kSixCurveLayout, 100);
    f.dialog->StatisticsButton()->click();
    ASSERT_TRUE(f.dialog->SetFollowing(true));
    Append(f.file.Path(), Lines(kSixCurveLayout, 100, 103));
    QTRY_COMPARE_WITH_TIMEOUT(f.dialog->Samples().size(), size_t{103}, 2500);
}

TEST(Following, TheViewMovesAlongOnlyWhenItShowedTheEnd) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::test::ScriptedPrompts prompts;
    struct Case {
        const char* name;
        double x0, x1;  // the view before; the fitted view is 4 to 995
        double shift;   // how far it moves when 50 samples come
    } cases[] = {
        {"fitted", 4, 995, 50},
        {"zoomed to the end", 800, 999, 50},
        {"zoomed away from the end", 200, 400, 0},
    };
    for (const Case& c : cases) {
        Followed f(kSixCurveLayout, 1000);
        CGraphPanel* panel = f.dialog->Graph()->Panel();
        double x0, x1, y0, y1;
        panel->GetRanges(x0, x1, y0, y1);
        panel->SetRanges(c.x0, c.x1, y0, y1, true);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        Append(f.file.Path(), Lines(kSixCurveLayout, 1000, 1050));
        f.Check();
        double a0, a1, b0, b1;
        panel->GetRanges(a0, a1, b0, b1);
        EXPECT_DOUBLE_EQ(a0, c.x0 + c.shift) << c.name;
        EXPECT_DOUBLE_EQ(a1, c.x1 + c.shift) << c.name;
        EXPECT_EQ(b0, y0) << c.name;
        EXPECT_EQ(b1, y1) << c.name;
    }
}

TEST(Following, FaultsOfTheFileEndFollowingWithAMessage) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::res::SelectLanguage(kws::res::kGerman);
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> fault;
        const char* message;  // the start of the German message
        size_t samples;       // in the graph afterwards; the window starts at the second line
    } cases[] = {
        {"shortened", [](const std::string& p) { std::filesystem::resize_file(p, 100); },
         "Die Datei 'recording.txt' wurde gekürzt.", 59},
        {"replaced",
         [](const std::string& p) {
             std::ofstream(p + ".new") << "Kopf\n" << Lines(kSixCurveLayout, 0, 70);
             std::filesystem::rename(p + ".new", p);
         },
         "Die Datei 'recording.txt' wurde durch eine andere Datei ersetzt.", 59},
        {"deleted", [](const std::string& p) { std::remove(p.c_str()); },
         "Die Datei 'recording.txt' wurde gelöscht.", 59},
        {"a line of another layout",
         [](const std::string& p) {
             Append(p, LineAt(kSixCurveLayout, 60) + "03.06.09\t10:01:01\t1\t2\n" +
                           LineAt(kSixCurveLayout, 62));
         },
         "Die Datei 'recording.txt' ist keine korrekte", 60},
    };
    for (const Case& c : cases) {
        kws::test::ScriptedPrompts prompts;
        Followed f(kSixCurveLayout, 60);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        RecordingFollower* follower = f.dialog->Follower();
        c.fault(f.file.Path());
        follower->Check();
        EXPECT_FALSE(f.dialog->Following()) << c.name;
        EXPECT_FALSE(f.dialog->FollowBox()->isChecked()) << c.name;
        ASSERT_EQ(prompts.messages.size(), 1) << c.name;
        EXPECT_TRUE(prompts.messages[0].startsWith(QString::fromUtf8(c.message)))
            << c.name << ": " << prompts.messages[0].toStdString();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
        EXPECT_EQ(static_cast<size_t>(f.dialog->Graph()->GetSeries(0)->GetCount()), c.samples);
        // Nothing more is read once following ended.
        std::ofstream(f.file.Path(), std::ios::app) << LineAt(kSixCurveLayout, 63);
        follower->Check();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
    }
}
