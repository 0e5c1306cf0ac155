#include "platform/emu/hostsupport/PositionedRead.h"

#include <cerrno>
#include <unistd.h>

namespace emu::hostsupport {

bool readExactly(int fd, std::uint64_t offset, void* into, std::size_t size) {
    char* bytes = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0) {
            errno = 0;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace emu::hostsupport
