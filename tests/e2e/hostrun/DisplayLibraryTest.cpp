// Which runs of setup map the SDL2 library (only one that opens a window)
// and fontconfig (only one that needs a face it has no kept answer for).
// The dynamic loader reports every library it maps (LD_DEBUG=files) to a log
// of the run's own; a run that shows a window is driven on a virtual X
// display (Xvfb) with xdotool.
#include "tests/support/FatImage.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace corvane_test {
namespace {

using Clock = std::chrono::steady_clock;

// Generous: a shared machine under load must not fail the test, a hang must.
constexpr auto kPatience = std::chrono::seconds(60);

struct Launch {
    std::vector<std::string> args;
    std::map<std::string, std::string> environment; // set on top of this process's
    std::string folder;
    std::string output; // stdout and stderr go to this file
};

// Starts the program with DISPLAY and WAYLAND_DISPLAY taken away unless the
// launch sets them; the child's pid.
pid_t start(const Launch& launch) {
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const auto& [name, value] : launch.environment) {
        setenv(name.c_str(), value.c_str(), 1);
    }
    const int out = open(launch.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || chdir(launch.folder.c_str()) != 0) {
        _exit(126);
    }
    dup2(out, 1);
    dup2(out, 2);
    const int nothing = open("/dev/null", O_RDONLY);
    if (nothing >= 0) {
        dup2(nothing, 0);
    }
    std::vector<char*> argv;
    for (const std::string& arg : launch.args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

// The exit status; -1 when the child did not exit by itself in time (it is
// then killed).
int finish(pid_t child) {
    const Clock::time_point deadline = Clock::now() + kPatience;
    int status = 0;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// What the loader wrote: LD_DEBUG_OUTPUT=PREFIX makes one PREFIX.PID file.
std::string loaderLog(const std::string& folder) {
    std::string log;
    for (const std::string& name : folderEntries(folder)) {
        if (name.rfind("loader.", 0) == 0) {
            log += readHostFile(folder + "/" + name);
        }
    }
    return log;
}

// The loader maps a library file once it has read a sound ELF header from
// it; a name only looked up, or a file that is no library, is not mapped.
bool maps(const std::string& log, const std::string& library) {
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(library) != std::string::npos &&
            line.find("generating link map") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool mapsSdl(const std::string& log) {
    return maps(log, "libSDL2");
}

// The output of a shell command; empty when it failed.
std::string commandOutput(const std::string& command) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, n);
    }
    return pclose(pipe) == 0 ? output : std::string();
}

// A virtual X display of the test's own, on a display number Xvfb picks.
class VirtualDisplay {
public:
    VirtualDisplay() {
        int ready[2];
        if (pipe(ready) != 0) {
            return;
        }
        m_server = fork();
        if (m_server == 0) {
            close(ready[0]);
            const int quiet = open("/dev/null", O_WRONLY);
            dup2(quiet, 1);
            dup2(quiet, 2);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                   "1024x768x24", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // Xvfb writes the display number once it accepts clients.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        const Clock::time_point deadline = Clock::now() + kPatience;
        while (m_server > 0 && number.find('\n') == std::string::npos && Clock::now() < deadline) {
            if (poll(&wait, 1, 100) > 0) {
                char c[16];
                const ssize_t n = read(ready[0], c, sizeof c);
                if (n <= 0) {
                    break;
                }
                number.append(c, static_cast<size_t>(n));
            }
        }
        close(ready[0]);
        if (number.find('\n') != std::string::npos) {
            m_name = ":" + number.substr(0, number.find('\n'));
        }
    }
    ~VirtualDisplay() {
        if (m_server > 0) {
            kill(m_server, SIGTERM);
            waitpid(m_server, nullptr, 0);
        }
    }
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N", or empty when Xvfb did not start.
    const std::string& name() const { return m_name; }

    // xdotool's answer on this display; empty when it failed.
    std::string xdotool(const std::string& arguments) const {
        return commandOutput("DISPLAY='" + m_name + "' xdotool " + arguments + " 2>/dev/null");
    }

private:
    pid_t m_server = -1;
    std::string m_name;
};

TEST(DisplayLibrary, RunsWithoutAWindowNeverMapIt) {
    TestMachine demo{TestMachine::demo()};
    TempDir work;
    writeHostFile(work / "close.txt", "close\nkey y\n");
    const std::string setup = CORVANE_SETUP_EXE;
    const std::string c = "C=" + demo.cDrive();
    // A file that is no library where the loader looks first: SDL2 cannot
    // be loaded, as on a machine without it.
    writeHostFile(work / "libSDL2-2.0.so.0", "no library\n");
    struct Row {
        std::vector<std::string> args;
        std::map<std::string, std::string> environment;
        int status;
        const char* output; // what the run's output starts with
        bool fontconfig;    // whether the run maps fontconfig
    };
    // The kept font answers are the test's own: the first run that draws
    // text asks fontconfig and keeps its answers, the runs after it do not.
    const std::string version = std::string("setup (corvane) ") + CORVANE_VERSION + "\n";
    const std::vector<std::string> headless = {
        "--headless", "--clock", "virtual", "--drive", c, "--input", work / "close.txt"};
    const Row rows[] = {
        {{"--version"}, {}, 0, version.c_str(), false},
        {{"--help"}, {}, 0, "usage: setup", false},
        {headless, {}, 0, "", true},
        {headless, {}, 0, "", false},
        {{"--check", "--drive", c},
         {},
         0,
         "release: no release recorded in the registry, service-pack text \"\": sections COMMON, "
         "950\ncheck: 0 errors, 0 warnings\n",
         false},
        {{"--dry-run", "100", "--drive", c}, {}, 0, "dry run of command 100", false},
        {{"--sheet", work / "sheet.png", "--drive", c}, {}, 0, "", false},
        {{}, {}, 1, "setup: no display available; use --headless\n", false},
        {{},
         {{"DISPLAY", ":99"}, {"LD_LIBRARY_PATH", work.path()}},
         1,
         "setup: no display available; use --headless\n",
         false},
    };
    const std::string cache = work / "cache";
    ASSERT_EQ(mkdir(cache.c_str(), 0755), 0);
    int row = 0;
    for (const Row& each : rows) {
        const std::string logs = work / ("logs" + std::to_string(row++));
        ASSERT_EQ(mkdir(logs.c_str(), 0755), 0);
        Launch launch{{setup}, each.environment, demo.disk(), work / "output.txt"};
        launch.args.insert(launch.args.end(), each.args.begin(), each.args.end());
        launch.environment["XDG_CACHE_HOME"] = cache;
        launch.environment["LD_DEBUG"] = "files";
        launch.environment["LD_DEBUG_OUTPUT"] = logs + "/loader";
        const std::string shown = ::testing::PrintToString(each.args);
        EXPECT_EQ(finish(start(launch)), each.status) << shown;
        const std::string output = readHostFile(launch.output);
        EXPECT_EQ(output.substr(0, std::string(each.output).size()), each.output)
            << shown << ": " << output;
        const std::string log = loaderLog(logs);
        // The log is there and names what the executable needs.
        EXPECT_NE(log.find("libfreetype"), std::string::npos) << shown;
        EXPECT_FALSE(mapsSdl(log)) << shown;
        EXPECT_EQ(maps(log, "libfontconfig"), each.fontconfig) << shown;
    }
}

TEST(DisplayLibrary, AWindowedRunOpensItsWindowAndTakesTheUsersKeys) {
    VirtualDisplay display;
    if (display.name().empty()) {
        GTEST_SKIP() << "Xvfb cannot start a virtual display";
    }
    TestMachine demo{TestMachine::demo()};
    TempDir work;
    const std::string logs = work / "logs";
    ASSERT_EQ(mkdir(logs.c_str(), 0755), 0);
    Launch launch{
        {CORVANE_SETUP_EXE, "--clock", "virtual", "--drive", "C=" + demo.cDrive(), "--trace",
         work / "trace.txt"},
        {{"DISPLAY", display.name()}, {"LD_DEBUG", "files"}, {"LD_DEBUG_OUTPUT", logs + "/loader"}},
        demo.disk(),
        work / "output.txt"};
    const pid_t setup = start(launch);

    // The host window, once it is on the display.
    std::string window;
    const Clock::time_point deadline = Clock::now() + kPatience;
    while (window.empty() && Clock::now() < deadline && waitpid(setup, nullptr, WNOHANG) == 0) {
        window = display.xdotool("search --onlyvisible --name '^corvane$'");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    window = window.substr(0, window.find('\n'));
    EXPECT_FALSE(window.empty()) << readHostFile(launch.output);
    if (!window.empty()) {
        const std::string geometry = display.xdotool("getwindowgeometry --shell " + window);
        EXPECT_NE(geometry.find("WIDTH=800\nHEIGHT=600\n"), std::string::npos) << geometry;
        // The last menu item is Quit: it asks, and Yes ends the program.
        display.xdotool("windowfocus --sync " + window);
        display.xdotool("key --delay 50 Up Return y");
    }
    EXPECT_EQ(finish(setup), 0) << readHostFile(launch.output);

    const std::string trace =
        hostFileExists(work / "trace.txt") ? readHostFile(work / "trace.txt") : "";
    EXPECT_NE(trace.find("\"Quit this program?\", \"corvane\", 36) = 6\n"), std::string::npos)
        << trace;
    EXPECT_NE(trace.find("DestroyWindow(0x1) = 1\n"), std::string::npos) << trace;
    EXPECT_TRUE(mapsSdl(loaderLog(logs)));
}

// A floppy image as C: with the demo installation and not one byte free:
// the install's backups cannot be written into it.
FatImage fullFloppy(const std::string& path) {
    FatImage image =
        FatImage::make(ImageKind::Floppy, path, std::string(CORVANE_TEST_DATA) + "/../demo/c");
    std::string listing = runTool({"mdir", "-i", image.path, "::/"});
    std::string free = listing.substr(0, listing.find(" bytes free"));
    free = free.substr(free.rfind('\n') + 1);
    free.erase(std::remove(free.begin(), free.end(), ' '), free.end());
    image.addFile("FILLER.BIN", std::string(std::stoul(free), 'f'));
    return image;
}

// The changes of a run that cannot be written into its image: exit status 5
// and the reason on stderr either way; a message box says so too when the
// run had a window, and only then.
TEST(DisplayLibrary, AWindowedRunShowsThatItsImageCouldNotBeWritten) {
    VirtualDisplay display;
    if (display.name().empty()) {
        GTEST_SKIP() << "Xvfb cannot start a virtual display";
    }
    TempDir work;
    copyHostTree(std::string(CORVANE_TEST_DATA) + "/../demo/disk", work / "disk");
    // Install, no restart, close; then Enter for what comes after.
    writeHostFile(work / "input.txt", "wait 300\nkey enter\nkey n\nclose\nwait 100\nkey enter\n");
    const std::string box = "MessageBoxA(0x0, \"The changes of this run could not be written into "
                            "the disk image; it is left as it was.";
    for (bool windowed : {true, false}) {
        SCOPED_TRACE(windowed ? "windowed" : "headless");
        FatImage image = fullFloppy(work / "c.img");
        const std::string before = readHostFile(image.path);
        Launch launch{{CORVANE_SETUP_EXE, "--clock", "virtual", "--drive", "C=" + image.path,
                       "--drive", "D=" + work / "disk", "--input", work / "input.txt", "--trace",
                       work / "trace.txt"},
                      {},
                      work / "disk",
                      work / "output.txt"};
        if (windowed) {
            launch.environment["DISPLAY"] = display.name();
        } else {
            launch.args.push_back("--headless");
        }
        EXPECT_EQ(finish(start(launch)), 5);
        const std::string output = readHostFile(launch.output);
        EXPECT_NE(output.find("setup: drive C: not written back: mcopy"), std::string::npos)
            << output;
        const std::string trace = readHostFile(work / "trace.txt");
        const size_t shown = trace.find(box);
        EXPECT_EQ(shown != std::string::npos, windowed) << trace;
        if (shown != std::string::npos) {
            const std::string line = trace.substr(shown, trace.find('\n', shown) - shown);
            EXPECT_NE(line.find("drive C: not written back"), std::string::npos) << line;
            EXPECT_NE(line.find("\", \"corvane\", 16) = 1"), std::string::npos) << line;
        }
        EXPECT_EQ(readHostFile(image.path), before);
        runTool({"rm", "-f", image.path});
    }
}

} // namespace
} // namespace corvane_test
