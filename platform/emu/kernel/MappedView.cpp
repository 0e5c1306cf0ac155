#include "platform/emu/kernel/MappedView.h"

#include <fcntl.h>
#include <sys/mman.h>

namespace emu::kernel {

MappedView::MappedView(void* base, size_t length, UniqueFd fd)
    : m_base(base), m_length(length), m_fd(std::move(fd)) {}

MappedView::~MappedView() {
    munmap(m_base, m_length);
}

std::unique_ptr<MappedView> MappedView::map(const FileMapping& mapping, DWORD access,
                                            DWORD offsetHigh, DWORD offsetLow, SIZE_T length,
                                            DWORD& error) {
    unsigned long long offset = (static_cast<unsigned long long>(offsetHigh) << 32) | offsetLow;
    if (access != FILE_MAP_READ || offset % kGranularity != 0 || offset >= mapping.size() ||
        length > mapping.size() - offset) {
        error = ERROR_INVALID_PARAMETER;
        return nullptr;
    }
    size_t bytes = length != 0 ? length : mapping.size() - static_cast<size_t>(offset);
    UniqueFd own(fcntl(mapping.fd(), F_DUPFD_CLOEXEC, 3));
    if (!own.valid()) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    void* base = mmap(nullptr, bytes, PROT_READ, MAP_SHARED, own.get(), static_cast<off_t>(offset));
    if (base == MAP_FAILED) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    error = ERROR_SUCCESS;
    return std::make_unique<MappedView>(base, bytes, std::move(own));
}

} // namespace emu::kernel
