// A view of a file mapping in the address space, as MapViewOfFile makes it.
// Like the mapping, it keeps its own descriptor of the file, so the file
// counts as open until the view is unmapped.
#pragma once

#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/emu/kernel/FileMapping.h"
#include "platform/win32.h"

#include <memory>

namespace emu::kernel {

using hostsupport::UniqueFd;

class MappedView {
public:
    // Win32's allocation granularity: view offsets are multiples of it.
    static constexpr unsigned long long kGranularity = 65536;

    // A view of mapping from the offset for length bytes (0: to the end of
    // the mapping). nullptr with a Win32 error code in error on failure.
    static std::unique_ptr<MappedView> map(const FileMapping& mapping, DWORD access,
                                           DWORD offsetHigh, DWORD offsetLow, SIZE_T length,
                                           DWORD& error);

    MappedView(void* base, size_t length, UniqueFd fd);
    ~MappedView();
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;

    void* base() const { return m_base; }

private:
    void* m_base;
    size_t m_length;
    UniqueFd m_fd;
};

} // namespace emu::kernel
