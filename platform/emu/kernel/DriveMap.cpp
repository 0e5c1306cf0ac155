#include "platform/emu/kernel/DriveMap.h"

#include "platform/emu/MachineConfig.h"
#include "platform/emu/kernel/CodePage.h"

#include <cctype>
#include <cstdlib>
#include <dirent.h>
#include <stdexcept>
#include <sys/stat.h>

namespace emu::kernel {

namespace {

constexpr size_t kMaxPath = 260;

char upperLetter(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

bool isDriveLetter(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

bool isSeparator(char c) {
    return c == '\\' || c == '/';
}

// Win32 drops trailing dots and blanks of a name ("LAYOUT.INI." is
// "LAYOUT.INI"), but "." and ".." keep their meaning.
std::string withoutTrailingDotsAndBlanks(std::string part) {
    if (part == "." || part == "..") {
        return part;
    }
    size_t end = part.find_last_not_of(". ");
    return end == std::string::npos ? part : part.substr(0, end + 1);
}

std::string joinHost(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

void DriveMap::map(char letter, const std::string& hostFolder) {
    if (!isDriveLetter(letter)) {
        throw std::runtime_error(std::string("'") + letter + "' is not a drive letter");
    }
    char* real = realpath(hostFolder.c_str(), nullptr);
    if (real == nullptr) {
        throw std::runtime_error("drive folder " + hostFolder + " does not exist");
    }
    m_roots[upperLetter(letter)] = real;
    free(real);
}

bool DriveMap::isMapped(char letter) const {
    return m_roots.count(upperLetter(letter)) != 0;
}

bool DriveMap::isValidComponent(std::string_view part) {
    // A trail byte ('|' is one in the double-byte code pages) is no mark.
    const CodePage& page = ansiCodePage();
    for (size_t at = 0, length = 0; at < part.size(); at += length) {
        length = page.charLength(part, at);
        unsigned char u = static_cast<unsigned char>(part[at]);
        if (length == 1 &&
            (u < 0x20 || std::string_view("<>:\"|?*").find(part[at]) != std::string_view::npos)) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> DriveMap::splitComponents(std::string_view text) {
    // A '\\' that trails a lead byte is part of a name, no separator.
    const CodePage& page = ansiCodePage();
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !isSeparator(text[end])) {
            end += page.charLength(text, end);
        }
        if (end > start) {
            parts.emplace_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

std::optional<std::string> DriveMap::absolutePath(std::string_view path,
                                                  std::string_view currentDir) const {
    if (path.empty() || path.size() >= kMaxPath || currentDir.size() < 2) {
        return std::nullopt;
    }
    std::string full;
    if (path.size() >= 2 && path[1] == ':') {
        bool onCurrentDrive = upperLetter(path[0]) == upperLetter(currentDir[0]);
        bool rooted = path.size() > 2 && isSeparator(path[2]);
        // "X:name" is relative to the current directory when that is on X:,
        // otherwise to X:'s root.
        full = rooted || !onCurrentDrive
                   ? std::string(path.substr(0, 2)) + "\\" + std::string(path.substr(2))
                   : std::string(currentDir) + "\\" + std::string(path.substr(2));
    } else if (isSeparator(path[0])) {
        if (path.size() > 1 && isSeparator(path[1])) {
            return std::nullopt; // network names have no drive here
        }
        full = std::string(currentDir.substr(0, 2)) + std::string(path);
    } else {
        full = std::string(currentDir) + "\\" + std::string(path);
    }
    if (!isDriveLetter(full[0]) || !isMapped(full[0])) {
        return std::nullopt;
    }
    std::vector<std::string> kept;
    for (std::string part : splitComponents(std::string_view(full).substr(2))) {
        part = withoutTrailingDotsAndBlanks(part);
        if (!isValidComponent(part)) {
            return std::nullopt;
        }
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
            continue;
        }
        kept.push_back(part);
    }
    std::string result = std::string(1, upperLetter(full[0])) + ":";
    for (const std::string& part : kept) {
        result += "\\" + part;
    }
    return kept.empty() ? result + "\\" : result;
}

std::string DriveMap::matchEntry(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return name;
    }
    // Of several host names that differ only in case, the smallest wins, so
    // the choice does not depend on the order of the folder's entries.
    std::optional<std::string> found;
    while (const dirent* entry = readdir(dir)) {
        std::string_view candidate = entry->d_name;
        if (candidate == name) {
            found = name;
            break;
        }
        if (ansiCodePage().equalNoCase(candidate, name) && (!found || candidate < *found)) {
            found = std::string(candidate);
        }
    }
    closedir(dir);
    if (!found) {
        found = shortNameAlias(folder, name);
    }
    return found.value_or(name);
}

std::optional<std::string> DriveMap::shortNameAlias(const std::string& folder,
                                                    const std::string& name) {
    // A drive made from a disk image knows the short names of its long-named
    // entries ("PROGRA~1" for "Program Files"), which its folder cannot hold.
    const auto& aliases = emu::config().shortNames;
    auto inFolder = aliases.find(folder);
    if (inFolder == aliases.end()) {
        return std::nullopt;
    }
    // Only single-byte a-z fold: a trail byte stays as it is.
    std::string key = name;
    const CodePage& page = ansiCodePage();
    for (size_t at = 0, length = 0; at < key.size(); at += length) {
        length = page.charLength(key, at);
        if (length == 1) {
            key[at] = static_cast<char>(std::toupper(static_cast<unsigned char>(key[at])));
        }
    }
    auto alias = inFolder->second.find(key);
    if (alias == inFolder->second.end()) {
        return std::nullopt;
    }
    return alias->second;
}

std::string DriveMap::hostPath(const std::string& absolute) const {
    std::string host = m_roots.at(upperLetter(absolute[0]));
    for (const std::string& part : splitComponents(std::string_view(absolute).substr(2))) {
        host = joinHost(host, matchEntry(host, part));
    }
    return host;
}

bool DriveMap::leavesDrive(const std::string& absolute, const std::string& hostPath) const {
    const std::string& root = m_roots.at(upperLetter(absolute[0]));
    std::string prefix = root.back() == '/' ? root : root + "/";
    // Each entry below the root, from the top: a link among them is followed
    // to its end, which must exist and lie inside the root.
    for (size_t slash = hostPath.find('/', root.size() + 1);;
         slash = hostPath.find('/', slash + 1)) {
        std::string part = hostPath.substr(0, slash);
        struct stat info {};
        if (lstat(part.c_str(), &info) != 0) {
            return false; // what is missing here is missing below too
        }
        if (S_ISLNK(info.st_mode)) {
            char* real = realpath(part.c_str(), nullptr);
            bool inside =
                real != nullptr && (real == root || std::string(real).rfind(prefix, 0) == 0);
            free(real);
            if (!inside) {
                return true;
            }
        }
        if (slash == std::string::npos) {
            return false;
        }
    }
}

std::optional<std::string> DriveMap::windowsPathOf(const std::string& hostFolder) const {
    for (const auto& [letter, root] : m_roots) {
        std::string prefix = root.back() == '/' ? root : root + "/";
        if (hostFolder == root) {
            return std::string(1, letter) + ":\\";
        }
        if (hostFolder.compare(0, prefix.size(), prefix) == 0) {
            std::string rest = hostFolder.substr(prefix.size());
            for (char& c : rest) {
                c = c == '/' ? '\\' : c;
            }
            return std::string(1, letter) + ":\\" + rest;
        }
    }
    return std::nullopt;
}

} // namespace emu::kernel
