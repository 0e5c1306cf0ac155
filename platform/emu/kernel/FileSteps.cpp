#include "platform/emu/kernel/FileSteps.h"

#include "platform/emu/MachineConfig.h"
#include "platform/emu/hostsupport/UndoJournal.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::kernel {

namespace {

int g_stepsLeft = -1;
int g_writesBeforeFailure = -1;

void countStep() {
    if (g_stepsLeft > 0 && --g_stepsLeft == 0) {
        // At once: no destructor, buffer flush or exit handler may tidy up
        // what a real crash would leave.
        std::_Exit(kCrashExitStatus);
    }
}

// Whether the next write is the one that finds the disk full.
bool writeFails() {
    return g_writesBeforeFailure >= 0 && g_writesBeforeFailure-- == 0;
}

// Makes the call, then counts it as a step; the caller sees the call's own
// result and errno.
template <typename Call> auto counted(Call call) {
    auto result = call();
    int reason = errno;
    countStep();
    errno = reason;
    return result;
}

// The steps of an in-place write's journal count as the kernel's own, and
// its writes may find the disk full as the kernel's do.
int journalStep(const char* step, bool made) {
    if (made) {
        countStep();
        return 0;
    }
    bool writes = std::strcmp(step, "write journal") == 0 || std::strcmp(step, "write target") == 0;
    return writes && writeFails() ? ENOSPC : 0;
}

void hookJournal() {
    bool active = g_stepsLeft > 0 || g_writesBeforeFailure >= 0;
    hostsupport::UndoJournal::setStepHook(active ? journalStep : nullptr);
}

} // namespace

void FileSteps::armCrash(int afterSteps) {
    g_stepsLeft = afterSteps > 0 ? afterSteps : -1;
    hookJournal();
}

int FileSteps::open(const char* path, int flags, mode_t mode) {
    return counted([&] { return ::open(path, flags, mode); });
}

void FileSteps::failWrite(int number) {
    g_writesBeforeFailure = number > 0 ? number - 1 : -1;
    hookJournal();
}

ssize_t FileSteps::write(int fd, const void* data, size_t size) {
    return counted([&]() -> ssize_t {
        if (writeFails()) {
            errno = ENOSPC;
            return -1;
        }
        return ::write(fd, data, size);
    });
}

ssize_t FileSteps::pwrite(int fd, const void* data, size_t size, off_t offset) {
    return counted([&]() -> ssize_t {
        if (writeFails()) {
            errno = ENOSPC;
            return -1;
        }
        return ::pwrite(fd, data, size, offset);
    });
}

int FileSteps::ftruncate(int fd, off_t length) {
    return counted([&] { return ::ftruncate(fd, length); });
}

int FileSteps::fchmod(int fd, mode_t mode) {
    return counted([&] { return ::fchmod(fd, mode); });
}

int FileSteps::fsync(int fd) {
    return counted([&] { return ::fsync(fd); });
}

int FileSteps::link(const char* from, const char* to) {
    return counted([&] { return ::link(from, to); });
}

int FileSteps::linkDescriptor(int fd, const char* to) {
    // The descriptor's entry in /proc names the file even while it has no
    // name of its own.
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return counted([&] { return ::linkat(AT_FDCWD, self, AT_FDCWD, to, AT_SYMLINK_FOLLOW); });
}

int FileSteps::rename(const char* from, const char* to) {
    return counted([&] { return ::rename(from, to); });
}

int FileSteps::unlink(const char* path) {
    return counted([&] { return ::unlink(path); });
}

} // namespace emu::kernel
