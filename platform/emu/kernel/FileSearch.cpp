#include "platform/emu/kernel/FileSearch.h"

#include "platform/emu/hostsupport/UndoJournal.h"

#include "platform/emu/kernel/AnsiText.h"
#include "platform/emu/kernel/HostEntry.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>

namespace emu::kernel {

namespace {

bool sameLetter(char a, char b) {
    return AnsiText::equalNoCase(std::string_view(&a, 1), std::string_view(&b, 1));
}

WIN32_FIND_DATAA findData(const std::string& name, const HostEntry& entry) {
    WIN32_FIND_DATAA data{};
    data.dwFileAttributes = entry.attributes();
    unsigned long long size = entry.size();
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);
    return data;
}

} // namespace

bool FileSearch::matches(std::string_view pattern, std::string_view name) {
    // Greedy matching with one point to come back to after the last '*'.
    std::size_t p = 0, n = 0, starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || sameLetter(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::unique_ptr<FileSearch> FileSearch::start(const std::string& hostFolder,
                                              std::string_view pattern) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(hostFolder.c_str()), closedir);
    if (!dir) {
        return nullptr;
    }
    auto search = std::make_unique<FileSearch>();
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        // An in-place write's journal is the host's, no file of the machine.
        if (name.size() >= MAX_PATH || !matches(pattern, name) ||
            hostsupport::UndoJournal::isJournalName(name)) {
            continue;
        }
        if (std::optional<HostEntry> entry = HostEntry::at(hostFolder + "/" + name)) {
            search->m_entries.push_back(findData(name, *entry));
        }
    }
    if (search->m_entries.empty()) {
        return nullptr;
    }
    std::sort(search->m_entries.begin(), search->m_entries.end(),
              [](const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b) {
                  return std::strcmp(a.cFileName, b.cFileName) < 0;
              });
    return search;
}

bool FileSearch::next(WIN32_FIND_DATAA& data) {
    if (m_next >= m_entries.size()) {
        return false;
    }
    data = m_entries[m_next++];
    return true;
}

} // namespace emu::kernel
