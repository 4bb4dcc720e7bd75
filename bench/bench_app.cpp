// The program's whole path for a month of samples, headless: open and evaluate a 30-day six-curve
// recording, build the result dialog with its six curves under the progress window, fit, render
// once, draw the saved picture and print the page; each stage timed, against `wc -l` on the same
// file in the same run, with the peak memory.
//
//   bench_app [--days N] [--file PATH]
#include <QApplication>
#include <QPrinter>

#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchUtil.h"
#include "bench/RecordingGenerator.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graphui/GraphExport.h"
#include "graphui/GraphPicture.h"
#include "graphui/ResultDialog.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"

using namespace kws;

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    double days = 30;
    std::string file = "/tmp/kws_bench_month.txt";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--days")) days = std::atof(argv[i + 1]);
        if (!std::strcmp(argv[i], "--file")) file = argv[i + 1];
    }
    const std::string program = bench::ProgramFolder(argv[0]) + "/kwsekunde";
    struct stat st;
    if (stat(file.c_str(), &st) != 0) {
        const bench::GeneratorOptions g = bench::BenchRecordingOptions(days);
        std::FILE* f = std::fopen(file.c_str(), "wb");
        bench::GenerateRecording(g, f);
        std::fclose(f);
        stat(file.c_str(), &st);
    }
    std::printf("recording: %s, %.1f MB\n", file.c_str(), st.st_size / 1e6);
    bench::RunCommand("cat '" + file + "' > /dev/null");
    const double wc =
        bench::MedianSeconds(5, [&] { bench::RunCommand("wc -l '" + file + "' > /dev/null"); });

    QApplication app(argc, argv);
    const double t0 = bench::Now();
    rec::Recording recording;
    if (!recording.Open(file).Ok()) return 1;
    const double t1 = bench::Now();
    auto shared = std::make_shared<rec::SampleArray>();
    rec::SampleArray& samples = *shared;
    const auto& facts = recording.Facts();
    rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
                  facts.endTime, samples);
    const double t2 = bench::Now();
    CNewGraph dialog(facts.layoutFlag, nullptr);
    dialog.SetData(shared);  // shared, as the main dialog hands them over
    const double t3 = bench::Now();
    dialog.Build();
    const double t4 = bench::Now();
    dialog.show();
    app.processEvents();
    (void)dialog.Graph()->Panel()->BackBuffer();
    const double t5 = bench::Now();
    const double total = t5 - t0;
    auto line = [&](const char* what, double s) {
        std::printf("%-46s %8.3f s  %6.1f x wc -l\n", what, s, s / wc);
    };
    line("wc -l", wc);
    line("open the recording", t1 - t0);
    line("evaluate 30 days (samples)", t2 - t1);
    line("hand the samples to the result dialog", t3 - t2);
    line("build six curves (progress window, fit, legend)", t4 - t3);
    line("show and render once", t5 - t4);
    line("total", total);
    // "Speichern" and "Ausdrucken" draw the graph at their own size: the 1280 x 1024 picture, and
    // the page into a PDF at the printer's 1200 pixels per inch.
    const double p0 = bench::Now();
    const QImage picture = GraphPicture(*dialog.Frame(), QSize(1280, 1024));
    const double p1 = bench::Now();
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName("/tmp/kws_bench_page.pdf");
    printer.setPageSize(QPageSize(QPageSize::A4));
    const bool printed = PrintGraphPage(dialog, printer);
    const double p2 = bench::Now();
    std::remove("/tmp/kws_bench_page.pdf");
    line("draw the saved picture (1280 x 1024)", p1 - p0);
    line(printed ? "print the page (PDF, 1200 dpi)" : "print the page: FAILED", p2 - p1);
    std::printf(
        "samples: %zu, points: %d\n", samples.size(),
        dialog.Graph()->GetSeries(0)->GetCount() * 5 + dialog.Graph()->GetSeries(5)->GetCount());
    std::printf("peak resident memory: %.0f MB (goal: under 1200 MB)\n",
                bench::PeakResidentMegabytes());
    std::printf("goal: total within 75 x wc -l: %s\n", total <= 75 * wc ? "met" : "MISSED");
    if (access(program.c_str(), X_OK) == 0) {
        const std::string out = "/tmp/kws_bench_graph.png";
        const double process = bench::MedianSeconds(3, [&] {
            bench::RunCommand("'" + program + "' --evaluate '" + file + "' --image " + out +
                              " > /dev/null 2>&1");
        });
        line("kwsekunde --evaluate --image (process)", process);
        std::printf("goal: --image within 75 x wc -l: %s\n", process <= 75 * wc ? "met" : "MISSED");
        std::remove(out.c_str());
    }
    return 0;
}
