// The headless command line, run as a real process on generated recordings.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <dirent.h>
#include <cerrno>
#include <cstring>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "bench/RecordingGenerator.h"
#include "recording/Evaluation.h"
#include "recording/Recording.h"
#include "recording/SampleExport.h"
#include "tests/app/ProgramRun.h"
#include "tests/image/ImageTestSupport.h"
#include "tests/recording/TestSupport.h"

using kws::test::TempFile;

namespace {

using Result = kws::test::ProgramResult;
using kws::test::RunProgram;

std::map<std::string, std::string> KeyValues(const std::string& text) {
    std::map<std::string, std::string> m;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) m[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return m;
}

std::string Generated(int layout, int64_t seconds) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::bench::GeneratorOptions o;
    o.layoutFlag = layout;
    o.seconds = seconds;
    o.startTime = kws::bench::LocalEpoch(2009, 3, 28, 22, 0, 0);
    return kws::bench::GenerateRecording(o);
}

const std::string kSamplePath = KWS_SOURCE_DIR "/examples/six-curve-sample.txt";
const std::string kSample = "--evaluate '" + kSamplePath + "'";

// The samples of `path` from `from` to `to` (the whole recording where not given) as --samples
// writes them, made in this process from the evaluation itself; `count` gets their number.
std::string SamplesTsv(const std::string& path, std::optional<int64_t> from = {},
                       std::optional<int64_t> to = {}, size_t* count = nullptr) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    kws::rec::Recording recording;
    EXPECT_TRUE(recording.Open(path).Ok());
    const auto& f = recording.Facts();
    kws::rec::SampleArray samples;
    kws::rec::Evaluate(recording.Source(), f.headerLines, f.layoutFlag, from.value_or(f.startTime),
                       to.value_or(f.endTime), samples);
    if (count != nullptr) *count = samples.size();
    char* data = nullptr;
    size_t size = 0;
    FILE* mem = open_memstream(&data, &size);
    kws::rec::WriteSamplesTsv(mem, samples);
    fclose(mem);
    std::string text(data, size);
    free(data);
    return text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(d);
    return names;
}

std::string RandomBytes(size_t n) {
    std::mt19937 random(5);
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

}  // namespace

TEST(CommandLine, ParsesOptionsAndRefusesNonsense) {
    using namespace kws::app;
    Options o;
    std::string error;
    ASSERT_TRUE(ParseArguments({"kwsekunde", "--evaluate", "f.txt", "--from", "01/02/2009 10:00:00",
                                "--samples", "x.tsv", "--language", "3"},
                               o, error));
    EXPECT_EQ(o.mode, Mode::kEvaluate);
    EXPECT_EQ(o.file, "f.txt");
    EXPECT_EQ(*o.from, "01/02/2009 10:00:00");
    EXPECT_EQ(*o.language, 3);
    Options g;
    ASSERT_TRUE(ParseArguments({"kwsekunde", "rec.txt"}, g, error));
    EXPECT_EQ(g.mode, Mode::kGui);
    EXPECT_EQ(g.file, "rec.txt");
    EXPECT_FALSE(g.follow);
    Options f;
    ASSERT_TRUE(ParseArguments({"kwsekunde", "--follow", "rec.txt"}, f, error));
    EXPECT_EQ(f.mode, Mode::kGui);
    EXPECT_TRUE(f.follow);
    EXPECT_EQ(f.file, "rec.txt");
    Options bad;
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--follow"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--follow", "--info", "a"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--info"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--info", "a", "--evaluate"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--samples", "x", "a.txt"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--bogus"}, bad, error));
    EXPECT_FALSE(ParseArguments({"kwsekunde", "--language", "de"}, bad, error));
}

TEST(CommandLine, InfoPrintsTheFactsOfBothLayouts) {
    for (int layout : {0, 1}) {
        TempFile file(Generated(layout, 3 * 3600), layout ? "three.txt" : "six.txt");
        const Result r = RunProgram("--info '" + file.Path() + "'");
        ASSERT_EQ(r.exitCode, 0) << r.err;
        auto kv = KeyValues(r.out);
        EXPECT_EQ(kv.size(), 8u);
        EXPECT_EQ(kv["file"], layout ? "three.txt" : "six.txt");
        EXPECT_EQ(kv["header_lines"], "2");
        EXPECT_EQ(kv["layout"], layout ? "three-curve" : "six-curve");
        EXPECT_EQ(kv["layout_flag"], std::to_string(layout));
        EXPECT_EQ(kv["start"], "28/03/2009 22:00:01");
        EXPECT_EQ(kv["end"], "29/03/2009 00:59:59");
        kws::test::ScopedTimeZone zone("Europe/Berlin");
        EXPECT_EQ(kv["start_epoch"], std::to_string(kws::bench::LocalEpoch(2009, 3, 28, 22, 0, 1)));
    }
}

TEST(CommandLine, EvaluateWritesTheSamplesOfTheWindow) {
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    TempFile file(Generated(0, 3 * 3600));
    const std::string tsv = file.Dir() + "/out.tsv";
    const Result r =
        RunProgram("--evaluate '" + file.Path() + "' --from '28/03/2009 23:00:00' --to " +
                   "'29/03/2009 00:30:00' --samples '" + tsv + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("from=28/03/2009 23:00:00 to=29/03/2009 00:30:00 layout=six-curve"),
              std::string::npos);

    // The same evaluation in this process gives the same lines.
    size_t count = 0;
    EXPECT_EQ(ReadFile(tsv), SamplesTsv(file.Path(), kws::bench::LocalEpoch(2009, 3, 28, 23, 0, 0),
                                        kws::bench::LocalEpoch(2009, 3, 29, 0, 30, 0), &count));
    EXPECT_NE(r.out.find("samples=" + std::to_string(count)), std::string::npos);
    std::remove(tsv.c_str());
}

TEST(CommandLine, ImageAndPageOfTheBundledSample) {
    char dir[] = "/tmp/kws_cli_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string png = std::string(dir) + "/graph.png", pdf = std::string(dir) + "/page.pdf";
    const Result r = RunProgram(kSample + " --image '" + png + "' --pdf '" + pdf + "'");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(kws::test::Capture("identify -format '%w x %h' '" + png + "'"), "1280 x 1024");
    EXPECT_NE(kws::test::Capture("pdftotext '" + pdf + "' -").find("Legende"), std::string::npos);
    EXPECT_EQ(RunProgram(kSample + " --image '" + dir + "/graph.xyz'").exitCode, 1);
    std::system((std::string("rm -rf ") + dir).c_str());
}

TEST(CommandLine, ExitCodesAndMessages) {
    TempFile file(Generated(1, 600));
    TempFile notRecording("a,b,c\n1,2,3\n", "list.csv");
    const std::string evaluate = "--evaluate '" + file.Path() + "'";
    const struct {
        std::string arguments;
        int exitCode;
        std::string message;
    } cases[] = {
        {"--info /tmp/kws-no-such-file.txt", 1,
         "Es war nicht möglich, Datei kws-no-such-file.txt zu öffnen, error = 2"},
        {"--evaluate '" + notRecording.Path() + "'", 3,
         "Die Datei 'list.csv' ist keine korrekte TXT-Aufzeichnung der CaloraControl2"},
        {evaluate + " --from '01/01/2001 00:00:00'", 4, "Das eingegebene Datum ist falsch."},
        {evaluate + " --from '28/03/2009 22:05:00' --to '28/03/2009 22:01:00'", 5,
         "Das Enddatum ist kleiner als das Anfangdatum."},
        {"--evaluate", 2, ""},
        {evaluate + " --from yesterday", 2, ""},
        {"--frobnicate", 2, ""},
        {"--help", 0, ""},
        {"--info '" + file.Dir() + "'", 1, ""},
    };
    for (const auto& c : cases) {
        const Result r = RunProgram(c.arguments);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
    }
    const Result r = RunProgram("--version");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.rfind("kwsekunde ", 0), 0u);
}

TEST(CommandLine, ASaveThatFailsPartWayKeepsTheOldPicture) {
    // A file-size limit (as on a full disk; SIGXFSZ ignored, so the write fails with EFBIG) far
    // below the picture: PNG through Qt's writer, BMP through the program's own codec.
    // The samples go the same way.
    for (const auto& [option, name] : {std::pair{"image", "old.png"}, std::pair{"image", "old.bmp"},
                                       std::pair{"samples", "old.tsv"}}) {
        TempFile old(RandomBytes(50000), name);
        const Result r = RunProgram(kSample + " --" + option + " '" + old.Path() + "'",
                                    "trap '' XFSZ; ulimit -f 20; ");
        EXPECT_EQ(r.exitCode, 1) << name;
        if (std::string(option) == "image") {
            EXPECT_NE(
                r.err.find(std::string("Die Datei ") + old.Path() + " wurde nicht gespeichert."),
                std::string::npos)
                << r.err;
        }
        EXPECT_NE(r.err.find(std::strerror(EFBIG)), std::string::npos) << r.err;
        EXPECT_EQ(ReadFile(old.Path()), RandomBytes(50000)) << name;
        EXPECT_EQ(FilesIn(old.Dir()), std::vector<std::string>{name}) << "a temporary file is left";
    }
}

TEST(CommandLine, EachUnwritableTargetHasItsOwnReason) {
    TempFile dir("", "placeholder");
    struct Case {
        std::string target, message;
    } cases[] = {
        {dir.Dir() + "/missing/graph.png", "Der Ordner " + dir.Dir() + "/missing existiert nicht."},
        {"/sys/kws-graph.png",
         "Im Ordner /sys dürfen keine Dateien angelegt werden (schreibgeschützt)."},
        {dir.Dir() + "/folder.png", dir.Dir() + "/folder.png ist ein Ordner, keine Datei."},
        // A folder named without an extension is still a folder, not an unknown format.
        {dir.Dir() + "/pictures", dir.Dir() + "/pictures ist ein Ordner, keine Datei."},
        {dir.Dir() + "/graph.xyz",
         "Die Dateiendung von graph.xyz ist unbekannt. Bilder werden als png, jpg, bmp, tga, "
         "gif, tif oder ico gespeichert."},
    };
    ASSERT_EQ(mkdir((dir.Dir() + "/folder.png").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir.Dir() + "/pictures").c_str(), 0700), 0);
    for (const Case& c : cases) {
        const Result r = RunProgram(kSample + " --image '" + c.target + "'");
        EXPECT_EQ(r.exitCode, 1) << c.target;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(FilesIn(dir.Dir()).size(), 3u);  // the placeholder and the folders, nothing else
    rmdir((dir.Dir() + "/folder.png").c_str());
    rmdir((dir.Dir() + "/pictures").c_str());
}

TEST(CommandLine, RunningOutOfMemoryEndsWithExitCodeSix) {
    // Twenty lines, a gap of 300 days, twenty lines; a window of 200 days into the gap is padded
    // one record a second: 17 million samples, about 1 GB, more than the limit allows.
    kws::test::ScopedTimeZone zone("Europe/Berlin");
    std::string text;
    for (int i = 0; i < 40; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%02d.%02d.09\t10:00:%02d", i < 20 ? 10 : 6,
                      i < 20 ? 1 : 11, i % 20);
        text += line + std::string("\t50\t50\t50\t50\t50\t50\t50\t50\t50\t50\t50\t50\n");
    }
    TempFile file(text);
    for (const std::string& image : {std::string(), " --image '" + file.Dir() + "/g.png'"}) {
        const Result r =
            RunProgram("--evaluate '" + file.Path() + "' --to '30/07/2009 10:00:00'" + image,
                       "ulimit -v 600000; ");
        EXPECT_EQ(r.exitCode, 6) << r.err;
        EXPECT_NE(r.err.find("Nicht genügend Arbeitsspeicher."), std::string::npos) << r.err;
    }
    // So little memory that threads for drawing cannot all be started: the program still ends,
    // with exit code 6 (`timeout` turns a wait for a thread that never started into 124; an
    // uncaught failure is 134). 127: the system could not even load the program's libraries.
    for (const char* limit : {"90000", "100000"}) {
        const Result r = RunProgram(kSample + " --image '" + file.Dir() + "/s.png'",
                                    std::string("ulimit -v ") + limit + "; timeout 60 ");
        EXPECT_TRUE(r.exitCode == 6 || r.exitCode == 127) << limit << ": " << r.exitCode << r.err;
        if (r.exitCode == 6) {
            EXPECT_NE(r.err.find("Nicht genügend Arbeitsspeicher."), std::string::npos) << r.err;
        }
    }
}

TEST(CommandLine, DevicesAndPipesAreRefusedAtOnce) {
    TempFile dir("", "placeholder");
    const std::string fifo = dir.Dir() + "/pipe.txt";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // A socket in the file system (opening one fails with its own error).
    const std::string socketPath = dir.Dir() + "/socket.txt";
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // Without a writer a pipe never ends and /dev/zero never ends either: `timeout` turns a
    // program that waits into a failure instead of a test that hangs.
    for (const std::string& path : {std::string("/dev/zero"), fifo, socketPath}) {
        const Result r = RunProgram("--info '" + path + "'", "timeout 10 ");
        EXPECT_EQ(r.exitCode, 1) << path;
        const std::string name = path.substr(path.rfind('/') + 1);
        EXPECT_NE(r.err.find("Es war nicht möglich, Datei " + name + " zu öffnen, error = 6"),
                  std::string::npos)
            << r.err;
    }
    std::remove(fifo.c_str());
    ::close(s);
    std::remove(socketPath.c_str());
}

TEST(CommandLine, WindowTimesNeedTheFullForm) {
    using namespace kws::app;
    EXPECT_TRUE(IsCommandLineTime("03/06/2008 10:30:00"));
    EXPECT_TRUE(IsCommandLineTime("31/12/1999 23:59:59"));
    EXPECT_TRUE(IsCommandLineTime("29/02/2008 10:00:00"));  // a leap year
    EXPECT_TRUE(IsCommandLineTime("29/02/2000 10:00:00"));
    for (const char* bad : {"12/03/09 10:00:05", "3/6/2008 10:30:00", "03.06.2008 10:30:00",
                            "03/06/2008 10:30", "03/06/2008 24:00:00", "00/06/2008 10:30:00",
                            "03/13/2008 10:30:00", "03/06/2008 10:60:00", " 03/06/2008 10:30:00",
                            "03/06/2008 10:30:00 ", "03/06/20080 10:30:00",
                            // Days the month does not have.
                            "31/04/2009 10:00:00", "29/02/2009 10:00:00", "30/02/2008 10:00:00",
                            "29/02/1900 10:00:00"}) {
        EXPECT_FALSE(IsCommandLineTime(bad)) << bad;
    }
    TempFile file(Generated(1, 600));
    const Result r = RunProgram("--evaluate '" + file.Path() + "' --from '12/03/09 10:00:05'");
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("--from: expected \"DD/MM/YYYY HH:MM:SS\""), std::string::npos) << r.err;
    EXPECT_EQ(RunProgram("--evaluate '" + file.Path() + "' --to '28/03/2009 22:05'").exitCode, 2);
    // An option given twice is a usage error, not a silent choice of the last one.
    const Result twice = RunProgram("--evaluate '" + file.Path() +
                                    "' --from '28/03/2009 22:00:00' --from '28/03/2009 22:01:00'");
    EXPECT_EQ(twice.exitCode, 2);
    EXPECT_NE(twice.err.find("--from given twice"), std::string::npos) << twice.err;
}

TEST(CommandLine, OutputsAreWrittenIntoStreamsAndDevices) {
    const bool root = geteuid() == 0;
    const std::string samples = SamplesTsv(kSamplePath);
    struct Case {
        std::string target;  // "fifo", "null" and "full" are made in a temporary folder
        int exitCode;
        bool onStandardOutput;  // the samples come on standard output, the summary on stderr
        std::string message;
    } cases[] = {
        {"-", 0, true, ""},
        {"/dev/stdout", 0, true, ""},
        {"fifo", 0, false, ""},
        {"null", 0, false, ""},
        {"full", 1, false, std::strerror(ENOSPC)},
    };
    for (const Case& c : cases) {
        const bool device = c.target == "null" || c.target == "full";
        if (device && !root) continue;  // only the superuser makes device nodes
        TempFile dir("", "placeholder");
        std::string target = c.target;
        if (c.target == "fifo" || device) target = dir.Dir() + "/node";
        const dev_t node = makedev(1, c.target == "null" ? 3 : 7);
        ASSERT_EQ(c.target == "fifo" ? mkfifo(target.c_str(), 0600)
                  : device           ? mknod(target.c_str(), S_IFCHR | 0666, node)
                                     : 0,
                  0)
            << c.target;
        struct stat before {};
        stat(target.c_str(), &before);
        // A reader that gives up after a while: a pipe that was replaced never gets a writer.
        std::string received;
        std::thread reader([&] {
            if (c.target == "fifo")
                received = kws::test::Capture("timeout 30 cat '" + target + "'");
        });
        const Result r = RunProgram(kSample + " --samples '" + target + "'", "timeout 60 ");
        reader.join();
        EXPECT_EQ(r.exitCode, c.exitCode) << c.target << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.target << ": " << r.err;
        if (c.exitCode == 0) {
            const std::string& summaryOn = c.onStandardOutput ? r.err : r.out;
            EXPECT_EQ(summaryOn.rfind("samples=10622 ", 0), 0u) << c.target;
        }
        if (c.onStandardOutput || c.target == "fifo") {
            EXPECT_EQ(c.onStandardOutput ? r.out : received, samples) << c.target;
        }
        if (target != c.target) {
            // The node is the one that was there, and nothing was put beside it.
            struct stat after {};
            ASSERT_EQ(stat(target.c_str(), &after), 0) << c.target;
            EXPECT_EQ(after.st_ino, before.st_ino) << c.target;
            EXPECT_EQ(after.st_mode, before.st_mode) << c.target;
            EXPECT_EQ(after.st_rdev, before.st_rdev) << c.target;
            EXPECT_EQ(FilesIn(dir.Dir()).size(), 2u) << c.target;
            std::remove(target.c_str());
        }
    }
}

TEST(CommandLine, StandardOutputCarriesOneOutput) {
    struct Case {
        std::string outputs;
        int exitCode;
        const char* magic;  // how standard output starts
    } cases[] = {
        {"--image -", 0, "\x89PNG\r\n\x1a\n"}, {"--image /dev/stdout", 0, "\x89PNG\r\n\x1a\n"},
        {"--pdf - --stats", 0, "%PDF-"},       {"--draws - --stats", 0, "start\t"},
        {"--samples - --image -", 2, ""},      {"--draws /dev/stdout --samples -", 2, ""},
    };
    for (const Case& c : cases) {
        const Result r = RunProgram(kSample + " " + c.outputs, "timeout 120 ");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.outputs << ": " << r.err;
        EXPECT_EQ(r.out.rfind(c.magic, 0), 0u) << c.outputs;
        if (c.exitCode != 0) {
            EXPECT_NE(r.err.find("both write to standard output"), std::string::npos) << r.err;
            continue;
        }
        EXPECT_NE(r.err.find("samples=10622 "), std::string::npos) << c.outputs;
        if (c.outputs.find("--stats") != std::string::npos) {
            EXPECT_NE(r.err.find("recorded_seconds="), std::string::npos) << c.outputs;
        }
    }
    // The picture is the one a file would get: 1280 x 1024 (width and height of the PNG header).
    const std::string png = RunProgram(kSample + " --image -").out;
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\x05\x00\0\0\x04\x00", 8));
}

TEST(CommandLine, NoReportIsLostAndNoOutputReplacesTheRecording) {
    TempFile recording(ReadFile(kSamplePath), "rec.txt");
    const std::string path = "'" + recording.Path() + "'";
    const std::string link = recording.Dir() + "/other-name.txt";
    ASSERT_EQ(::link(recording.Path().c_str(), link.c_str()), 0);
    const std::string full = recording.Dir() + "/full";
    const bool root = geteuid() == 0 && mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
    struct Case {
        std::string arguments;
        bool needsFullDevice;
        int exitCode;
        const char* message;
    } cases[] = {
        {"--evaluate " + path + " --draws " + path, false, 2, "--draws: the output would replace"},
        {"--evaluate " + path + " --samples '" + link + "'", false, 2,
         "--samples: the output would replace"},
        {"--evaluate " + path + " --stats > '" + full + "'", true, 1, std::strerror(ENOSPC)},
        {"--info " + path + " > '" + full + "'", true, 1, std::strerror(ENOSPC)},
    };
    const std::string before = ReadFile(recording.Path());
    for (const Case& c : cases) {
        if (c.needsFullDevice && !root) continue;  // only the superuser makes device nodes
        const Result r = RunProgram(c.arguments, "timeout 60 ");
        EXPECT_EQ(r.exitCode, c.exitCode) << c.arguments << ": " << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << ": " << r.err;
        EXPECT_EQ(ReadFile(recording.Path()), before) << c.arguments;
    }
    std::remove(link.c_str());
    std::remove(full.c_str());
}
