// The command line of kwsekunde: parsing, and the jobs that run without a display.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recording/SampleRecord.h"

namespace kws::app {

enum class Mode { kGui, kInfo, kEvaluate, kHelp, kVersion };

struct Options {
    Mode mode = Mode::kGui;
    std::string file;  // recording (GUI: opened right after start)
    std::optional<std::string> from, to;
    // Output targets: a file, "-" for standard output, or a device or FIFO written into.
    std::optional<std::string> samplesOut, imageOut, pdfOut;
    bool stats = false;                   // --stats: the window's figures after the summary line
    std::optional<std::string> drawsOut;  // --draws OUT.tsv: one line per draw event
    std::optional<std::string> dailyOut;  // --daily OUT.tsv: one line per local day ("-": stdout)
    std::optional<int> language;          // --language CODE
    bool follow = false;                  // --follow FILE: evaluate it whole and follow it
};

// The options that name an output target, with where their target is kept.
struct OutputOption {
    const char* name;
    std::optional<std::string> Options::*target;
};
extern const std::vector<OutputOption> kOutputOptions;

// Whether an output of `options` goes to standard output; the summary line and the figures of
// --stats then go to standard error.
bool WritesToStandardOutput(const Options& options);

// Exit codes of the headless jobs.
enum ExitCode {
    kExitOk = 0,
    kExitCannotOpen = 1,  // message 108
    kExitUsage = 2,
    kExitNotRecording = 3,    // message 110
    kExitOutsideWindow = 4,   // message 105
    kExitEndBeforeStart = 5,  // message 106
    kExitOutOfMemory = 6,     // message 150
};

// Whether `text` is a time of --from and --to: exactly "DD/MM/YYYY HH:MM:SS" (four-digit year,
// two digits for every other field) with fields in their ranges.
bool IsCommandLineTime(const std::string& text);

// Parses argv; on a usage error returns false and fills `error`.
bool ParseArguments(const std::vector<std::string>& args, Options& options, std::string& error);

std::string UsageText();

// What an evaluation of the command line produced, for the writers of images and pages.
struct EvaluationJob {
    int layoutFlag;
    const rec::SampleArray* samples;
    std::string imagePath;  // empty: none wanted
    std::string pdfPath;
};

// Writes the picture and the printed page of an evaluation; returns an error text, empty on
// success, and throws std::bad_alloc when memory runs out. Installed by the graphical part of
// the program.
using ExportFunction = std::function<std::string(const EvaluationJob&)>;

// Runs --info and --evaluate. `exporter` may be empty when images and pages are not available.
int RunHeadless(const Options& options, const ExportFunction& exporter);

}  // namespace kws::app
