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
#include <tuple>
#include <vector>

#include "graph/GraphBase.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/DaysWindow.h"
#include "graphui/Following.h"
#include "graphui/ResultDialog.h"
#include "graphui/StatisticsWindow.h"
#include "recording/Recording.h"
#include "recording/WindowStatistics.h"
#include "res/Resources.h"
#include "tests/graph/ScriptedPrompts.h"
#include "tests/recording/RoughRecording.h"

using namespace kws::rec;

namespace {

std::string Join(const std::vector<std::string>& lines, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to && i < lines.size(); ++i) text += lines[i];
    return text;
}

void Append(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::app) << text;
}

// A recording of 03.06.08 from 10:00:00, 9000 seconds with a gap after 4500, of which the first
// `count` lines (two header lines, then data) lie on disk, evaluated as the main dialog evaluates
// them (to the recording's end, or `length` seconds), in a result dialog that follows the file.
struct Followed {
    std::vector<std::string> lines;
    kws::test::TempFile file;
    Recording recording;
    int layout;
    int64_t start, end;
    std::unique_ptr<CNewGraph> dialog;

    static std::vector<std::string> Generated(int layout) {
        kws::bench::GeneratorOptions o;
        o.layoutFlag = layout;
        o.seconds = 9000;
        return kws::test::SplitLines(kws::bench::GenerateRecording(o));
    }

    Followed(int layoutFlag, size_t count, int64_t length = 0)
        : lines(Generated(layoutFlag)), file(Join(lines, 0, count)), layout(layoutFlag) {
        EXPECT_TRUE(recording.Open(file.Path()).Ok());
        start = recording.Facts().startTime;
        end = length > 0 ? start + length : recording.Facts().endTime;
        auto first =
            kws::test::EvaluateWith(recording.Source(), 2, layout, start, end, &recording.Map());
        EXPECT_TRUE(first.status.ok);
        dialog = std::make_unique<CNewGraph>(layout, nullptr);
        dialog->SetData(std::make_shared<const SampleArray>(std::move(first.samples)));
        dialog->SetMarks(std::make_shared<const SampleMarks>(first.marks));
        EXPECT_TRUE(dialog->Build());
        dialog->show();
        dialog->SetFollowSource(
            {QString::fromStdString(file.Path()), 2, layout, start, end, true, &recording.Map()});
    }

    void Check() { dialog->Follower()->Check(); }
    void AppendLines(size_t from, size_t to) { Append(file.Path(), Join(lines, from, to)); }

    // The dialog's samples, curves and figures against an evaluation of the file as it is now.
    void ExpectFreshEvaluation(const std::string& what) {
        FileSource source;
        int error = 0;
        ASSERT_TRUE(source.Open(file.Path(), error));
        const int64_t to = end - start > kSparseWindowSeconds ? end : start + 200 * 86400;
        const auto fresh = kws::test::EvaluateWith(source, 2, layout, start, to, nullptr);
        ASSERT_TRUE(fresh.status.ok);
        const SampleArray& want = fresh.samples;
        const SampleStore& got = dialog->Samples();
        ASSERT_EQ(got.size(), want.size()) << what;
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_EQ(std::memcmp(&got[i], &want[i], sizeof want[i]), 0) << what << " at " << i;
        const WindowStatistics a = dialog->Statistics()->WindowFigures();
        const WindowStatistics b = ComputeStatistics(want, fresh.marks, layout, 0, want.size());
        EXPECT_EQ(std::tie(a.dataSamples, a.gaps, a.draws, a.pumpSeconds),
                  std::tie(b.dataSamples, b.gaps, b.draws, b.pumpSeconds))
            << what;
        EXPECT_DOUBLE_EQ(a.hotWaterLitres, b.hotWaterLitres) << what;
        for (size_t c = 0; c < b.curves.size(); ++c) EXPECT_EQ(a.curves[c].max, b.curves[c].max);
        EXPECT_EQ(static_cast<size_t>(dialog->Graph()->GetSeries(0)->GetCount()), want.size());
        // The day overview's day (the recording lies within one) holds every data sample.
        ASSERT_EQ(dialog->Days()->Days().size(), 1u) << what;
        EXPECT_EQ(dialog->Days()->Days()[0].figures.dataSamples, b.dataSamples) << what;
    }
};

class Following : public testing::Test {
protected:
    void SetUp() override { kws::res::SelectLanguage(kws::res::kGerman); }
    kws::test::ScopedTimeZone zone{"Europe/Berlin"};
    kws::test::ScriptedPrompts prompts;
};

}  // namespace

TEST_F(Following, AppendedLinesShowAsAnEvaluationOfTheLongerFile) {
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
        f.AppendLines(4000, 4001);
        f.Check();
        Append(f.file.Path(), f.lines[4001].substr(0, 20));
        const size_t before = f.dialog->Samples().size();
        f.Check();
        EXPECT_EQ(f.dialog->Samples().size(), before) << c.name << ": the line is not complete";
        Append(f.file.Path(), f.lines[4001].substr(20) + Join(f.lines, 4002, f.lines.size()));
        f.Check();
        f.ExpectFreshEvaluation(c.name);
        // The title ends at the last line's time, 12:29:59 (a thinned window within 8 s of it).
        EXPECT_TRUE(c.length != 0 || f.dialog->windowTitle().contains("bis 12:29h")) << c.name;
        EXPECT_TRUE(f.dialog->Following()) << c.name;
        EXPECT_TRUE(prompts.messages.isEmpty()) << c.name;
    }
    // The watcher (or the size check once a second) finds appends without being called.
    Followed f(kSixCurveLayout, 100);
    ASSERT_TRUE(f.dialog->SetFollowing(true));
    const size_t before = f.dialog->Samples().size();
    f.AppendLines(100, 103);
    QTRY_COMPARE_WITH_TIMEOUT(f.dialog->Samples().size(), before + 3, 2500);
}

TEST_F(Following, TheViewMovesAlongOnlyWhenItShowedTheEnd) {
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
        double x0, x1, y0, y1, a0, a1, b0, b1;
        panel->GetRanges(x0, x1, y0, y1);
        panel->SetRanges(c.x0, c.x1, y0, y1, true);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        f.AppendLines(1001, 1051);
        f.Check();
        panel->GetRanges(a0, a1, b0, b1);
        EXPECT_DOUBLE_EQ(a0, c.x0 + c.shift) << c.name;
        EXPECT_DOUBLE_EQ(a1, c.x1 + c.shift) << c.name;
        EXPECT_EQ(std::tie(b0, b1), std::tie(y0, y1)) << c.name;
        // A fit takes in the new samples: 4 samples inside the last, sample 1047.
        panel->FitToData(kCmdFitPage);
        panel->GetRanges(a0, a1, b0, b1);
        EXPECT_DOUBLE_EQ(a1, 1043) << c.name;
    }
}

TEST_F(Following, FaultsOfTheFileEndFollowingWithAMessage) {
    using Fault = std::function<void(const std::string& path, const std::string& more)>;
    struct Case {
        const char* name;
        Fault fault;
        const char* message;  // the start of the German message
        size_t samples;       // in the graph afterwards; the window starts at the second line
    } cases[] = {
        {"shortened", [](auto& p, auto&) { std::filesystem::resize_file(p, 100); },
         "Die Datei 'recording.txt' wurde gekürzt.", 59},
        {"replaced",
         [](auto& p, auto& more) {
             std::ofstream(p + ".new") << more;
             std::filesystem::rename(p + ".new", p);
         },
         "Die Datei 'recording.txt' wurde durch eine andere Datei ersetzt.", 59},
        {"deleted", [](auto& p, auto&) { std::remove(p.c_str()); },
         "Die Datei 'recording.txt' wurde gelöscht.", 59},
        {"a line of another layout",
         [](auto& p, auto& more) {
             Append(p, more.substr(0, more.find('\n') + 1) + "03.06.08\t10:01:01\t1\t2\n" + more);
         },
         "Die Datei 'recording.txt' ist keine korrekte", 60},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        Followed f(kSixCurveLayout, 62);
        ASSERT_TRUE(f.dialog->SetFollowing(true));
        c.fault(f.file.Path(), Join(f.lines, 62, 70));
        f.Check();
        EXPECT_FALSE(f.dialog->Following()) << c.name;
        EXPECT_FALSE(f.dialog->FollowBox()->isChecked()) << c.name;
        ASSERT_EQ(prompts.messages.size(), 1) << c.name;
        EXPECT_TRUE(prompts.messages[0].startsWith(QString::fromUtf8(c.message)))
            << c.name << ": " << prompts.messages[0].toStdString();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
        EXPECT_EQ(static_cast<size_t>(f.dialog->Graph()->GetSeries(0)->GetCount()), c.samples);
        // Nothing more is read once following ended.
        f.AppendLines(70, 72);
        f.Check();
        EXPECT_EQ(f.dialog->Samples().size(), c.samples) << c.name;
    }
}
