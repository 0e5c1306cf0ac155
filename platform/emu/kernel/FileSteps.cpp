#include "platform/emu/kernel/FileSteps.h"

#include "platform/emu/Machine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::kernel {

namespace {

int g_stepsLeft = -1;
long long g_spaceLeft = -1;

// Makes the call, then counts it as a step; the caller sees the call's own
// result and errno.
template <typename Call> auto counted(Call call) {
    auto result = call();
    int reason = errno;
    if (g_stepsLeft > 0 && --g_stepsLeft == 0) {
        // At once: no destructor, buffer flush or exit handler may tidy up
        // what a real crash would leave.
        std::_Exit(kCrashExitStatus);
    }
    errno = reason;
    return result;
}

} // namespace

void FileSteps::armCrash(int afterSteps) {
    g_stepsLeft = afterSteps > 0 ? afterSteps : -1;
}

int FileSteps::open(const char* path, int flags, mode_t mode) {
    return counted([&] { return ::open(path, flags, mode); });
}

void FileSteps::limitSpace(long long bytes) {
    g_spaceLeft = bytes < 0 ? -1 : bytes;
}

ssize_t FileSteps::write(int fd, const void* data, size_t size) {
    return counted([&]() -> ssize_t {
        if (g_spaceLeft < 0) {
            return ::write(fd, data, size);
        }
        if (g_spaceLeft == 0 && size > 0) {
            errno = ENOSPC;
            return -1;
        }
        size_t room = static_cast<size_t>(std::min<long long>(g_spaceLeft, SSIZE_MAX));
        ssize_t written = ::write(fd, data, std::min(size, room));
        if (written > 0) {
            g_spaceLeft -= written;
        }
        return written;
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
