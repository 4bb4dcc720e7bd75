// gen_recording: writes a realistic recording of either layout to a file or standard output.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/RecordingGenerator.h"
#include "recording/SampleExport.h"

namespace {

void Usage() {
    std::fputs(
        "Usage: gen_recording [--layout three|six] [--days N | --hours N | --seconds N]\n"
        "                     [--start \"DD/MM/YYYY HH:MM:SS\"] [--header N] [--gaps N]\n"
        "                     [--four-digit-year] [--no-final-newline] [--seed N] [-o FILE]\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    kws::bench::GeneratorOptions o;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next = [&]() -> const char* {
            if (i + 1 >= argc) {
                Usage();
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--layout") {
            std::string v = next();
            o.layoutFlag = v == "three" ? 1 : 0;
        } else if (a == "--days") {
            o.seconds = static_cast<int64_t>(std::atof(next()) * 86400);
        } else if (a == "--hours") {
            o.seconds = static_cast<int64_t>(std::atof(next()) * 3600);
        } else if (a == "--seconds") {
            o.seconds = std::atoll(next());
        } else if (a == "--start") {
            if (!kws::rec::ParseLocalDateTime(next(), o.startTime)) {
                Usage();
                return 2;
            }
        } else if (a == "--header") {
            o.headerLines = std::atoi(next());
        } else if (a == "--gaps") {
            o.gaps = std::atoi(next());
        } else if (a == "--four-digit-year") {
            o.fourDigitYear = true;
        } else if (a == "--no-final-newline") {
            o.trailingNewline = false;
        } else if (a == "--seed") {
            o.seed = static_cast<uint32_t>(std::atol(next()));
        } else if (a == "-o") {
            output = next();
        } else {
            Usage();
            return 2;
        }
    }
    std::FILE* out = output ? std::fopen(output, "wb") : stdout;
    if (out == nullptr) {
        std::perror(output);
        return 1;
    }
    kws::bench::GenerateRecording(o, out);
    if (output) std::fclose(out);
    return 0;
}
