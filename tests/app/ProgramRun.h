// Runs the built kwsekunde as a real process and collects what it says.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace kws::test {

struct ProgramResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs kwsekunde with the given arguments (already quoted for the shell), in Europe/Berlin and
// the C locale, with nothing on its input; `prefix` goes before the program in the shell command
// (limits, `timeout`).
inline ProgramResult RunProgram(const std::string& arguments, const std::string& prefix = "") {
    const std::string program = std::string(KWS_BINARY_DIR) + "/bin/kwsekunde";
    char errPath[] = "/tmp/kws_err_XXXXXX";
    close(mkstemp(errPath));
    const std::string command = prefix + "env TZ=Europe/Berlin LC_ALL=C '" + program + "' " +
                                arguments + " 2>" + errPath + " </dev/null";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    std::ifstream e(errPath);
    std::stringstream err;
    err << e.rdbuf();
    std::remove(errPath);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out, err.str()};
}

}  // namespace kws::test
