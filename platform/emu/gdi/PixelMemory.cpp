#include "platform/emu/gdi/PixelMemory.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace emu::gdi {

namespace {
constexpr size_t kHugePage = size_t{2} << 20;

size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) / unit * unit;
}
} // namespace

PixelMemory::PixelMemory(size_t count) : m_count(count) {
    if (count > SIZE_MAX / sizeof(COLORREF) / 2) {
        throw std::bad_alloc();
    }
    // One huge page more than needed, so that a 2 MB boundary lies inside.
    const size_t used = roundUp(count * sizeof(COLORREF), kHugePage);
    m_mappingSize = used + kHugePage;
    m_mapping =
        mmap(nullptr, m_mappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (m_mapping == MAP_FAILED) {
        m_mapping = nullptr;
        throw std::bad_alloc();
    }
    const uintptr_t start = roundUp(reinterpret_cast<uintptr_t>(m_mapping), kHugePage);
    m_pixels = reinterpret_cast<COLORREF*>(start);
    // Only a request: a host without transparent huge pages says no, and
    // the pages are small. Fresh anonymous pages read as 0 either way.
    madvise(m_pixels, used, MADV_HUGEPAGE);
}

PixelMemory::~PixelMemory() {
    if (m_mapping != nullptr) {
        munmap(m_mapping, m_mappingSize);
    }
}

} // namespace emu::gdi
