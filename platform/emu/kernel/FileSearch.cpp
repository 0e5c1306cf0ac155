#include "platform/emu/kernel/FileSearch.h"

#include "platform/emu/hostsupport/UndoJournal.h"
#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/HostEntry.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <vector>

namespace emu::kernel {

namespace {

// The text cut into its characters, each one or two bytes.
std::vector<std::string_view> characters(std::string_view text) {
    const CodePage& page = ansiCodePage();
    std::vector<std::string_view> result;
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        length = page.charLength(text, at);
        result.push_back(text.substr(at, length));
    }
    return result;
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

bool FileSearch::matches(std::string_view patternText, std::string_view nameText) {
    // By characters of the code page: '?' stands for one character, a
    // double-byte one too, and case folds only single-byte letters.
    const CodePage& page = ansiCodePage();
    std::vector<std::string_view> pattern = characters(patternText);
    std::vector<std::string_view> name = characters(nameText);
    auto is = [&](std::size_t p, char c) { return pattern[p].size() == 1 && pattern[p][0] == c; };
    // Greedy matching with one point to come back to after the last '*'.
    std::size_t p = 0, n = 0, starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (is(p, '?') || page.equalNoCase(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && is(p, '*')) {
            starAt = p++;
            resumeAt = n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && is(p, '*')) {
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
