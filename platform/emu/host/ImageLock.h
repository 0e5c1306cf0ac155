// Who may use a disk image file. Another program that has the image open
// with a POSIX record lock (QEMU takes such locks on every image it runs) is
// using it: the image is refused. Copies of this program take turns through a
// lock of their own on the image (flock, which record locks do not see), held
// until the object goes. Those are the only locks seen: mtools takes none and
// ignores those of others (it calls neither flock nor fcntl on the image), so
// a program that writes the image without a lock is found only by
// ImageIdentity at the write-back.
#pragma once

#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <functional>
#include <string>

namespace emu::host {

class ImageLock {
public:
    ImageLock() = default;

    // Takes the lock on path: shared to read, exclusive to change. While
    // another copy holds it, calls waiting once and waits. The reason when
    // the file cannot be opened or another program holds a record lock on it
    // (a machine may be running on the image: even its reads would be of a
    // file that changes under them).
    hostsupport::Result<void> take(const std::string& path, bool forWriting,
                                   const std::function<void()>& waiting);
    bool held() const { return m_fd.valid(); }
    // Adds a shared record lock on the whole image until release, so that
    // QEMU, which checks for them, does not start a machine on it. mtools
    // does not look at it and writes the image under it.
    bool keepOthersOut();
    void release() { m_fd.reset(); }

    // The process that holds a record lock on the file at path conflicting
    // with the access asked for: its id, -1 for an open-file lock (which has
    // none), 0 when there is none.
    static int recordLockHolder(int fd, bool forWriting);

private:
    hostsupport::UniqueFd m_fd;
};

} // namespace emu::host
