// Runs the setup executable as a user would and checks how a run ends.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvane_test {
namespace {

struct RunResult {
    int status = -1;
    std::string errors;
    std::string output;
};

// Runs setup with the arguments (already shell-quoted) and no display server.
RunResult runSetup(const TempDir& dir, const std::string& arguments) {
    std::string errors = dir / "stderr.txt";
    std::string output = dir / "stdout.txt";
    std::string command = "cd '" + dir.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                          std::string(CORVANE_SETUP_EXE) + "' " + arguments + " </dev/null 2>'" +
                          errors + "' >'" + output + "'";
    int raw = std::system(command.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.errors = hostFileExists(errors) ? readHostFile(errors) : "";
    result.output = hostFileExists(output) ? readHostFile(output) : "";
    return result;
}

TEST(HostRun, WithoutADisplayTheRunNeedsHeadless) {
    TempDir dir;
    RunResult run = runSetup(dir, "");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "setup: no display available; use --headless\n");
}

TEST(HostRun, ABadScriptEndsTheRunBeforeItStartsWithTheLineNumber) {
    TempDir dir;
    struct Row {
        const char* script;
        const char* expected;
    };
    const Row rows[] = {
        {"move 10 10\nwait 100\nclick here\n", "line 3: click needs two whole numbers X Y"},
        {"# ok\nkey f12\n", "line 2: key needs one of"},
        {"teleport 1 1\n", "line 1: unknown command \"teleport\""},
    };
    for (const Row& row : rows) {
        writeHostFile(dir / "script.txt", row.script);
        RunResult run = runSetup(dir, "--headless --input script.txt --trace trace.txt");
        EXPECT_EQ(run.status, 2) << row.script;
        EXPECT_NE(run.errors.find(std::string("script.txt: ") + row.expected), std::string::npos)
            << run.errors;
        // Nothing ran: the machine was never started.
        EXPECT_FALSE(hostFileExists(dir / "trace.txt"));
    }
}

TEST(HostRun, TheCommandLineAnswersWithTheRightStreamAndExitStatus) {
    TempDir dir;
    struct Row {
        const char* arguments;
        int status;
        const char* output; // what stdout starts with
        const char* errors; // what stderr starts with
        bool usage;         // the usage follows the error on stderr
    };
    const std::string version = std::string("setup (corvane) ") + CORVANE_VERSION + "\n";
    const Row rows[] = {
        {"--help", 0, "usage: setup [OPTION]...\nRuns the corvane", "", false},
        {"--headless --help", 0, "usage: setup [OPTION]...\n", "", false},
        {"--version", 0, version.c_str(), "", false},
        {"--bogus", 2, "",
         "setup: unknown option --bogus\nusage: setup [--drive X=DIR|IMAGE]... [--disk DIR|IMAGE]",
         true},
        {"--depth", 2, "", "setup: option --depth needs a value (BITS)\n", true},
        {"--headless --screen 10x10", 2, "",
         "setup: option --screen: \"10x10\" is not WIDTHxHEIGHT", true},
        {"--headless --input missing.txt", 2, "", "setup: cannot read input script missing.txt\n",
         false},
        {"--headless --drive C=missing", 2, "", "setup: ", false},
        {"", 1, "", "setup: no display available; use --headless\n", false},
        // The options of new and finished driver disks.
        {"--new-disk", 2, "", "setup: option --new-disk needs a value (DIR)\n", true},
        {"--new-disk a --make-disk b", 2, "", "setup: only one of --new-disk and --make-disk",
         true},
        {"--new-disk a --headless", 2, "", "setup: --new-disk takes no other option", true},
        {"--size 2880", 2, "", "setup: option --size goes with --make-disk only\n", true},
        {"--make-disk out.img --size 720", 2, "",
         "setup: option --size: \"720\" is neither 1440 nor 2880\n", true},
        {"--make-disk out.img --check", 2, "",
         "setup: --new-disk and --make-disk go with no other action\n", true},
        {"--make-disk out --setup-exe missing.exe", 1, "",
         "setup: the Windows program setup.exe is not in missing.exe;", false},
    };
    for (const Row& row : rows) {
        RunResult run = runSetup(dir, row.arguments);
        EXPECT_EQ(run.status, row.status) << row.arguments;
        std::string output = row.output;
        std::string errors = row.errors;
        EXPECT_EQ(run.output.substr(0, output.size()), output)
            << row.arguments << ": " << run.output;
        EXPECT_EQ(run.output.empty(), output.empty()) << row.arguments << ": " << run.output;
        EXPECT_EQ(run.errors.substr(0, errors.size()), errors)
            << row.arguments << ": " << run.errors;
        EXPECT_EQ(run.errors.empty(), errors.empty()) << row.arguments << ": " << run.errors;
        EXPECT_EQ(run.errors.find("\nusage: setup [--drive") != std::string::npos, row.usage)
            << row.arguments << ": " << run.errors;
    }
}

TEST(HostRun, AMessageBoxWaitingForAnAnswerUsesUpTheScript) {
    // An empty disk: the program can only say that its layout file is missing.
    TempDir dir;
    std::filesystem::create_directories(dir / "c/WINDOWS/INF");
    struct Row {
        const char* script;
        int status;
        const char* traced;
    };
    // The message comes while the launcher window is being made: the box and
    // the window's creation are both still running when the script runs out.
    const char* const waiting =
        "\", \"corvane\", 16) = ...\nCreateWindowExA(256, \"Corvane:b:7f00:6:0\", \"Quentor - "
        "Utility\", 2160590848, 0, 0, 400, 420, 0x0, 0x0, 0x400000, 0x0) = ...\n"
        "script-exhausted in MessageBoxA\n";
    const Row rows[] = {
        {"", 3, waiting},
        {"wait 10\nmove 5 5\n", 3, waiting},
        {"key enter\n", 0, "\", \"corvane\", 16) = 1\n"},
    };
    for (const Row& row : rows) {
        writeHostFile(dir / "script.txt", row.script);
        RunResult run = runSetup(dir, "--headless --clock virtual --drive C=c --input script.txt "
                                      "--trace trace.txt");
        EXPECT_EQ(run.status, row.status) << row.script << run.errors;
        std::string trace = readHostFile(dir / "trace.txt");
        EXPECT_NE(trace.find(row.traced), std::string::npos) << trace;
        EXPECT_EQ(trace.find("script-exhausted") != std::string::npos, row.status == 3) << trace;
    }
}

} // namespace
} // namespace corvane_test
