#include "tests/support/SetupRun.h"

#include "tests/support/TempDir.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace corvane_test {

std::vector<std::string> SetupResult::calls(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& line : trace) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

bool SetupResult::traced(const std::string& line) const {
    for (const std::string& candidate : trace) {
        if (candidate == line) {
            return true;
        }
    }
    return false;
}

SetupResult SetupRun::run() const {
    TempDir work;
    writeHostFile(work / "input.txt", script);
    std::vector<std::string> args = {CORVANE_SETUP_EXE,  "--headless", "--clock",
                                     "virtual",          "--drive",    "C=" + cDrive,
                                     "--drive",          "D=" + disk,  "--input",
                                     work / "input.txt", "--trace",    work / "trace.txt"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());

    bool switchUser = asUser != 0 && geteuid() == 0;
    if (switchUser) {
        chmod(work.path().c_str(), 0777);
    }
    SetupResult result;
    pid_t child = fork();
    if (child == 0) {
        if (switchUser &&
            (setgroups(0, nullptr) != 0 || setgid(asUser) != 0 || setuid(asUser) != 0)) {
            _exit(125);
        }
        int errors = open((work / "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors >= 0) {
            dup2(errors, 2);
        }
        int output = open((work / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (output >= 0) {
            dup2(output, 1);
        }
        if (chdir(disk.c_str()) != 0) {
            _exit(126);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        if (watchErrors && hostFileExists(work / "stderr.txt")) {
            watchErrors(readHostFile(work / "stderr.txt"));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (WIFEXITED(status)) {
        result.exitStatus = WEXITSTATUS(status);
    }
    if (hostFileExists(work / "trace.txt")) {
        std::istringstream lines(readHostFile(work / "trace.txt"));
        for (std::string line; std::getline(lines, line);) {
            result.trace.push_back(line);
        }
    }
    if (hostFileExists(work / "stderr.txt")) {
        result.errors = readHostFile(work / "stderr.txt");
    }
    if (hostFileExists(work / "stdout.txt")) {
        result.output = readHostFile(work / "stdout.txt");
    }
    return result;
}

} // namespace corvane_test
