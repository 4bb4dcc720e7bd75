// Every speed and memory goal of the program, measured in one run against `wc -l` and the
// evaluation of the same files, each figure printed beside its goal:
//  - a month (30 days, six curves): `kwsekunde --evaluate` and `--evaluate --image`, with the
//    peak memory of the process;
//  - a year (365 days, six curves, thinned window): the same;
//  - a recording of 20 lines, 300 days of nothing and 20 lines, evaluated to a point inside the
//    gap, with `--image`: its peak memory;
//  - the GUI (offscreen): "Auswertung" on the month up to the drawn, fitted result dialog, the
//    longest stretch of the build without pumping the progress window, and Cancel;
//  - pan and wheel steps on the year's points.
//
//   bench_app [--month PATH] [--year PATH] [--runs N] [--no-year]
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDateEdit>
#include <QDir>
#include <QPrinter>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/MainDialog.h"
#include "bench/BenchUtil.h"
#include "bench/PanelGestures.h"
#include "bench/RecordingGenerator.h"
#include "graph/GraphPanel.h"
#include "graph/GraphWnd.h"
#include "graph/Prompts.h"
#include "graphui/GraphExport.h"
#include "graphui/GraphPicture.h"
#include "graphui/ProgressWnd.h"
#include "graphui/ResultDialog.h"
#include "recording/Evaluation.h"
#include "recording/LocalTime.h"
#include "recording/Recording.h"

extern char** environ;

using namespace kws;

namespace {

// Writes the file unless it is there (through a temporary name: benchmarks may share it).
void EnsureFile(const std::string& path, const std::function<void(std::FILE*)>& write) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return;
    const std::string temporary = path + ".part" + std::to_string(getpid());
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) {
        std::perror(temporary.c_str());
        std::exit(1);
    }
    write(f);
    std::fclose(f);
    std::rename(temporary.c_str(), path.c_str());
}

struct ProcessRun {
    double seconds = 0;
    double peakMiB = 0;
};

// Runs the program with `args`, its output discarded; wall time and the child's peak memory.
ProcessRun RunProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double t0 = bench::Now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(program.c_str());
        std::exit(1);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    ProcessRun run;
    run.seconds = bench::Now() - t0;
    run.peakMiB = usage.ru_maxrss / 1024.0;
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", program.c_str());
        std::exit(1);
    }
    return run;
}

// Median time and highest peak of `runs` runs.
ProcessRun Measure(int runs, const std::string& program, const std::vector<std::string>& args) {
    std::vector<double> times;
    double peak = 0;
    for (int i = 0; i < runs; ++i) {
        const ProcessRun r = RunProgram(program, args);
        times.push_back(r.seconds);
        peak = std::max(peak, r.peakMiB);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], peak};
}

double WcSeconds(const std::string& file, int runs) {
    bench::RunCommand("cat '" + file + "' > /dev/null");
    return bench::MedianSeconds(runs,
                                [&] { bench::RunCommand("wc -l '" + file + "' > /dev/null"); });
}

// One figure against its goal: "value  (goal: ...)  met/MISSED".
void Report(const char* what, const std::string& value, const std::string& goal, bool met) {
    std::printf("  %-50s %-26s goal %-22s %s\n", what, value.c_str(), goal.c_str(),
                met ? "met" : "MISSED");
}

std::string Format(const char* format, double a, double b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// Answers the result dialog's modal run: shows it, has it drawn, and notes when.
class BenchPrompts : public Prompts {
public:
    double drawnAt = 0;
    bool fitted = false;
    QStringList messages;
    double messageAt = 0;

    int Exec(QDialog& dialog) override {
        dialog.show();
        QApplication::processEvents();
        if (auto* result = dynamic_cast<CNewGraph*>(&dialog)) {
            CGraphPanel* panel = result->Graph()->Panel();
            (void)panel->BackBuffer();
            drawnAt = bench::Now();
            double x0, x1, y0, y1, xmin, xmax, ymin, ymax;
            panel->GetRanges(x0, x1, y0, y1);
            result->Graph()->GetDataRange(xmin, xmax, ymin, ymax);
            fitted = x0 == xmin + 4 && x1 == xmax - 4 && y0 == ymin - 4 && y1 == ymax + 4 &&
                     panel->BackBufferValid();
        }
        return 0;
    }
    void Message(QWidget*, const QString& text, const QString&, Icon) override {
        messages << text;
        messageAt = bench::Now();
    }
};

struct GuiRun {
    double evaluate = 0, build = 0, draw = 0, total = 0;
    double longestWithoutPumping = 0;  // seconds
    int pumps = 0;
    bool fitted = false;
    double cancelAnswered = -1;  // seconds from the click to the build's end; -1: not cancelled
};

// Sets a date picker and a time picker of the main dialog to the local time t.
void SetPickers(CKWSekundeDlg& dialog, int dateId, int timeId, int64_t t) {
    rec::LocalFields f{};
    rec::LocalFieldsOf(t, f);
    static_cast<QDateEdit*>(dialog.Control(dateId))
        ->setDate(QDate(static_cast<int>(f.year), f.month, f.day));
    static_cast<QTimeEdit*>(dialog.Control(timeId))->setTime(QTime(f.hour, f.minute, f.second));
}

// "Auswertung" through the main dialog, of the whole recording or, when `window` is given, of
// its last `window` seconds. With `cancel`, the progress window's Cancel button is clicked as
// soon as the build first lets events run.
GuiRun RunEvaluation(const std::string& file, bool cancel, int64_t window = 0) {
    BenchPrompts prompts;
    Prompts::Set(&prompts);
    GuiRun run;
    {
        CKWSekundeDlg dialog(QDir::tempPath());
        dialog.show();
        QApplication::processEvents();
        if (!dialog.OpenRecordingFile(QString::fromStdString(file))) std::exit(1);
        if (window > 0) {
            const int64_t end = dialog.Recording().Facts().endTime;
            SetPickers(dialog, 1003, 1004, end - window + 1);
            SetPickers(dialog, 1007, 1008, end);
        }
        double evaluated = 0, clicked = 0, lastAwake = 0;
        bool building = false;
        auto* dispatcher = QAbstractEventDispatcher::instance();
        auto awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&] {
            if (!building) return;
            const double now = bench::Now();
            run.longestWithoutPumping = std::max(run.longestWithoutPumping, now - lastAwake);
            lastAwake = now;
            ++run.pumps;
            if (cancel && clicked == 0) {
                for (QWidget* w : QApplication::topLevelWidgets()) {
                    auto* p = dynamic_cast<CProgressWnd*>(w);
                    if (p != nullptr && p->isVisible()) {
                        clicked = bench::Now();
                        p->CancelButton()->click();
                    }
                }
            }
        });
        QObject::connect(&dialog, &CKWSekundeDlg::resultDialogOpening, [&](QDialog*) {
            evaluated = lastAwake = bench::Now();
            building = true;
        });
        const double t0 = bench::Now();
        dialog.OnEvaluate();
        building = false;
        QObject::disconnect(awake);
        run.evaluate = evaluated - t0;
        if (cancel) {
            if (clicked > 0 && prompts.messages.size() == 1) {
                run.cancelAnswered = prompts.messageAt - clicked;
            }
        } else {
            run.build = prompts.drawnAt - evaluated;
            run.total = prompts.drawnAt - t0;
            run.fitted = prompts.fitted;
        }
    }
    Prompts::Set(nullptr);
    return run;
}

struct FrameTimes {
    double median = 0, worst = 0;  // milliseconds
};

FrameTimes Frames(int count, const std::function<void(int)>& step) {
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        const double t0 = bench::Now();
        step(i);
        ms.push_back((bench::Now() - t0) * 1000);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

// Pan (Shift-drag) and wheel steps on the result dialog of the year, each with its render, the
// rulers' repaint and the window painted.
void PanAndWheel(const std::string& file) {
    rec::Recording recording;
    if (!recording.Open(file).Ok()) std::exit(1);
    const auto& facts = recording.Facts();
    auto samples = std::make_shared<rec::SampleArray>();
    rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
                  facts.endTime, *samples);
    CNewGraph dialog(facts.layoutFlag, nullptr);
    dialog.SetData(samples);
    if (!dialog.Build()) std::exit(1);
    dialog.resize(1280, 1024);
    dialog.show();
    QApplication::processEvents();
    CGraphPanel* panel = dialog.Graph()->Panel();
    int points = 0;
    for (int s = 0; s < dialog.Graph()->MaxSeries(); ++s)
        points += dialog.Graph()->GetSeries(s)->GetCount();
    std::printf("  year in the result dialog: %d points, panel %d x %d\n", points, panel->width(),
                panel->height());
    // "Speichern" and "Ausdrucken" draw the graph at their own size: the 1280 x 1024 picture, and
    // the page into a PDF at the printer's 1200 pixels per inch.
    const double p0 = bench::Now();
    const QImage picture = GraphPicture(*dialog.Frame(), QSize(1280, 1024));
    const double p1 = bench::Now();
    const std::string pdf = "/tmp/kws_bench_page" + std::to_string(getpid()) + ".pdf";
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    printer.setPageSize(QPageSize(QPageSize::A4));
    const bool printed = PrintGraphPage(dialog, printer);
    const double p2 = bench::Now();
    std::remove(pdf.c_str());
    std::printf("  %-50s %.3f s (%d x %d)\n", "draw the saved picture", p1 - p0, picture.width(),
                picture.height());
    std::printf("  %-50s %.3f s%s\n", "print the page (PDF, 1200 dpi)", p2 - p1,
                printed ? "" : " FAILED");
    const QPointF centre(panel->width() / 2.0, panel->height() / 2.0);
    FrameTimes pan;
    {
        bench::ShiftDrag drag(panel, centre);
        pan = Frames(41, [&](int i) { drag.Step(i); });
    }
    const FrameTimes wheel = Frames(41, [&](int i) { bench::WheelStep(panel, centre, i); });
    Report("pan step on the year (median / worst)", Format("%.1f / %.1f ms", pan.median, pan.worst),
           "<= 16 ms a frame", pan.worst <= 16);
    Report("wheel step on the year (median / worst)",
           Format("%.1f / %.1f ms", wheel.median, wheel.worst), "<= 16 ms a frame",
           wheel.worst <= 16);
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string month = "/tmp/kws_bench_month.txt", year = "/tmp/kws_bench_year.txt";
    int runs = 3;
    bool withYear = true;
    for (int i = 1; i < argc; ++i) {
        const bool value = i + 1 < argc;
        if (!std::strcmp(argv[i], "--month") && value) month = argv[++i];
        if (!std::strcmp(argv[i], "--year") && value) year = argv[++i];
        if (!std::strcmp(argv[i], "--runs") && value) runs = std::max(1, std::atoi(argv[++i]));
        if (!std::strcmp(argv[i], "--no-year")) withYear = false;
    }
    const std::string program = bench::ProgramFolder(argv[0]) + "/kwsekunde";
    if (access(program.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "%s is missing\n", program.c_str());
        return 1;
    }
    EnsureFile(month,
               [](std::FILE* f) { bench::GenerateRecording(bench::BenchRecordingOptions(30), f); });
    if (withYear) {
        EnsureFile(year, [](std::FILE* f) {
            bench::GenerateRecording(bench::BenchRecordingOptions(365), f);
        });
    }
    // 20 lines, 300 days of nothing, 20 lines; evaluated up to a point inside the gap.
    const std::string padding = "/tmp/kws_bench_padding.txt";
    EnsureFile(padding, [](std::FILE* f) {
        bench::GeneratorOptions g = bench::BenchRecordingOptions(0);
        g.seconds = 20;
        g.gaps = 0;
        bench::GenerateRecording(g, f);
        g.startTime += 300 * 86400;
        g.headerLines = 0;
        bench::GenerateRecording(g, f);
    });

    std::printf("month: %s\n", month.c_str());
    const double wc = WcSeconds(month, 5);
    const ProcessRun evaluate = Measure(runs, program, {"--evaluate", month});
    const std::string picture = "/tmp/kws_bench_app" + std::to_string(getpid()) + ".png";
    const ProcessRun image = Measure(runs, program, {"--evaluate", month, "--image", picture});
    std::printf("  %-50s %.3f s\n", "wc -l", wc);
    Report("kwsekunde --evaluate",
           Format("%.3f s = %.1f x wc -l", evaluate.seconds, evaluate.seconds / wc),
           "<= 5 x (stretch 3 x)", evaluate.seconds <= 5 * wc);
    if (evaluate.seconds <= 3 * wc) std::printf("  %-50s met\n", "stretch goal 3 x wc -l");
    Report("kwsekunde --evaluate --image",
           Format("%.3f s = %.1f x wc -l", image.seconds, image.seconds / wc), "<= 20 x wc -l",
           image.seconds <= 20 * wc);
    Report("  its peak memory", Format("%.0f MiB", image.peakMiB), "<= 450 MiB",
           image.peakMiB <= 450);
    std::printf("  %-50s %.0f MiB\n", "(--evaluate alone: peak memory)", evaluate.peakMiB);

    if (withYear) {
        std::printf("year: %s\n", year.c_str());
        const double wcYear = WcSeconds(year, 3);
        const ProcessRun yearEvaluate = Measure(runs, program, {"--evaluate", year});
        const ProcessRun yearImage =
            Measure(runs, program, {"--evaluate", year, "--image", picture});
        std::printf("  %-50s %.3f s\n", "wc -l", wcYear);
        std::printf("  %-50s %.3f s = %.1f x wc -l, %.0f MiB\n", "kwsekunde --evaluate",
                    yearEvaluate.seconds, yearEvaluate.seconds / wcYear, yearEvaluate.peakMiB);
        Report("kwsekunde --evaluate --image",
               Format("%.3f s = %.2f x --evaluate", yearImage.seconds,
                      yearImage.seconds / yearEvaluate.seconds),
               "<= 1.5 x --evaluate", yearImage.seconds <= 1.5 * yearEvaluate.seconds);
        Report("  its peak memory", Format("%.0f MiB", yearImage.peakMiB), "<= 600 MiB",
               yearImage.peakMiB <= 600);
    }

    std::printf("gap: 20 lines, 300 days of nothing, 20 lines, evaluated into the gap\n");
    const ProcessRun gap = Measure(
        1, program, {"--evaluate", padding, "--to", "01/12/2009 00:00:00", "--image", picture});
    Report("kwsekunde --evaluate --to ... --image: peak", Format("%.0f MiB", gap.peakMiB),
           "< 400 MiB", gap.peakMiB < 400);
    std::remove(picture.c_str());

    std::printf("GUI (offscreen), \"Auswertung\" on the month:\n");
    QApplication app(argc, argv);
    RunEvaluation(month, false);  // the first run loads fonts and styles
    const GuiRun gui = RunEvaluation(month, false);
    std::printf("  %-50s %.3f s evaluation, %.3f s build and draw\n", "of which", gui.evaluate,
                gui.build);
    Report("to the drawn, fitted result dialog", Format("%.3f s", gui.total), "<= 0.6 s",
           gui.total <= 0.6 && gui.fitted);
    Report("longest stretch of the build without pumping",
           Format("%.1f ms (%.0f pumps)", gui.longestWithoutPumping * 1000,
                  static_cast<double>(gui.pumps)),
           "<= 50 ms", gui.longestWithoutPumping <= 0.05);
    const GuiRun cancelled = RunEvaluation(month, true);
    Report("Cancel clicked at the first pump: build ended after",
           cancelled.cancelAnswered < 0 ? std::string("not cancelled")
                                        : Format("%.1f ms", cancelled.cancelAnswered * 1000),
           "<= 50 ms", cancelled.cancelAnswered >= 0 && cancelled.cancelAnswered <= 0.05);

    if (withYear) {
        std::printf("year in the GUI (offscreen):\n");
        RunEvaluation(year, false, 86400);  // the first run of a day
        std::vector<double> days;
        GuiRun day;
        for (int i = 0; i < std::max(runs, 3); ++i) {
            day = RunEvaluation(year, false, 86400);
            days.push_back(day.total);
        }
        std::sort(days.begin(), days.end());
        std::printf("  %-50s %.1f ms evaluation, %.1f ms build and draw\n", "of which",
                    day.evaluate * 1000, day.build * 1000);
        Report("\"Auswertung\" of its last day, click to drawn curves",
               Format("%.1f ms (median)", days[days.size() / 2] * 1000), "<= 50 ms",
               days[days.size() / 2] <= 0.05 && day.fitted);
        PanAndWheel(year);
    }
    std::printf("peak memory of this benchmark: %.0f MiB\n", bench::PeakResidentMegabytes());
    return 0;
}
