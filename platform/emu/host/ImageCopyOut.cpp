#include "platform/emu/host/ImageCopyOut.h"

#include "platform/emu/host/ImageNames.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <regex>
#include <sstream>
#include <sys/stat.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// Every entry of the volume with its read-only, hidden and system flags.
Result<Tree> readAttributes(const Mtools& image) {
    // mattrib finds nothing to list in an empty root and says so as an
    // error; mdir tells an empty root from a broken volume.
    Result<std::string> names = image.run("mdir", {"-a", "-b", "::/"});
    if (!names) {
        return names.failure();
    }
    Tree attributes;
    if (names->empty()) {
        return attributes;
    }
    Result<std::string> listing = image.run("mattrib", {"-/", "::/"});
    if (!listing) {
        return listing.failure();
    }
    std::istringstream lines(*listing);
    std::string line;
    while (std::getline(lines, line)) {
        size_t at = line.find("::/");
        if (at == std::string::npos || at + 3 >= line.size()) {
            continue; // the root itself
        }
        std::string flags = line.substr(0, at);
        TreeEntry entry;
        entry.readOnly = flags.find('R') != std::string::npos;
        entry.hidden = flags.find('H') != std::string::npos;
        entry.system = flags.find('S') != std::string::npos;
        // As the work folder spells it; a name it cannot spell is refused
        // when the folder is respelt.
        Result<std::string> path = ImageNames::toAnsiPath(line.substr(at + 3), image.spelling());
        attributes[path ? *path : line.substr(at + 3)] = entry;
    }
    return attributes;
}

Result<void> readShortNames(const Mtools& image, const std::string& root, CopiedOut& copied) {
    Result<std::string> listing = image.run("mdir", {"-/", "-a", "::/"});
    if (!listing) {
        return listing.failure();
    }
    // "LONGFI~1 TXT         7 2026-12-09  18:21  Long File Name.txt"
    static const std::regex entryLine(
        R"(^(.{8}) (.{3}) +(<DIR>|[0-9 ]+) +[0-9]{4}-[0-9]{2}-[0-9]{2} +[0-9]{1,2}:[0-9]{2} +(.+)$)");
    std::istringstream lines(*listing);
    std::string line;
    std::string folder = root;
    while (std::getline(lines, line)) {
        // One byte a character, as the columns count them and the folder
        // spells the names.
        Result<std::string> ansi = ImageNames::toAnsi(line, image.ansi());
        line = ansi ? *ansi : std::string();
        if (line.rfind("Directory for ::/", 0) == 0) {
            std::string relative = line.substr(17);
            folder = relative.empty() ? root : root + "/" + relative;
            continue;
        }
        std::smatch match;
        if (!std::regex_match(line, match, entryLine)) {
            continue;
        }
        std::string shortName = trimmed(match[1].str());
        std::string extension = trimmed(match[2].str());
        if (!extension.empty()) {
            shortName += "." + extension;
        }
        std::string longName = match[4].str();
        if (upper(longName) != upper(shortName)) {
            copied.shortNames[folder][upper(shortName)] = longName;
        }
    }
    return {};
}

} // namespace

Result<CopiedOut> ImageCopyOut::run(const Mtools& image, const std::string& imagePath,
                                    const std::string& folder) {
    Result<Tree> attributes = readAttributes(image);
    if (!attributes) {
        return attributes.failure();
    }
    CopiedOut copied;
    if (attributes->empty()) {
        // mdir and mcopy take an empty root for a missing one.
        return copied;
    }
    Result<std::string> copy = image.run("mcopy", {"-s", "-m", "-n", "::/*", folder + "/"});
    if (!copy) {
        return copy.failure();
    }
    // mtools spells the names in UTF-8; the machine reads them in its ANSI
    // code page.
    Result<void> respelt = ImageNames::respellTree(folder, image.spelling());
    if (!respelt) {
        return Failure{imagePath + ": " + respelt.reason() +
                       "; the image is used only when every name comes and goes exactly"};
    }
    copied.tree = TreeComparison::scan(folder);
    for (const auto& [path, flags] : *attributes) {
        auto found = copied.tree.find(path);
        if (found == copied.tree.end()) {
            // A name mcopy spells otherwise than mattrib would be lost
            // when the image is written back.
            return Failure{"the entry \"" + path + "\" of " + imagePath +
                           " could not be copied out under its own name"};
        }
        TreeEntry& entry = found->second;
        entry.hidden = flags.hidden;
        entry.system = flags.system;
        if (flags.readOnly && !entry.folder) {
            std::string host = folder + "/" + path;
            if (chmod(host.c_str(), 0444) != 0) {
                return Failure{"cannot mark " + host + " read-only: " + std::strerror(errno)};
            }
        }
    }
    if (copied.tree.size() != attributes->size()) {
        return Failure{"copying out " + imagePath + " gave " + std::to_string(copied.tree.size()) +
                       " entries where the image lists " + std::to_string(attributes->size())};
    }
    // The times and modes as they are after the chmods above.
    Tree scanned = TreeComparison::scan(folder);
    for (auto& [path, entry] : copied.tree) {
        TreeEntry now = scanned.at(path);
        now.hidden = entry.hidden;
        now.system = entry.system;
        entry = now;
    }
    Result<void> names = readShortNames(image, folder, copied);
    if (!names) {
        return names.failure();
    }
    return copied;
}

} // namespace emu::host
