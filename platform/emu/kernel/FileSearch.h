// One FindFirstFileA search: the entries of a host folder whose names match a
// Windows wildcard pattern, taken when the search starts and handed out one
// at a time.
#pragma once

#include "platform/win32.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

class FileSearch {
public:
    // The entries of hostFolder that pattern matches ('*' any run, '?' any
    // one character, letters without regard to case), in name order; null
    // when there are none or the folder cannot be read.
    static std::unique_ptr<FileSearch> start(const std::string& hostFolder,
                                             std::string_view pattern);

    // Fills data with the next entry; false when every entry was given.
    bool next(WIN32_FIND_DATAA& data);

    static bool matches(std::string_view pattern, std::string_view name);

private:
    std::vector<WIN32_FIND_DATAA> m_entries;
    std::size_t m_next = 0;
};

} // namespace emu::kernel
