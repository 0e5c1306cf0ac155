#include "platform/emu/host/ImageLock.h"

#include "platform/emu/hostsupport/UndoJournal.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace emu::host {

int ImageLock::recordLockHolder(int fd, bool forWriting) {
    // A write lock probe conflicts with every lock; a read lock probe only
    // with write locks. Open-file locks (QEMU's) and classic ones both answer
    // the open-file query. The byte a write-back's journal holds is not
    // another program's.
    struct flock probe {};
    probe.l_type = forWriting ? F_WRLCK : F_RDLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = hostsupport::UndoJournal::kHoldByte;
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        return 0;
    }
    if (probe.l_type == F_UNLCK) {
        return 0;
    }
    return probe.l_pid > 0 ? probe.l_pid : -1;
}

bool ImageLock::keepOthersOut() {
    struct flock shared {};
    shared.l_type = F_RDLCK;
    shared.l_whence = SEEK_SET;
    // Up to the byte this program's own write-back holds while it writes
    // the image in place.
    shared.l_len = hostsupport::UndoJournal::kHoldByte;
    return m_fd.valid() && fcntl(m_fd.get(), F_OFD_SETLK, &shared) == 0;
}

hostsupport::Result<void> ImageLock::take(const std::string& path, bool forWriting,
                                          const std::function<void()>& waiting) {
    using hostsupport::Failure;
    bool toldWaiting = false;
    for (;;) {
        hostsupport::UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (!fd.valid()) {
            return Failure{path + " cannot be opened: " + std::strerror(errno)};
        }
        int mode = forWriting ? LOCK_EX : LOCK_SH;
        if (flock(fd.get(), mode | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK) {
                return Failure{path + " cannot be locked: " + std::strerror(errno)};
            }
            if (!toldWaiting && waiting) {
                waiting();
                toldWaiting = true;
            }
            while (flock(fd.get(), mode) != 0) {
                if (errno != EINTR) {
                    return Failure{path + " cannot be locked: " + std::strerror(errno)};
                }
            }
        }
        // The copy we waited for may have put a new file in the image's
        // place: the lock must be on the file the name now leads to.
        struct stat locked {};
        struct stat named {};
        if (fstat(fd.get(), &locked) != 0 || stat(path.c_str(), &named) != 0 ||
            locked.st_dev != named.st_dev || locked.st_ino != named.st_ino) {
            continue;
        }
        // A program holding a record lock (QEMU) may be running a machine
        // on the image: even reading it is refused.
        int holder = recordLockHolder(fd.get(), true);
        if (holder != 0) {
            return Failure{
                path + " is in use by another program (" +
                (holder > 0 ? "process " + std::to_string(holder) : std::string("a program")) +
                " holds a lock on it, as QEMU does while it runs a machine on the image); "
                "end that program first"};
        }
        m_fd = std::move(fd);
        return {};
    }
}

} // namespace emu::host
