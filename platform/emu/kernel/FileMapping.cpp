#include "platform/emu/kernel/FileMapping.h"

#include <fcntl.h>

namespace emu::kernel {

std::unique_ptr<FileMapping> FileMapping::create(const HostFile& file, DWORD protect,
                                                 DWORD maximumHigh, DWORD maximumLow,
                                                 DWORD& error) {
    if (protect != PAGE_READONLY) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    if (!file.canRead()) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    std::optional<unsigned long long> fileSize = file.size();
    if (!fileSize) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    unsigned long long asked = (static_cast<unsigned long long>(maximumHigh) << 32) | maximumLow;
    unsigned long long size = asked != 0 ? asked : *fileSize;
    if (size == 0) {
        error = ERROR_FILE_INVALID;
        return nullptr;
    }
    // A read-only mapping cannot grow the file.
    if (size > *fileSize) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    UniqueFd own(fcntl(file.fd(), F_DUPFD_CLOEXEC, 3));
    if (!own.valid()) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<FileMapping>(std::move(own), static_cast<size_t>(size));
}

} // namespace emu::kernel
