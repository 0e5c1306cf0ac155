#include "tests/e2e/updatekill/CrashChild.h"

#include "platform/emu/Machine.h"
#include "platform/emu/kernel/FileReplacer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane_test {

namespace {
constexpr int kWorkThrew = 3;
} // namespace

pid_t startChild(const std::function<void()>& work) {
    // Output buffered now would otherwise be written twice.
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        int status = 0;
        try {
            work();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "child: %s\n", error.what());
            status = kWorkThrew;
        }
        // The parent owns the test folders: no destructor of the child's copy
        // of them may run.
        std::_Exit(status);
    }
    return child;
}

ChildEnding waitForChild(pid_t child, std::string& detail) {
    if (child < 0) {
        detail = "fork failed";
        return ChildEnding::Failed;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            detail = "waitpid failed";
            return ChildEnding::Failed;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return ChildEnding::Completed;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == emu::kCrashExitStatus) {
        return ChildEnding::Crashed;
    }
    detail = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                               : "signal " + std::to_string(WTERMSIG(status));
    return ChildEnding::Failed;
}

ChildEnding runInChild(const std::function<void()>& work, std::string& detail) {
    return waitForChild(startChild(work), detail);
}

bool isKernelTemporary(const std::string& name) {
    return name.rfind(emu::kernel::FileReplacer::kTemporaryPrefix, 0) == 0;
}

} // namespace corvane_test
