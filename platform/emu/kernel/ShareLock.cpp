#include "platform/emu/kernel/ShareLock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace emu::kernel {

namespace {

// Far beyond any file the machine could hold; real byte-range locks of files
// never reach it.
constexpr off_t kFactBase = off_t(1) << 62;

struct flock byteLock(short type, off_t offset) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = offset;
    lock.l_len = 1;
    return lock;
}

// Holds the file's exclusive flock for the lifetime of the object.
class CheckAndSetGuard {
public:
    explicit CheckAndSetGuard(int fd) : m_fd(fd) {
        while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~CheckAndSetGuard() { flock(m_fd, LOCK_UN); }
    CheckAndSetGuard(const CheckAndSetGuard&) = delete;
    CheckAndSetGuard& operator=(const CheckAndSetGuard&) = delete;

private:
    int m_fd;
};

} // namespace

bool ShareLock::heldElsewhere(int fd, Fact fact) {
    // A write lock conflicts with every shared lock of another description.
    struct flock probe = byteLock(F_WRLCK, kFactBase + fact);
    if (fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        return false; // a host file system without locks cannot enforce sharing
    }
    return probe.l_type != F_UNLCK;
}

bool ShareLock::hold(int fd, Fact fact) {
    struct flock lock = byteLock(F_RDLCK, kFactBase + fact);
    return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

bool ShareLock::conflicts(int fd, DWORD access, DWORD share) {
    // An opener without data access takes part in no sharing decision.
    if ((access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        return false;
    }
    return ((access & GENERIC_READ) != 0 && heldElsewhere(fd, DeniesRead)) ||
           ((access & GENERIC_WRITE) != 0 && heldElsewhere(fd, DeniesWrite)) ||
           ((share & FILE_SHARE_READ) == 0 && heldElsewhere(fd, HasRead)) ||
           ((share & FILE_SHARE_WRITE) == 0 && heldElsewhere(fd, HasWrite));
}

void ShareLock::registerOpener(int fd, DWORD access, DWORD share) {
    hold(fd, IsOpen);
    if ((access & (GENERIC_READ | GENERIC_WRITE)) == 0) {
        return;
    }
    const std::pair<bool, Fact> facts[] = {
        {(access & GENERIC_READ) != 0, HasRead},
        {(access & GENERIC_WRITE) != 0, HasWrite},
        {(share & FILE_SHARE_READ) == 0, DeniesRead},
        {(share & FILE_SHARE_WRITE) == 0, DeniesWrite},
    };
    for (const auto& [applies, fact] : facts) {
        if (applies) {
            hold(fd, fact);
        }
    }
}

bool ShareLock::acquire(int fd, DWORD access, DWORD share) {
    CheckAndSetGuard guard(fd);
    if (conflicts(fd, access, share)) {
        return false;
    }
    registerOpener(fd, access, share);
    return true;
}

bool ShareLock::runIfUnused(int fd, const std::function<void()>& action) {
    CheckAndSetGuard guard(fd);
    if (heldElsewhere(fd, IsOpen)) {
        return false;
    }
    action();
    return true;
}

} // namespace emu::kernel
