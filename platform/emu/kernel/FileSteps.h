// Every host call by which the kernel changes a file or a folder goes through
// here: creating, writing, truncating, changing permissions, syncing,
// linking, renaming and removing. Each call is one step, and so is each
// such call of an in-place write's journal (hostsupport::UndoJournal). A crash test can
// have the process end right after a chosen step, so that every state a
// crash can leave on disk is reached in turn.
#pragma once

#include <cstddef>
#include <sys/types.h>

namespace emu::kernel {

class FileSteps {
public:
    // Ends the process with emu::kCrashExitStatus once afterSteps more steps
    // have been taken; a value below 1 never ends it. Counting restarts.
    static void armCrash(int afterSteps);
    // Makes the write call of that number (from 1, counted from now, the
    // journal's writes among them) fail
    // with ENOSPC, as on a disk that was full at that moment; the writes
    // before and after it succeed. A value below 1 makes none fail.
    static void failWrite(int number);

    // The host calls, with the results and errno of the calls themselves.
    static int open(const char* path, int flags, mode_t mode);
    static ssize_t write(int fd, const void* data, size_t size);
    static ssize_t pwrite(int fd, const void* data, size_t size, off_t offset);
    static int ftruncate(int fd, off_t length);
    static int fchmod(int fd, mode_t mode);
    static int fsync(int fd);
    static int link(const char* from, const char* to);
    static int linkDescriptor(int fd, const char* to);
    static int rename(const char* from, const char* to);
    static int unlink(const char* path);
};

} // namespace emu::kernel
