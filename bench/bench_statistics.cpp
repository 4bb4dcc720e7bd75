// The window statistics against the evaluation they follow: a six-curve recording of a month
// (every second a sample) and of a year (thinned to every 8th second), each evaluated whole and
// then its statistics computed with the draw list, as the statistics window and --stats do. The
// statistics may cost at most 10 % of the evaluation, and so may the per-day statistics of the
// same window (the day overview and --daily).
//
//   bench_statistics [--days D1,D2,...] [--runs N] [--folder PATH]
#include <sys/stat.h>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchUtil.h"
#include "bench/RecordingGenerator.h"
#include "recording/DayStatistics.h"
#include "recording/Evaluation.h"
#include "recording/ParallelScan.h"
#include "recording/Recording.h"
#include "recording/WindowStatistics.h"

using namespace kws;

int main(int argc, char** argv) {
    std::vector<double> lengths = {30, 365};
    int runs = 3;
    std::string folder = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--days")) {
            lengths.clear();
            std::istringstream in(argv[i + 1]);
            std::string item;
            while (std::getline(in, item, ',')) lengths.push_back(std::atof(item.c_str()));
        }
        if (!std::strcmp(argv[i], "--runs")) runs = std::atoi(argv[i + 1]);
        if (!std::strcmp(argv[i], "--folder")) folder = argv[i + 1];
    }
    bool allMet = true;
    for (const double days : lengths) {
        const std::string file =
            folder + "/kws_bench_statistics_" + std::to_string(static_cast<int>(days)) + "d.txt";
        std::FILE* f = std::fopen(file.c_str(), "wb");
        if (f == nullptr) {
            std::perror(file.c_str());
            return 1;
        }
        const double genStart = bench::Now();
        const int64_t lines = bench::GenerateRecording(bench::BenchRecordingOptions(days), f);
        std::fclose(f);
        struct stat st;
        stat(file.c_str(), &st);
        std::printf("%g days: %lld lines, %.0f MB (generated in %.1f s)\n", days,
                    static_cast<long long>(lines), st.st_size / 1e6, bench::Now() - genStart);

        rec::Recording recording;
        if (!recording.Open(file).Ok()) {
            std::fprintf(stderr, "cannot open %s\n", file.c_str());
            return 1;
        }
        const rec::RecordingFacts facts = recording.Facts();
        bench::RunCommand("cat '" + file + "' > /dev/null");  // warm the page cache
        rec::SampleArray samples;
        rec::SampleMarks marks;
        const double evaluation = bench::MedianSeconds(runs, [&] {
            rec::Evaluate(recording.Source(), facts.headerLines, facts.layoutFlag, facts.startTime,
                          facts.endTime, samples, marks);
        });
        rec::WindowStatistics s;
        std::vector<rec::DrawEvent> draws;
        const double statistics = bench::MedianSeconds(runs * 3, [&] {
            draws.clear();
            s = rec::ComputeStatistics(samples, marks, facts.layoutFlag, 0, samples.size(), &draws);
        });
        // The least any pass can take: reading every sample once, on two threads.
        double sink = 0.0;
        const double reading = bench::MedianSeconds(runs * 3, [&] {
            double part[2] = {0.0, 0.0};
            rec::RunParts(2, [&](int p) {
                const size_t half = samples.size() / 2;
                const size_t from = p == 0 ? 0 : half, to = p == 0 ? half : samples.size();
                double acc[7] = {};
                for (size_t i = from; i < to; ++i) {
                    for (int k = 0; k < 6; ++k) acc[k] += samples[i].value[k];
                    acc[6] += static_cast<double>(samples[i].time);
                }
                for (double v : acc) part[p] += v;
            });
            sink += part[0] + part[1];
        });
        const double oneThread = bench::MedianSeconds(runs * 3, [&] {
            draws.clear();
            rec::StatisticsOptions one;
            one.twoThreadsFrom = SIZE_MAX;
            s = rec::ComputeStatistics(samples, marks, facts.layoutFlag, 0, samples.size(), &draws,
                                       one);
        });
        std::vector<rec::DayStatistics> dayFigures;
        const double daily = bench::MedianSeconds(runs * 3, [&] {
            dayFigures =
                rec::ComputeDailyStatistics(samples, marks, facts.layoutFlag, 0, samples.size());
        });
        const double ratio = statistics / evaluation;
        const double dailyRatio = daily / evaluation;
        allMet = allMet && ratio <= 0.10 && dailyRatio <= 0.10;
        std::printf("  samples %zu (%s), marked runs %zu, draws %zu\n", samples.size(),
                    marks.thinned ? "thinned, 8 s each" : "1 s each", marks.notData.size(),
                    draws.size());
        std::printf("  evaluation %8.4f s\n  statistics %8.4f s  (%.1f ns a sample)\n", evaluation,
                    statistics, statistics * 1e9 / static_cast<double>(samples.size()));
        std::printf("  statistics on one thread %8.4f s\n", oneThread);
        std::printf("  reading the samples once (the least a pass costs) %8.4f s = %.2f %%%s\n",
                    reading, reading / evaluation * 100.0, sink == 0.0 ? " " : "");
        std::printf("  statistics / evaluation = %.2f %%  (goal at most 10 %%: %s)\n",
                    ratio * 100.0, ratio <= 0.10 ? "met" : "MISSED");
        std::printf(
            "  per-day statistics (%zu days) %8.4f s = %.2f %% of the evaluation  (goal at "
            "most 10 %%: %s)\n",
            dayFigures.size(), daily, dailyRatio * 100.0, dailyRatio <= 0.10 ? "met" : "MISSED");
        std::remove(file.c_str());
    }
    return allMet ? 0 : 2;
}
