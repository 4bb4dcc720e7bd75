// The graph with a month (or, with --days over 250, a thinned window) of six curves at 1200 x 700
// pixels: building the curves from their samples in blocks as the result dialog does, adding
// points one by one for comparison, full renders, zoomed renders, markers, panning and wheel
// zooming, and the memory per point.
//
//   bench_graph [--days N] [--runs N]
#include <QApplication>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bench/BenchUtil.h"
#include "bench/PanelGestures.h"
#include "graph/GraphContainer.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/GraphFrame.h"
#include "recording/SampleRecord.h"

using namespace kws;

namespace {

// Six curves of plausible shape, one value a second.
double Value(int series, int64_t i) {
    const double t = static_cast<double>(i);
    switch (series) {
        case 0: return 58 + 3 * std::sin(t / 13750.0) + 0.2 * std::sin(t * 0.7);
        case 1: return 40 + 7 * ((i / 1800) % 3 == 0);
        case 2: return 45 + 8 * std::sin(t / 400.0) * (std::sin(t / 7000.0) > 0.6);
        case 3: return std::fmax(0, 8 * std::sin(t / 90.0)) * (std::sin(t / 3000.0) > 0.8);
        case 4: return 30 * (std::sin(t / 3000.0) > 0.8);
        default: return 100 + ((i / 900) % 4 == 0);
    }
}

double MedianMs(int runs, const std::function<void()>& f) {
    return bench::MedianSeconds(runs, f) * 1000;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    double days = 30;
    int runs = 15;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--days")) days = std::atof(argv[i + 1]);
        if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
    }
    // Windows over 250 days are thinned to every 8th second.
    const int64_t spacing = days > 250 ? 8 : 1;
    const int64_t n = static_cast<int64_t>(days * 86400) / spacing;

    // The graph as the program builds it: with its frame and legend bar.
    InstallGraphFrame();
    QWidget host;
    auto* graph = new CGraphWnd(6, 0);
    // Rulers take 16 pixels on the left and 32 below: the panel gets 1200 x 700.
    graph->Create("", QRect(0, 0, 1216, 732), &host, 7, 1);
    host.resize(1216, 732);
    host.show();
    app.processEvents();
    CGraphPanel* panel = graph->Panel();
    std::printf("panel: %d x %d pixels, %lld samples, %lld points\n", panel->width(),
                panel->height(), static_cast<long long>(n), static_cast<long long>(6 * n));

    graph->SetAxisTitle("Temperatur", "°C", 1, 0, 1);
    graph->SetAxisTitle("Datum", "", 0, 1, 1);
    graph->SetModeFlags(AutoRange | TrackMouse | Grid, 1);
    const COLORREF colors[6] = {RGB(0, 188, 255), RGB(255, 0, 0),   RGB(0, 0, 255),
                                RGB(0, 255, 0),   RGB(255, 0, 255), RGB(255, 127, 0)};
    const int64_t start = 1235865600;
    auto samples = std::make_shared<rec::SampleArray>(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) {
        rec::SampleRecord& r = (*samples)[static_cast<size_t>(i)];
        for (int s = 0; s < 6; ++s) r.value[s] = Value(s, i * spacing);
        r.time = start + i * spacing;
    }
    const auto table = std::make_shared<const PointTable>(
        samples->data(), samples->size(), sizeof(rec::SampleRecord),
        offsetof(rec::SampleRecord, time), samples);
    for (int s = 0; s < 6; ++s) {
        graph->AddSeries(colors[s], QString("Kurve %1").arg(s), 1, 1, 0);
        PointColumn column;
        column.offset =
            offsetof(rec::SampleRecord, value) + static_cast<size_t>(s) * sizeof(double);
        graph->ReadSeriesFrom(s, table, column);
    }
    const double rssBefore = bench::PeakResidentMegabytes();
    // As the result dialog builds them: series 0 first, then the others, in blocks of 8192
    // samples, with the event loop running every 30 ms as the progress window lets it.
    const double t0 = bench::Now();
    double lastPump = t0;
    auto pump = [&] {
        const double now = bench::Now();
        if (now - lastPump > 0.03) {
            app.processEvents();
            lastPump = now;
        }
    };
    constexpr int64_t kBlock = 8192;
    for (int64_t end = std::min(n, kBlock);; end = std::min(n, end + kBlock)) {
        graph->AddRows(0, static_cast<size_t>(end), 1);
        pump();
        if (end == n) break;
    }
    for (int64_t end = std::min(n, kBlock);; end = std::min(n, end + kBlock)) {
        for (int s = 1; s < 6; ++s) graph->AddRows(s, static_cast<size_t>(end), 1);
        pump();
        if (end == n) break;
    }
    app.processEvents();
    const double addSeconds = bench::Now() - t0;
    if (auto* frame = dynamic_cast<CGraphFrame*>(graph->Frame())) {
        frame->DockLegend();
        frame->ShowLegendNow();
        app.processEvents();
    }
    const double rssAfter = bench::PeakResidentMegabytes();
    std::printf("%-52s %9.3f s   (goal: under 0.2 s)\n", "build six curves in blocks, AutoRange",
                addSeconds);
    std::printf("%-52s %9.2f bytes beside the samples' %zu (peak resident growth / points)\n",
                "memory per point", (rssAfter - rssBefore) * 1024 * 1024 / (6.0 * n),
                sizeof(rec::SampleRecord));
    {
        // For comparison: a series of its own, its points added one by one.
        auto* single = new CGraphWnd(1, 0);
        single->Create("", QRect(0, 0, 1216, 732), &host, 8, 1);
        single->AddSeries(colors[0], "einzeln", 1, 1, 0);
        const int64_t m = std::min<int64_t>(n, 86400);
        const double a0 = bench::Now();
        for (int64_t i = 0; i < m; ++i)
            single->AddPoint(0, static_cast<double>(i), Value(0, i), 1, -1, start + i);
        std::printf("%-52s %9.1f ns a point\n", "for comparison: AddPoint one by one, one day",
                    (bench::Now() - a0) * 1e9 / static_cast<double>(m));
        delete single;
    }

    panel->FitToData(4105);
    auto fullRender = [&] {
        panel->Render();
        (void)panel->BackBuffer();
    };
    std::printf("%-52s %9.3f ms  (goal: under 16 ms)\n", "full render after fitting (median)",
                MedianMs(runs, fullRender));
    double x0, x1, y0, y1;
    panel->GetRanges(x0, x1, y0, y1);
    const double mid = (x0 + x1) / 2;
    panel->SetRanges(mid, mid + 3600, y0, y1, false);
    std::printf("%-52s %9.3f ms\n", "full render zoomed into one hour (median)",
                MedianMs(runs, fullRender));
    panel->SetRanges(x0, x1, y0, y1, false);
    panel->SetModeFlags(panel->GetModeFlags() | MarkPoints, false);
    std::printf("%-52s %9.3f ms  (goal: under 20 ms)\n", "full render with markers on (median)",
                MedianMs(runs, fullRender));
    panel->SetModeFlags(panel->GetModeFlags() & ~MarkPoints, false);

    // One pan step (Shift-drag move) and one wheel step, each with the render and the rulers'
    // repaint, and the window painted.
    const QPointF centre(600, 350);
    int step = 0;
    double pan = 0;
    {
        bench::ShiftDrag drag(panel, centre);
        pan = MedianMs(runs, [&] { drag.Step(++step); });
    }
    std::printf("%-52s %9.3f ms  (goal: under 16 ms)\n", "pan step with render and rulers (median)",
                pan);
    const double wheel = MedianMs(runs, [&] { bench::WheelStep(panel, centre, ++step); });
    std::printf("%-52s %9.3f ms  (goal: under 16 ms)\n",
                "wheel zoom step with render and rulers (median)", wheel);
    std::printf("peak resident memory: %.0f MB\n", bench::PeakResidentMegabytes());
    return 0;
}
