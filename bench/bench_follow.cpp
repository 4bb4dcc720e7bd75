// Costs of following a growing recording in the result dialog: how soon one appended line shows,
// how long a day of lines appended at once takes to read and draw, what following costs while
// nothing changes, and the memory a week of following adds per sample.
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QPushButton>
#include "bench/BenchUtil.h"
#include "bench/RecordingGenerator.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/Following.h"
#include "graphui/ResultDialog.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"

using namespace kws::rec;
using kws::bench::Now;

namespace {

// Offsets of the line starts of `text`.
std::vector<size_t> LineStarts(const std::string& text) {
    std::vector<size_t> starts = {0};
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n') starts.push_back(i + 1);
    return starts;
}

double CpuSeconds() {
    struct rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long ResidentKilobytes() {
    std::ifstream in("/proc/self/statm");
    long pages = 0, resident = 0;
    in >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

void Report(const char* what, double value, const char* unit, const char* goal, bool met) {
    std::printf("%-52s %10.3f %-3s (goal %s) %s\n", what, value, unit, goal, met ? "ok" : "MISSED");
}

// Opens the recording at `path`, evaluates the whole of it as "Auswertung" would and hands the
// samples to a new result dialog, which is told where to follow them from; nullptr on failure.
std::unique_ptr<CNewGraph> DialogOfWholeRecording(const std::string& path, Recording& recording) {
    if (!recording.Open(path).Ok()) return nullptr;
    const RecordingFacts& facts = recording.Facts();
    auto samples = std::make_shared<SampleArray>();
    auto marks = std::make_shared<SampleMarks>();
    EvaluationOptions options;
    options.map = &recording.Map();
    Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
             facts.endTime, *samples, *marks, options);
    auto dialog = std::make_unique<CNewGraph>(facts.layoutFlag, nullptr);
    dialog->SetData(samples);
    dialog->SetMarks(marks);
    dialog->SetFollowSource({QString::fromStdString(path), facts.headerLines, facts.layoutFlag,
                             facts.startTime, facts.endTime, true, &recording.Map()});
    return dialog;
}

}  // namespace

// Turning following on for a month: its state is taken up from near the window's end.
void MonthStart() {
    const std::string path = "/tmp/kws_bench_follow_month.txt";
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        kws::bench::GenerateRecording(kws::bench::BenchRecordingOptions(31), out);
        std::fclose(out);
    }
    Recording recording;
    std::unique_ptr<CNewGraph> dialog = DialogOfWholeRecording(path, recording);
    if (!dialog || !dialog->Build()) return;
    const double t0 = Now();
    const bool on = dialog->SetFollowing(true);
    const double s = Now() - t0;
    Report("Mitlaufen turned on for a month", s * 1000, "ms", "-", on);
    dialog->SetFollowing(false);
    std::remove(path.c_str());
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::string(argv[1]) == "--month") {
        MonthStart();
        return 0;
    }
    // A day of history, then nine days to append.
    kws::bench::GeneratorOptions o = kws::bench::BenchRecordingOptions(10);
    o.gaps = 0;
    const std::string text = kws::bench::GenerateRecording(o);
    const std::vector<size_t> starts = LineStarts(text);
    const size_t header = static_cast<size_t>(o.headerLines);
    const std::string path = "/tmp/kws_bench_follow.txt";
    size_t written = header + 86400;  // lines in the file
    std::ofstream(path, std::ios::binary) << text.substr(0, starts[written]);
    auto append = [&](size_t lines) {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        out << text.substr(starts[written], starts[written + lines] - starts[written]);
        written += lines;
    };

    Recording recording;
    std::unique_ptr<CNewGraph> owned = DialogOfWholeRecording(path, recording);
    if (!owned) return 1;
    CNewGraph& dialog = *owned;
    dialog.resize(1400, 900);
    if (!dialog.Build()) return 1;
    dialog.show();
    if (!dialog.SetFollowing(true)) return 1;
    QApplication::processEvents();
    CGraphPanel* panel = dialog.Graph()->Panel();

    // One line at a time: from the write to the drawn curves, through the watcher and the poll.
    std::vector<double> latency;
    for (int i = 0; i < 20; ++i) {
        const size_t before = dialog.Samples().size();
        const double t0 = Now();
        append(1);
        QEventLoop loop;
        QObject::connect(dialog.Follower(), &RecordingFollower::Grown, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        if (dialog.Samples().size() == before) loop.exec();
        panel->repaint();
        latency.push_back(Now() - t0);
    }
    std::sort(latency.begin(), latency.end());
    Report("one appended line shows after (median)", latency[latency.size() / 2] * 1000, "ms",
           "< 1000 ms", latency[latency.size() / 2] < 1.0);
    Report("one appended line shows after (slowest of 20)", latency.back() * 1000, "ms",
           "< 1000 ms", latency.back() < 1.0);

    // A day of lines at once, read and drawn (the view follows the end), with the statistics
    // and the day overview open and computed again.
    {
        dialog.StatisticsButton()->click();
        dialog.DaysButton()->click();
        QApplication::processEvents();
        append(86400);
        const double t0 = Now();
        dialog.Follower()->Check();
        panel->repaint();
        const double s = Now() - t0;
        Report("a day (86,400 lines) at once, read, drawn, figures", s * 1000, "ms", "< 300 ms",
               s < 0.3);
    }

    // Nothing changes: the poll and the watcher only.
    {
        const double c0 = CpuSeconds(), t0 = Now();
        QEventLoop loop;
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        const double share = (CpuSeconds() - c0) / (Now() - t0) * 100;
        Report("a core used while nothing changes (10 s)", share, "%", "< 1 %", share < 1.0);
    }

    // A week at one line a second, appended an hour at a time: the memory added per sample.
    {
        const long k0 = ResidentKilobytes();
        const size_t n0 = dialog.Samples().size();
        for (int hour = 0; hour < 7 * 24 - 24; ++hour) {
            append(3600);
            dialog.Follower()->Check();
        }
        const size_t added = dialog.Samples().size() - n0;
        const double perSample = (ResidentKilobytes() - k0) * 1024.0 / static_cast<double>(added);
        std::printf("%-52s %10zu\n", "samples appended (six days, an hour at a time)", added);
        Report("memory added per appended sample", perSample, "B",
               "samples (56 B) and their drawing summaries", perSample < 56 * 1.25);
    }
    dialog.SetFollowing(false);
    std::remove(path.c_str());
    return 0;
}
