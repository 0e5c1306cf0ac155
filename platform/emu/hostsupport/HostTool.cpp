#include "platform/emu/hostsupport/HostTool.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace emu::hostsupport {

namespace {

// The environment of the child: the host's, with the settings that make
// mtools read images without asking, spell names exactly (long names in
// UTF-8, as the disk's UTF-16 holds them) and read only the settings given
// on its standard input (the code page of short names), not the user's.
std::vector<std::string> toolEnvironment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string text = *entry;
        if (text.rfind("LC_", 0) != 0 && text.rfind("LANG=", 0) != 0 &&
            text.rfind("LANGUAGE=", 0) != 0 && text.rfind("MTOOLS", 0) != 0) {
            env.push_back(text);
        }
    }
    env.push_back("LC_ALL=C.UTF-8");
    env.push_back("MTOOLS_SKIP_CHECK=1");
    env.push_back("MTOOLS_NO_VFAT=0");
    env.push_back("MTOOLSRC=/dev/stdin");
    return env;
}

// What mtools reads as its configuration: the code page of the short names.
// Without it mtools takes 850, whose upper half differs from 437's.
std::string toolSettings(int shortNameCodePage) {
    return "default_codepage=" + std::to_string(shortNameCodePage) + "\n";
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> result;
    for (std::string& text : texts) {
        result.push_back(text.data());
    }
    result.push_back(nullptr);
    return result;
}

void drain(int out, int err, ToolResult& result) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {&result.output, &result.errors};
    int open = 2;
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) {
                continue;
            }
            char chunk[8192];
            ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                fds[i].fd = -1;
                --open;
                continue;
            }
            sinks[i]->append(chunk, static_cast<size_t>(got));
        }
    }
}

} // namespace

std::string ToolResult::failure(const std::string& name) const {
    std::string line = errors.substr(0, errors.find('\n'));
    if (line.empty()) {
        line = status < 0 ? "did not run" : "ended with status " + std::to_string(status);
    }
    return name + ": " + line;
}

ToolResult HostTool::run(const std::vector<std::string>& argv, int shortNameCodePage) {
    ToolResult result;
    // setpriv gives the tool the parent-death signal: a tool left running by
    // a killed run could go on writing into a file the next run has taken
    // over. posix_spawn does not copy the caller's memory map, which a
    // process under a sanitizer makes large.
    std::vector<std::string> args = {"setpriv", "--pdeathsig", "KILL", "--"};
    args.insert(args.end(), argv.begin(), argv.end());
    std::vector<std::string> env = toolEnvironment();
    std::vector<char*> argp = pointers(args);
    std::vector<char*> envp = pointers(env);
    int in[2];
    int out[2];
    int err[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        return result;
    }
    // The settings fit the pipe's buffer: written whole before the child
    // starts, and the child reads end of file after them.
    std::string settings = toolSettings(shortNameCodePage);
    bool written =
        write(in[1], settings.data(), settings.size()) == static_cast<ssize_t>(settings.size());
    close(in[1]);
    if (!written || pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        return result;
    }
    if (pipe2(err, O_CLOEXEC) != 0) {
        close(in[0]);
        close(out[0]);
        close(out[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t child = -1;
    int spawned = posix_spawnp(&child, argp[0], &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (spawned == 0) {
        drain(out[0], err[0], result);
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    while (spawned == 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (spawned == 0 && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    if (result.status == 127 && result.errors.find("setpriv") != std::string::npos) {
        result.status = -1;
    }
    if (result.status == -1 && result.errors.empty()) {
        result.errors = argv[0] + " could not be run (is it installed?)";
    }
    return result;
}

} // namespace emu::hostsupport
