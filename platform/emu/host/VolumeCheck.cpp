#include "platform/emu/host/VolumeCheck.h"

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

hostsupport::Result<void> VolumeCheck::run(const ImageVolume& volume, const std::string& file,
                                           const std::string& scratchFolder) {
    std::string checked = file;
    if (volume.offset != 0) {
        // fsck.fat reads the file system's own areas and directories only:
        // those are copied out, the files' data stays behind.
        checked = scratchFolder + "/volume";
        Result<std::vector<ByteRange>> ranges = fileSystemRanges(volume, file);
        Result<void> copied =
            ranges ? copyRanges(file, volume, *ranges, checked) : Result<void>(ranges.failure());
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
