// kwsekunde: evaluation of the per-second recordings of a heating and hot-water controller.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include <QApplication>
#include <QDir>

#include "app/CommandLine.h"
#include "app/Gui.h"
#include "app/HeadlessExport.h"
#include "app/Language.h"
#include "graphui/GraphExport.h"
#include "res/Resources.h"

#ifndef KWS_VERSION
#define KWS_VERSION "0.0.0"
#endif

namespace {

// No thread can be started: the message of an exhausted memory, in the chosen language.
int OutOfMemoryAtStart() {
    std::fprintf(stderr, "%s\n", kws::res::Format(150).c_str());
    std::fflush(nullptr);
    std::_Exit(kws::app::kExitOutOfMemory);
}

// Sets the application up; false when memory is exhausted already.
bool SetUp(QApplication& app) {
    try {
        return SetUpApplication(app);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kws::app;
    std::vector<std::string> args(argv, argv + argc);
    Options options;
    std::string error;
    if (!ParseArguments(args, options, error)) {
        std::fprintf(stderr, "kwsekunde: %s\n\n%s", error.c_str(), UsageText().c_str());
        return kExitUsage;
    }
    switch (options.mode) {
        case Mode::kHelp: std::fputs(UsageText().c_str(), stdout); return kExitOk;
        case Mode::kVersion: std::printf("kwsekunde %s\n", KWS_VERSION); return kExitOk;
        default: break;
    }
    if (options.mode == Mode::kGui) {
        KwsApplication app(argc, argv);
        if (!SetUp(app)) return OutOfMemoryAtStart();
        return LeaveApplication(
            RunGui(app, QString::fromStdString(options.file), options.language, options.follow));
    }
    // The language of the messages: --language, else the choice stored in the current folder.
    const int stored = ReadLanguageCode(LanguageFilePath(QDir::currentPath()));
    if (options.language) {
        kws::res::SelectLanguage(*options.language);
    } else if (stored >= 0) {
        kws::res::SelectLanguage(stored);
    }
    if (options.mode == Mode::kEvaluate && (options.imageOut || options.pdfOut)) {
        // Pictures and pages are drawn by the graph's widgets, offscreen: no screen needed.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        KwsApplication app(argc, argv);
        if (!SetUp(app)) return OutOfMemoryAtStart();
        return LeaveApplication(RunHeadless(options, &ExportEvaluation));
    }
    return RunHeadless(options, {});
}
