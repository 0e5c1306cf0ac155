#include "platform/emu/host/VolumeCheck.h"

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UniqueFd.h"
#include "platform/emu/kernel/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <set>
#include <sstream>
#include <unistd.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;

// Copies the ranges of from (offsets in it) into a new file to of the
// volume's length, at their places in the volume, leaving the rest a hole:
// what fsck.fat reads of a volume, without the files' data.
Result<void> copyRanges(const std::string& from, const ImageVolume& volume,
                        const std::vector<ByteRange>& ranges, const std::string& to) {
    hostsupport::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    hostsupport::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!in.valid() || !out.valid() ||
        ftruncate(out.get(), static_cast<off_t>(volume.length)) != 0) {
        return Failure{"cannot make " + to + " to check " + volume.path + ": " +
                       std::strerror(errno)};
    }
    for (const ByteRange& range : ranges) {
        loff_t source = static_cast<loff_t>(range.offset);
        loff_t target = static_cast<loff_t>(range.offset - volume.offset);
        loff_t end = source + static_cast<loff_t>(range.length);
        while (source < end) {
            ssize_t done = copy_file_range(in.get(), &source, out.get(), &target,
                                           static_cast<size_t>(end - source), 0);
            if (done <= 0) {
                return Failure{"cannot copy the file system of " + volume.path + " to check it: " +
                               (done == 0 ? std::string("the file ends early")
                                          : std::string(std::strerror(errno)))};
            }
        }
    }
    return {};
}

// The system areas and directory clusters of the volume in file, adjacent
// clusters joined.
Result<std::vector<ByteRange>> fileSystemRanges(const ImageVolume& volume,
                                                const std::string& file) {
    Result<FatLayout> layout = FatLayout::read(volume, file);
    if (!layout) {
        return layout.failure();
    }
    Result<std::vector<std::uint32_t>> directories = layout->directoryClusters(file);
    if (!directories) {
        return directories.failure();
    }
    std::vector<ByteRange> ranges = layout->systemAreas();
    std::sort(directories->begin(), directories->end());
    for (std::uint32_t cluster : *directories) {
        ByteRange range = layout->cluster(cluster);
        if (ranges.back().offset + ranges.back().length == range.offset) {
            ranges.back().length += range.length;
        } else {
            ranges.push_back(range);
        }
    }
    return ranges;
}

constexpr size_t kEntry = 32;
constexpr size_t kNameBytes = 11;

bool offends(char c) {
    return c == '\\' || c == '|';
}

// The places of the bytes '\\' and '|' in a short name's 11 bytes, when
// each is the trail byte of a double-byte character of codePage and the
// base and the extension each read as whole characters of it; nullopt when
// one is not (fsck.fat is right about that name) or the name reads as no
// text of the code page.
std::optional<std::vector<size_t>> trailPlaces(std::string name, const kernel::CodePage& codePage) {
    if (name[0] == '\x05') {
        name[0] = '\xE5'; // a first byte 0xE5, kept as 0x05 in the entry
    }
    std::vector<size_t> places;
    for (auto [from, length] : {std::pair<size_t, size_t>{0, 8}, {8, 3}}) {
        std::string_view part(name.data() + from, length);
        for (size_t at = 0; at < part.size();) {
            size_t charLength = 1;
            if (codePage.decode(part, at, charLength) == kernel::CodePage::kInvalid ||
                (charLength == 1 && offends(part[at]))) {
                return std::nullopt;
            }
            if (charLength == 2 && offends(part[at + 1])) {
                places.push_back(from + at + 1);
            }
            at += charLength;
        }
    }
    return places;
}

unsigned char shortNameChecksum(std::string_view name) {
    unsigned char sum = 0;
    for (char c : name) {
        sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) +
                                         static_cast<unsigned char>(c));
    }
    return sum;
}

// A short name whose '\\' or '|' are trail bytes, and the long-name
// entries just before it, which carry its checksum.
struct TrailedName {
    size_t entry; // offset in the directory's entries
    std::vector<size_t> places;
    std::vector<size_t> longNameEntries;
};

// The name with its trail bytes '\\' and '|' replaced by forBackslash and
// forBar.
std::string neutral(std::string name, const TrailedName& trailed, char forBackslash, char forBar) {
    for (size_t place : trailed.places) {
        name[place] = name[place] == '\\' ? forBackslash : forBar;
    }
    return name;
}

// Replaces, in one directory's entries, the trail bytes '\\' and '|' of
// double-byte short names with two capitals, chosen so that no two names
// become one and no long name's checksum that did not match its short name
// comes to match it; the checksums that matched are changed with the name.
// Every other byte stays, so fsck.fat still sees every other fault.
// Whether anything was replaced.
bool neutralise(std::string& entries, const kernel::CodePage& codePage) {
    std::vector<std::string> names;
    std::vector<TrailedName> trailed;
    std::vector<size_t> longNameRun;
    for (size_t entry = 0; entry + kEntry <= entries.size() && entries[entry] != '\0';
         entry += kEntry) {
        auto attributes = static_cast<unsigned char>(entries[entry + 11]);
        if (static_cast<unsigned char>(entries[entry]) == 0xE5 || attributes == 0x0F) {
            if (attributes == 0x0F && static_cast<unsigned char>(entries[entry]) != 0xE5) {
                longNameRun.push_back(entry);
            } else {
                longNameRun.clear();
            }
            continue;
        }
        std::string name = entries.substr(entry, kNameBytes);
        std::optional<std::vector<size_t>> places;
        if ((attributes & 0x08) == 0 && name[0] != '.') {
            places = trailPlaces(name, codePage);
        }
        if (places && !places->empty()) {
            trailed.push_back({entry, *places, longNameRun});
        }
        names.push_back(name);
        longNameRun.clear();
    }
    if (trailed.empty()) {
        return false;
    }
    const size_t distinct = std::set<std::string>(names.begin(), names.end()).size();
    auto fits = [&](char forBackslash, char forBar) {
        std::set<std::string> mapped;
        for (const std::string& name : names) {
            std::optional<std::vector<size_t>> places = trailPlaces(name, codePage);
            mapped.insert(places ? neutral(name, {0, *places, {}}, forBackslash, forBar) : name);
        }
        if (mapped.size() != distinct) {
            return false;
        }
        for (const TrailedName& name : trailed) {
            std::string before = entries.substr(name.entry, kNameBytes);
            unsigned char was = shortNameChecksum(before);
            unsigned char now = shortNameChecksum(neutral(before, name, forBackslash, forBar));
            for (size_t longName : name.longNameEntries) {
                auto sum = static_cast<unsigned char>(entries[longName + 13]);
                if (sum != was && sum == now) {
                    return false;
                }
            }
        }
        return true;
    };
    for (char forBackslash = 'A'; forBackslash <= 'Z'; ++forBackslash) {
        for (char forBar = 'A'; forBar <= 'Z'; ++forBar) {
            if (forBar == forBackslash || !fits(forBackslash, forBar)) {
                continue;
            }
            for (const TrailedName& name : trailed) {
                std::string before = entries.substr(name.entry, kNameBytes);
                std::string after = neutral(before, name, forBackslash, forBar);
                for (size_t longName : name.longNameEntries) {
                    if (static_cast<unsigned char>(entries[longName + 13]) ==
                        shortNameChecksum(before)) {
                        entries[longName + 13] = static_cast<char>(shortNameChecksum(after));
                    }
                }
                entries.replace(name.entry, kNameBytes, after);
            }
            return true;
        }
    }
    return false;
}

// fsck.fat knows no double-byte code page: it calls a short name with a
// trail byte '\\' or '|' bad (Windows' own short names of code pages 932,
// 936 and 950 hold them). In the copy of the volume at file, such names
// are neutralised (neutralise) before fsck.fat reads it.
Result<void> neutraliseNames(const ImageVolume& volume, const std::string& file,
                             const kernel::CodePage& codePage) {
    Result<FatLayout> layout = FatLayout::read(volume, file);
    if (!layout) {
        return layout.failure();
    }
    Result<std::vector<FatDirectory>> directories = layout->directories(file);
    if (!directories) {
        return directories.failure();
    }
    hostsupport::UniqueFd out(::open(file.c_str(), O_WRONLY | O_CLOEXEC));
    if (!out.valid()) {
        return Failure{"cannot open " + file + ": " + std::strerror(errno)};
    }
    for (FatDirectory& directory : *directories) {
        if (!neutralise(directory.entries, codePage)) {
            continue;
        }
        size_t from = 0;
        for (const ByteRange& range : directory.ranges) {
            const char* bytes = directory.entries.data() + from;
            if (pwrite(out.get(), bytes, static_cast<size_t>(range.length),
                       static_cast<off_t>(range.offset)) != static_cast<ssize_t>(range.length)) {
                return Failure{"cannot write " + file + ": " + std::strerror(errno)};
            }
            from += static_cast<size_t>(range.length);
        }
    }
    return {};
}

} // namespace

hostsupport::Result<void> VolumeCheck::run(const ImageVolume& volume, const std::string& file,
                                           const std::string& scratchFolder,
                                           int shortNameCodePage) {
    const kernel::CodePage* names = kernel::CodePage::find(static_cast<UINT>(shortNameCodePage));
    const bool doubleByte = names != nullptr && names->isDoubleByte();
    std::string checked = file;
    if (volume.offset != 0 || doubleByte) {
        // fsck.fat reads the file system's own areas and directories only:
        // those are copied out, the files' data stays behind.
        checked = scratchFolder + "/volume";
        Result<std::vector<ByteRange>> ranges = fileSystemRanges(volume, file);
        Result<void> copied =
            ranges ? copyRanges(file, volume, *ranges, checked) : Result<void>(ranges.failure());
        if (copied && doubleByte) {
            ImageVolume copy = volume;
            copy.offset = 0;
            copied = neutraliseNames(copy, checked, *names);
        }
        if (!copied) {
            unlink(checked.c_str());
            return copied;
        }
    }
    hostsupport::ToolResult fsck = hostsupport::HostTool::run({"fsck.fat", "-n", checked});
    if (checked != file) {
        unlink(checked.c_str());
    }
    if (fsck.succeeded()) {
        return {};
    }
    if (fsck.status < 0) {
        return hostsupport::Failure{fsck.failure("fsck.fat") + "; it checks " + volume.path +
                                    " (package dosfstools)"};
    }
    std::istringstream lines(fsck.output + fsck.errors);
    std::string line;
    std::string first;
    while (std::getline(lines, line)) {
        if (line.rfind("fsck.fat ", 0) != 0 && !line.empty()) {
            first = line;
            break;
        }
    }
    return hostsupport::Failure{"fsck.fat -n finds the file system of " + volume.path + " (" +
                                volume.description + ") not clean" +
                                (first.empty() ? "" : ": " + first)};
}

} // namespace emu::host
