// A read-only file-mapping object, as CreateFileMappingA makes it. It keeps
// its own descriptor of the file, so the file stays open (and its share
// modes in force) while the mapping lives, even when the file handle is
// closed first.
#pragma once

#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/emu/kernel/HostFile.h"
#include "platform/win32.h"

#include <memory>

namespace emu::kernel {

using hostsupport::UniqueFd;

class FileMapping {
public:
    // A mapping of file with protection protect and the given maximum size
    // (0 and 0: the whole file). nullptr with a Win32 error code in error
    // when the request cannot be met; an empty file cannot be mapped.
    static std::unique_ptr<FileMapping> create(const HostFile& file, DWORD protect,
                                               DWORD maximumHigh, DWORD maximumLow, DWORD& error);

    FileMapping(UniqueFd fd, size_t size) : m_fd(std::move(fd)), m_size(size) {}

    int fd() const { return m_fd.get(); }
    size_t size() const { return m_size; }

private:
    UniqueFd m_fd;
    size_t m_size;
};

} // namespace emu::kernel
