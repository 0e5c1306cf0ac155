// Runs the real setup executable headless, as a user's session would run:
// a driver disk as the current folder, a C: drive, an input script, the
// virtual clock and a trace.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace corvane_test {

struct SetupResult {
    int exitStatus = -1; // the process's exit status; -1 when it did not exit by itself
    std::vector<std::string> trace;
    std::string errors; // what it wrote to stderr
    std::string output; // what it wrote to stdout

    // Trace lines that start with prefix.
    std::vector<std::string> calls(const std::string& prefix) const;
    bool traced(const std::string& line) const;
};

struct SetupRun {
    std::string disk;   // host folder mapped as D: and used as the current folder
    std::string cDrive; // host folder mapped as C:
    std::string script; // the input script's text
    std::vector<std::string> extraArgs;
    int timeoutSeconds = 120;
    // Run by this user instead (only when the tests run as root, which may
    // open any file): file permissions then bind the program as they bind a
    // user. 0: as the tests run.
    unsigned asUser = 0;
    // Called while the run lasts with what it has written to stderr so far
    // (a test that waits for the run to say something); may be empty.
    std::function<void(const std::string& errors)> watchErrors;

    SetupResult run() const;
};

} // namespace corvane_test
