// Reading and evaluating a month-long six-curve recording, measured against `wc -l` on the
// same file in the same run.
//
//   bench_recording [--days N] [--file PATH] [--runs N]
#include <sys/stat.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/BenchUtil.h"
#include "bench/RecordingGenerator.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "recording/SampleExport.h"

using namespace kws;

int main(int argc, char** argv) {
    double days = 30;
    int runs = 5;
    std::string file = "/tmp/kws_bench_month.txt";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--days")) days = std::atof(argv[i + 1]);
        if (!std::strcmp(argv[i], "--file")) file = argv[i + 1];
        if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
    }
    const std::string program = bench::ProgramFolder(argv[0]) + "/kwsekunde";

    const bench::GeneratorOptions g = bench::BenchRecordingOptions(days);
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr) {
        std::perror(file.c_str());
        return 1;
    }
    const double genStart = bench::Now();
    const int64_t lines = bench::GenerateRecording(g, f);
    std::fclose(f);
    struct stat st;
    stat(file.c_str(), &st);
    const double mb = st.st_size / 1e6;
    std::printf("recording: %s, %lld data lines, %.1f MB (generated in %.2f s)\n", file.c_str(),
                static_cast<long long>(lines), mb, bench::Now() - genStart);

    // Warm the page cache, then time wc -l.
    bench::RunCommand("cat '" + file + "' > /dev/null");
    const double wc =
        bench::MedianSeconds(runs, [&] { bench::RunCommand("wc -l '" + file + "' > /dev/null"); });

    auto report = [&](const char* what, double seconds) {
        std::printf("%-44s %8.4f s  %8.0f MB/s  %6.2f x wc -l\n", what, seconds, mb / seconds,
                    seconds / wc);
    };
    report("wc -l", wc);

    rec::Recording recording;
    const double open = bench::MedianSeconds(runs, [&] {
        if (!recording.Open(file).Ok()) {
            std::fprintf(stderr, "cannot open the recording\n");
            std::exit(1);
        }
    });
    report("open (facts: header, layout, first/last time)", open);
    const rec::RecordingFacts facts = recording.Facts();

    rec::SampleArray samples;
    const double whole = bench::MedianSeconds(runs, [&] {
        rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
                      facts.endTime, samples);
    });
    report("evaluate the whole recording", whole);
    std::printf("  samples: %zu\n", samples.size());

    rec::SampleArray single;
    const double sequential = bench::MedianSeconds(runs, [&] {
        rec::EvaluationOptions o;
        o.threads = 1;
        rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
                      facts.endTime, single, o);
    });
    report("evaluate the whole recording, one thread", sequential);

    // Windows at the end, read through the map made while opening, and from the first line.
    rec::EvaluationOptions mapped;
    mapped.map = &recording.Map();
    std::printf("  map: %zu blocks\n", recording.Map().Blocks().size());
    rec::SampleArray hour;
    const int64_t hourStart = facts.endTime - 6 * 3600;
    const double lastHour = bench::MedianSeconds(runs, [&] {
        rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, hourStart,
                      hourStart + 3600, hour, mapped);
    });
    report("evaluate one hour of the last day (map)", lastHour);
    const int64_t dayStart = facts.endTime - 86399;
    const double lastDay = bench::MedianSeconds(runs, [&] {
        rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, dayStart,
                      facts.endTime, hour, mapped);
    });
    report("evaluate the last day (map)", lastDay);
    std::printf("  samples: %zu\n", hour.size());
    const double lastDayFull = bench::MedianSeconds(runs, [&] {
        rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, dayStart,
                      facts.endTime, hour);
    });
    report("evaluate the last day (from the first line)", lastDayFull);

    const std::string tsv = file + ".samples.tsv";
    const double write = bench::MedianSeconds(runs, [&] {
        std::FILE* out = std::fopen(tsv.c_str(), "wb");
        rec::WriteSamplesTsv(out, samples);
        std::fclose(out);
    });
    report("write the samples as TSV", write);

    if (access(program.c_str(), X_OK) == 0) {
        const double process = bench::MedianSeconds(runs, [&] {
            bench::RunCommand("'" + program + "' --evaluate '" + file + "' > /dev/null");
        });
        report("kwsekunde --evaluate (process, whole file)", process);
        const double processTsv = bench::MedianSeconds(runs, [&] {
            bench::RunCommand("'" + program + "' --evaluate '" + file + "' --samples '" + tsv +
                              "' > /dev/null");
        });
        report("kwsekunde --evaluate --samples (process)", processTsv);
        std::printf("goal: kwsekunde --evaluate within 5 x wc -l (aim 3 x): %s\n",
                    process <= 5 * wc ? (process <= 3 * wc ? "met, aim met" : "met") : "MISSED");
        const double info = bench::MedianSeconds(runs, [&] {
            bench::RunCommand("'" + program + "' --info '" + file + "' > /dev/null");
        });
        report("kwsekunde --info (process)", info);
        std::printf("goal: --info within 2 x wc -l: %s\n", info <= 2 * wc ? "met" : "MISSED");
        const std::string from = rec::FormatLocalTime(dayStart, "%d/%m/%Y %H:%M:%S");
        const std::string to = rec::FormatLocalTime(facts.endTime, "%d/%m/%Y %H:%M:%S");
        const double day = bench::MedianSeconds(runs, [&] {
            bench::RunCommand("'" + program + "' --evaluate '" + file + "' --from '" + from +
                              "' --to '" + to + "' > /dev/null");
        });
        report("kwsekunde --evaluate of the last day (process)", day);
        std::printf("  = %.2f x --info; goal: within 1.25 x: %s\n", day / info,
                    day <= 1.25 * info ? "met" : "MISSED");
    }
    std::remove(tsv.c_str());
    return 0;
}
