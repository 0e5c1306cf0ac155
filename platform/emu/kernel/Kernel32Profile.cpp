// The Win32 profile-file functions of the emulated machine. Every call reads
// and parses the whole file once; a write rewrites it through a temporary
// file, so no state is kept between calls.
#include "platform/emu/MachineConfig.h"
#include "platform/emu/kernel/FileSystem.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/ProfileFile.h"
#include "platform/emu/kernel/ProfileList.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/win32.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

using emu::kernel::ProfileFile;
using emu::kernel::ProfileList;

// The host path of a profile file. A name given without a drive or a root
// lies in the Windows directory, as Win32 looks for such profile files there.
std::optional<std::string> profileHostPath(LPCSTR windowsPath) {
    if (windowsPath == nullptr || *windowsPath == '\0') {
        return std::nullopt;
    }
    std::string_view path(windowsPath);
    bool full = path[0] == '\\' || path[0] == '/' || (path.size() >= 2 && path[1] == ':');
    if (full) {
        return emu::kernel::resolveWindowsPath(path);
    }
    return emu::kernel::resolveWindowsPath(emu::kernel::windowsDirectory() + "\\" +
                                           std::string(path));
}

// What of a file's text the profile functions take: all of it, or its first
// bytes on a machine set up with a file limit.
std::string withinFileLimit(std::string text) {
    DWORD limit = emu::config().profileFileLimit;
    if (limit != 0 && text.size() > limit) {
        text.resize(limit);
    }
    return text;
}

// The file's text; empty for a missing or unreadable file or a path outside
// the mapped drives, which all read as a file without sections. A file that
// another opener holds without sharing for an instant (a test-open) is waited
// for a little rather than read as empty.
std::string readProfileText(LPCSTR windowsPath) {
    constexpr int kHeldAttempts = 200;
    std::optional<std::string> host = profileHostPath(windowsPath);
    if (!host) {
        return {};
    }
    for (int attempt = 0;; ++attempt) {
        std::optional<std::string> text = emu::kernel::readFileShared(*host);
        std::optional<emu::kernel::HostEntry> entry = emu::kernel::HostEntry::at(*host);
        // A file over the kernel's read limit is no held file: it reads as
        // empty at once.
        if (text || attempt == kHeldAttempts || !entry ||
            entry->size() > emu::kernel::kWholeFileReadLimit) {
            return withinFileLimit(text.value_or(std::string()));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Copies text as a C string, cut to size - 1 bytes.
DWORD copyCut(std::string_view text, LPSTR buffer, DWORD size) {
    std::size_t copied = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return static_cast<DWORD>(copied);
}

std::string_view withoutOuterQuotes(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string_view withoutTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// The value a string read returns, quotes removed; nullopt when the file,
// section or key is missing.
std::optional<std::string_view> findValue(const ProfileFile& file, LPCSTR section, LPCSTR key) {
    const ProfileFile::Section* found = file.findSection(section);
    const ProfileFile::Line* entry = found == nullptr ? nullptr : file.findEntry(*found, key);
    if (entry == nullptr) {
        return std::nullopt;
    }
    return withoutOuterQuotes(entry->value);
}

// The room a list read may fill: the caller's buffer, or less on a machine
// set up with the limit Windows 95 puts on one read.
DWORD listRoom(DWORD size) {
    DWORD limit = emu::config().profileListLimit;
    return limit != 0 && limit < size ? limit : size;
}

DWORD listSectionNames(const ProfileFile& file, LPSTR buffer, DWORD size) {
    ProfileList list(buffer, listRoom(size));
    for (const ProfileFile::Section& section : file.sections()) {
        // An empty name would read as the end of the list and hide the rest.
        if (!section.name.empty()) {
            list.append(section.name);
            list.endEntry();
        }
    }
    return list.finish();
}

DWORD listKeys(const ProfileFile& file, LPCSTR section, LPSTR buffer, DWORD size) {
    ProfileList list(buffer, size);
    if (const ProfileFile::Section* found = file.findSection(section)) {
        for (std::size_t i = found->firstLine; i < found->endLine; ++i) {
            const ProfileFile::Line& line = file.lines()[i];
            if (line.kind == ProfileFile::Kind::Entry && !line.key.empty()) {
                list.append(line.key);
                list.endEntry();
            }
        }
    }
    return list.finish();
}

DWORD listSection(const ProfileFile& file, LPCSTR section, LPSTR buffer, DWORD size) {
    ProfileList list(buffer, listRoom(size));
    if (const ProfileFile::Section* found = file.findSection(section)) {
        for (std::size_t i = found->firstLine; i < found->endLine; ++i) {
            const ProfileFile::Line& line = file.lines()[i];
            if (line.kind != ProfileFile::Kind::Entry && line.kind != ProfileFile::Kind::Bare) {
                continue;
            }
            list.append(line.key);
            if (line.kind == ProfileFile::Kind::Entry) {
                list.append('=');
                list.append(line.value);
            }
            list.endEntry();
        }
    }
    return list.finish();
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The leading decimal number of text as strtol reads it, clamped to the
// range of an int instead of overflowing.
int leadingInteger(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) {
        ++i;
    }
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    long long magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        magnitude = std::min(limit, magnitude * 10 + (text[i] - '0'));
    }
    long long value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

std::vector<std::string_view> splitList(LPCSTR list) {
    std::vector<std::string_view> lines;
    for (LPCSTR entry = list; entry != nullptr && *entry != '\0';
         entry += lines.back().size() + 1) {
        lines.emplace_back(entry);
    }
    return lines;
}

bool writeSection(LPCSTR section, const std::vector<std::string_view>& lines, LPCSTR path) {
    if (section == nullptr) {
        return false;
    }
    std::optional<std::string> host = profileHostPath(path);
    if (!host) {
        return false;
    }
    std::optional<std::string> text = emu::kernel::readFileShared(*host);
    if (!text && emu::kernel::HostEntry::existsAt(*host)) {
        return false; // there but unreadable: rewriting it would lose its content
    }
    ProfileFile file(withinFileLimit(text.value_or(std::string())));
    return emu::kernel::replaceFileAtomically(
        *host, withinFileLimit(file.withSectionReplaced(section, lines)));
}

} // namespace

DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                                      LPSTR lpReturnedString, DWORD nSize, LPCSTR lpFileName) {
    if (lpReturnedString == nullptr || nSize == 0) {
        return 0;
    }
    ProfileFile file(readProfileText(lpFileName));
    if (lpAppName == nullptr) {
        return listSectionNames(file, lpReturnedString, nSize);
    }
    if (lpKeyName == nullptr) {
        return listKeys(file, lpAppName, lpReturnedString, nSize);
    }
    if (std::optional<std::string_view> value = findValue(file, lpAppName, lpKeyName)) {
        return copyCut(*value, lpReturnedString, nSize);
    }
    return copyCut(withoutTrailingBlanks(lpDefault == nullptr ? "" : lpDefault), lpReturnedString,
                   nSize);
}

UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault,
                                  LPCSTR lpFileName) {
    if (lpAppName == nullptr || lpKeyName == nullptr) {
        return static_cast<UINT>(nDefault);
    }
    ProfileFile file(readProfileText(lpFileName));
    std::optional<std::string_view> value = findValue(file, lpAppName, lpKeyName);
    if (!value || value->empty()) {
        return static_cast<UINT>(nDefault);
    }
    return static_cast<UINT>(leadingInteger(*value));
}

DWORD WINAPI GetPrivateProfileSectionA(LPCSTR lpAppName, LPSTR lpReturnedString, DWORD nSize,
                                       LPCSTR lpFileName) {
    if (lpAppName == nullptr) {
        return ProfileList(lpReturnedString, nSize).finish();
    }
    ProfileFile file(readProfileText(lpFileName));
    return listSection(file, lpAppName, lpReturnedString, nSize);
}

DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize,
                                            LPCSTR lpFileName) {
    ProfileFile file(readProfileText(lpFileName));
    return listSectionNames(file, lpszReturnBuffer, nSize);
}

BOOL WINAPI WritePrivateProfileSectionA(LPCSTR lpAppName, LPCSTR lpString, LPCSTR lpFileName) {
    std::vector<std::string_view> lines = splitList(lpString);
    BOOL result = lpString != nullptr && writeSection(lpAppName, lines, lpFileName) ? TRUE : FALSE;
    emu::TraceCall("WritePrivateProfileSectionA")
        .str(lpAppName)
        .num(static_cast<long long>(lines.size()))
        .str(lpFileName)
        .result(result);
    return result;
}
