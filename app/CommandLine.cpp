#include "app/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <new>
#include <utility>

#include <sys/stat.h>

#include "fileio/OutputFile.h"
#include "recording/DayStatistics.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "recording/SampleExport.h"
#include "recording/StatisticsExport.h"
#include "recording/WindowStatistics.h"
#include "res/Resources.h"

namespace kws::app {

namespace {

constexpr const char* kTimePattern = "%d/%m/%Y %H:%M:%S";

void PrintMessage(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
}

const char* LayoutName(int layoutFlag) {
    return layoutFlag == rec::kThreeCurveLayout ? "three-curve" : "six-curve";
}

int RunJob(const Options& o, const ExportFunction& exporter);

// One text output of an evaluation: the option that names its target and what fills it.
struct TextOutput {
    std::optional<std::string> Options::*target;
    std::function<bool(std::FILE*)> write;
};

// Writes every text output that has a target: a file through a temporary file beside it, so
// that a failure never leaves half a file, standard output and devices directly. Stops at the
// first failure, reported on standard error.
bool WriteTextOutputs(const Options& o, const std::vector<TextOutput>& outputs) {
    for (const TextOutput& output : outputs) {
        const std::optional<std::string>& target = o.*output.target;
        if (!target) continue;
        fileio::FileWriteError error;
        int errnoValue = 0;
        if (!fileio::WriteTextOutput(*target, output.write, error, errnoValue)) {
            PrintMessage(fileio::FileNotWrittenText(error, errnoValue, *target));
            return false;
        }
    }
    return true;
}

int ReportOpenFailure(const rec::OpenResult& r, const std::string& name) {
    switch (r.error) {
        case rec::OpenError::kNotRecording:
            PrintMessage(res::Format(110, name.c_str()));
            return kExitNotRecording;
        case rec::OpenError::kCannotOpen:
        case rec::OpenError::kReadError:
        default: PrintMessage(res::Format(108, name.c_str(), r.category)); return kExitCannotOpen;
    }
}

// Standard output is written through the C library's buffer: a full disk or a closed file shows
// only when it is flushed. A report that never arrived is a failure, not a success.
int FinishStandardOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return kExitOk;
    PrintMessage(std::string("standard output: ") + std::strerror(errno != 0 ? errno : EIO));
    return kExitCannotOpen;
}

// The output option whose target is the recording itself (the same file, under any name), or
// nullptr: writing it would replace the recording being read.
const char* OutputOnRecording(const Options& o, const std::vector<OutputOption>& outputs) {
    struct stat recording {};
    if (stat(o.file.c_str(), &recording) != 0 || !S_ISREG(recording.st_mode)) return nullptr;
    for (const OutputOption& output : outputs) {
        const std::optional<std::string>& target = o.*output.target;
        struct stat st {};
        if (target && stat(target->c_str(), &st) == 0 && st.st_dev == recording.st_dev &&
            st.st_ino == recording.st_ino) {
            return output.name;
        }
    }
    return nullptr;
}

}  // namespace

const std::vector<OutputOption> kOutputOptions = {
    {"--samples", &Options::samplesOut}, {"--image", &Options::imageOut},
    {"--pdf", &Options::pdfOut},         {"--draws", &Options::drawsOut},
    {"--daily", &Options::dailyOut},
};

bool WritesToStandardOutput(const Options& o) {
    for (const OutputOption& output : kOutputOptions) {
        const std::optional<std::string>& target = o.*output.target;
        if (target && fileio::IsStandardOutput(*target)) return true;
    }
    return false;
}

bool IsCommandLineTime(const std::string& text) {
    static constexpr char kForm[] = "99/99/9999 99:99:99";
    if (text.size() != sizeof kForm - 1) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kForm[i] == '9' ? !digit : text[i] != kForm[i]) return false;
    }
    auto field = [&text](size_t at, size_t digits) {
        int v = 0;
        for (size_t i = at; i < at + digits; ++i) v = v * 10 + (text[i] - '0');
        return v;
    };
    const int day = field(0, 2), month = field(3, 2), year = field(6, 4), hour = field(11, 2),
              minute = field(14, 2), second = field(17, 2);
    if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59) return false;
    // A day the month does not have (31/04, 29/02/2009) is a typing error, not a later date.
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day >= 1 && day <= days;
}

std::string UsageText() {
    return "Usage:\n"
           "  kwsekunde [--language CODE] [FILE]   start the program (and open FILE)\n"
           "  kwsekunde [--language CODE] --follow FILE\n"
           "                                       start the program, evaluate the whole\n"
           "                                       recording and follow the lines appended to it\n"
           "  kwsekunde --info FILE                print the facts of a recording\n"
           "  kwsekunde --evaluate FILE [--from \"DD/MM/YYYY HH:MM:SS\"] [--to \"DD/MM/YYYY "
           "HH:MM:SS\"]\n"
           "            [--samples OUT.tsv] [--image OUT.png|.jpg|.bmp|...] [--pdf OUT.pdf]\n"
           "            [--stats] [--draws OUT.tsv] [--daily OUT.tsv]\n"
           "            An output named - goes to standard output (the picture as PNG); the\n"
           "            summary and --stats then go to standard error. Devices and FIFOs are\n"
           "            written into; files are replaced only when complete.\n"
           "  kwsekunde --help | --version\n"
           "\n"
           "  --language CODE   0 English, 1 Spanish, 2 German, 3 French, 4 Italian, 5 Portuguese\n"
           "                    (default: the code in spra.ini of the current folder, else "
           "German)\n"
           "\n"
           "Exit codes: 0 success, 1 file cannot be opened or written, 2 usage error,\n"
           "            3 not a recording, 4 window outside the recording, 5 end before start,\n"
           "            6 out of memory.\n";
}

bool ParseArguments(const std::vector<std::string>& args, Options& o, std::string& error) {
    bool modeSet = false;
    auto setMode = [&](Mode m) {
        if (modeSet && o.mode != m) {
            error = "only one of --info, --evaluate, --help and --version may be given";
            return false;
        }
        o.mode = m;
        modeSet = true;
        return true;
    };
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::optional<std::string>& target) {
            if (i + 1 >= args.size()) {
                error = "option " + a + " needs a value";
                return false;
            }
            if (target) {
                error = "option " + a + " given twice";
                return false;
            }
            target = args[++i];
            return true;
        };
        if (a == "--help" || a == "-h") {
            if (!setMode(Mode::kHelp)) return false;
        } else if (a == "--version" || a == "-v") {
            if (!setMode(Mode::kVersion)) return false;
        } else if (a == "--info") {
            if (!setMode(Mode::kInfo)) return false;
        } else if (a == "--evaluate") {
            if (!setMode(Mode::kEvaluate)) return false;
        } else if (a == "--from") {
            if (!value(o.from)) return false;
        } else if (a == "--to") {
            if (!value(o.to)) return false;
        } else if (const auto output =
                       std::find_if(kOutputOptions.begin(), kOutputOptions.end(),
                                    [&a](const OutputOption& option) { return a == option.name; });
                   output != kOutputOptions.end()) {
            if (!value(o.*output->target)) return false;
        } else if (a == "--stats") {
            o.stats = true;
        } else if (a == "--follow") {
            o.follow = true;
        } else if (a == "--language") {
            std::optional<std::string> code;
            if (!value(code)) return false;
            char* end = nullptr;
            errno = 0;
            long v = std::strtol(code->c_str(), &end, 10);
            if (code->empty() || *end != '\0' || errno != 0 || v < 0 || v > 1000) {
                error =
                    "--language needs a number (0 English, 1 Spanish, 2 German, 3 French, "
                    "4 Italian, 5 Portuguese)";
                return false;
            }
            o.language = static_cast<int>(v);
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            error = "unknown option " + a;
            return false;
        } else {
            if (!o.file.empty()) {
                error = "more than one file given";
                return false;
            }
            o.file = a;
        }
    }
    bool windowOrOutputs = o.from || o.to || o.stats;
    // Standard output carries one output only: two of them would be mixed into each other.
    const char* toStandardOutput = nullptr;
    for (const OutputOption& output : kOutputOptions) {
        const std::optional<std::string>& target = o.*output.target;
        if (!target) continue;
        windowOrOutputs = true;
        if (!fileio::IsStandardOutput(*target)) continue;
        if (toStandardOutput != nullptr) {
            error = std::string(toStandardOutput) + " and " + output.name +
                    " both write to standard output; only one output may go there";
            return false;
        }
        toStandardOutput = output.name;
    }
    if (windowOrOutputs && o.mode != Mode::kEvaluate) {
        error =
            "--from, --to, --samples, --image, --pdf, --stats, --draws and --daily belong to "
            "--evaluate";
        return false;
    }
    if (o.follow && o.mode != Mode::kGui) {
        error = "--follow starts the program; it cannot be combined with --info or --evaluate";
        return false;
    }
    if ((o.mode == Mode::kInfo || o.mode == Mode::kEvaluate || o.follow) && o.file.empty()) {
        error = "no recording file given";
        return false;
    }
    for (const auto& [name, value] : {std::pair{"--from", &o.from}, std::pair{"--to", &o.to}}) {
        if (*value && !IsCommandLineTime(**value)) {
            error = std::string(name) +
                    ": expected \"DD/MM/YYYY HH:MM:SS\" (four-digit year, 24-hour clock), got \"" +
                    **value + "\"";
            return false;
        }
    }
    return true;
}

int RunHeadless(const Options& o, const ExportFunction& exporter) {
    try {
        return RunJob(o, exporter);
    } catch (const std::bad_alloc&) {
        PrintMessage(res::Format(150));
        return kExitOutOfMemory;
    }
}

namespace {

int RunJob(const Options& o, const ExportFunction& exporter) {
    rec::Recording recording;
    const rec::OpenResult opened = recording.Open(o.file);
    if (!opened.Ok()) return ReportOpenFailure(opened, rec::FileNamePart(o.file));
    const rec::RecordingFacts& facts = recording.Facts();

    if (o.mode == Mode::kInfo) {
        std::printf(
            "file=%s\nheader_lines=%d\nlayout=%s\nlayout_flag=%d\nstart=%s\nend=%s\n"
            "start_epoch=%lld\nend_epoch=%lld\n",
            facts.fileName.c_str(), facts.headerLines, LayoutName(facts.layoutFlag),
            facts.layoutFlag, rec::FormatLocalTime(facts.startTime, kTimePattern).c_str(),
            rec::FormatLocalTime(facts.endTime, kTimePattern).c_str(),
            static_cast<long long>(facts.startTime), static_cast<long long>(facts.endTime));
        return FinishStandardOutput();
    }
    if (const char* option = OutputOnRecording(o, kOutputOptions)) {
        PrintMessage(std::string(option) + ": the output would replace the recording " + o.file);
        return kExitUsage;
    }

    int64_t from = facts.startTime, to = facts.endTime;
    if (o.from && !rec::ParseLocalDateTime(*o.from, from)) {
        PrintMessage("--from: expected \"DD/MM/YYYY HH:MM:SS\", got \"" + *o.from + "\"");
        return kExitUsage;
    }
    if (o.to && !rec::ParseLocalDateTime(*o.to, to)) {
        PrintMessage("--to: expected \"DD/MM/YYYY HH:MM:SS\", got \"" + *o.to + "\"");
        return kExitUsage;
    }
    if ((o.imageOut || o.pdfOut) && !exporter) {
        PrintMessage("--image and --pdf are not available in this build");
        return kExitUsage;
    }
    switch (rec::CheckWindow(from, to, facts.startTime, facts.endTime)) {
        case rec::WindowCheck::kEndBeforeStart:
            PrintMessage(res::Format(106));
            return kExitEndBeforeStart;
        case rec::WindowCheck::kOutsideRecording:
            PrintMessage(res::Format(105));
            return kExitOutsideWindow;
        case rec::WindowCheck::kOk: break;
    }

    rec::SampleArray samples;
    rec::SampleMarks marks;
    rec::EvaluationOptions options;
    options.map = &recording.Map();
    const rec::EvaluationStatus status = rec::Evaluate(
        recording.Source(), facts.headerLines, facts.layoutFlag, from, to, samples, marks, options);
    if (status.outOfMemory) throw std::bad_alloc();
    if (!status.ok) {
        rec::OpenResult r;
        r.error = rec::OpenError::kReadError;
        r.category = rec::kErrHardIO;
        return ReportOpenFailure(r, facts.fileName);
    }

    rec::WindowStatistics statistics;
    std::vector<rec::DrawEvent> draws;
    if (o.stats || o.drawsOut) {
        statistics = rec::ComputeStatistics(samples, marks, facts.layoutFlag, 0, samples.size(),
                                            o.drawsOut ? &draws : nullptr);
    }
    std::vector<rec::DayStatistics> days;
    if (o.dailyOut) {
        days = rec::ComputeDailyStatistics(samples, marks, facts.layoutFlag, 0, samples.size());
    }
    const std::vector<TextOutput> textOutputs = {
        {&Options::samplesOut, [&](std::FILE* out) { return rec::WriteSamplesTsv(out, samples); }},
        {&Options::drawsOut, [&](std::FILE* out) { return rec::WriteDrawsTsv(out, draws); }},
        {&Options::dailyOut,
         [&](std::FILE* out) { return rec::WriteDailyTsv(out, days, facts.layoutFlag); }},
    };
    if (!WriteTextOutputs(o, textOutputs)) return kExitCannotOpen;
    if (o.imageOut || o.pdfOut) {
        EvaluationJob job{facts.layoutFlag, &samples, o.imageOut.value_or(""),
                          o.pdfOut.value_or("")};
        const std::string error = exporter(job);
        if (!error.empty()) {
            PrintMessage(error);
            return kExitCannotOpen;
        }
    }
    // With an output on standard output, it carries that output only.
    std::FILE* report = WritesToStandardOutput(o) ? stderr : stdout;
    std::fprintf(report, "samples=%zu from=%s to=%s layout=%s\n", samples.size(),
                 rec::FormatLocalTime(from, kTimePattern).c_str(),
                 rec::FormatLocalTime(to, kTimePattern).c_str(), LayoutName(facts.layoutFlag));
    if (o.stats) {
        // Curve names as the graph shows them in the current language.
        std::vector<std::string> names;
        for (const int id : rec::CurveNameIds(facts.layoutFlag)) names.push_back(res::Format(id));
        std::fputs(rec::StatisticsLines(statistics, names).c_str(), report);
    }
    return FinishStandardOutput();
}

}  // namespace

}  // namespace kws::app
