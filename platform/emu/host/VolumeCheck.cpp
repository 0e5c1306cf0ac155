#include "platform/emu/host/VolumeCheck.h"

#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

namespace emu::host {

namespace {

// Copies length bytes of from at offset into a new file to, leaving holes
// where from has them.
bool copyRegion(const std::string& from, std::uint64_t offset, std::uint64_t length,
                const std::string& to) {
    hostsupport::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    hostsupport::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!in.valid() || !out.valid() || ftruncate(out.get(), static_cast<off_t>(length)) != 0) {
        return false;
    }
    auto end = static_cast<off_t>(offset + length);
    auto at = static_cast<off_t>(offset);
    while (at < end) {
        off_t data = lseek(in.get(), at, SEEK_DATA);
        if (data < 0 || data >= end) {
            break;
        }
        off_t hole = lseek(in.get(), data, SEEK_HOLE);
        hole = hole < 0 || hole > end ? end : hole;
        loff_t source = data;
        loff_t target = data - static_cast<off_t>(offset);
        while (source < hole) {
            ssize_t done = copy_file_range(in.get(), &source, out.get(), &target,
                                           static_cast<size_t>(hole - source), 0);
            if (done <= 0) {
                return false;
            }
        }
        at = hole;
    }
    return true;
}

} // namespace

hostsupport::Result<void> VolumeCheck::run(const ImageVolume& volume, const std::string& file,
                                           const std::string& scratchFolder) {
    std::string checked = file;
    if (volume.offset != 0) {
        checked = scratchFolder + "/volume";
        if (!copyRegion(file, volume.offset, volume.length, checked)) {
            return hostsupport::Failure{"cannot copy the volume of " + volume.path +
                                        " to check it: " + std::strerror(errno)};
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
