#include "platform/emu/host/ImageIdentity.h"

#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/PositionedRead.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::host {

using hostsupport::Failure;
using hostsupport::Result;

Result<ImageIdentity> ImageIdentity::of(const ImageVolume& volume) {
    Result<FatLayout> layout = FatLayout::read(volume, volume.path);
    if (!layout) {
        return layout.failure();
    }
    hostsupport::UniqueFd fd(::open(volume.path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || fstat(fd.get(), &info) != 0) {
        return Failure{volume.path + " cannot be read: " + std::strerror(errno)};
    }
    ImageIdentity identity;
    identity.m_device = info.st_dev;
    identity.m_inode = info.st_ino;
    identity.m_size = info.st_size;
    identity.m_modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
    identity.m_changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
    std::string areas;
    for (const ByteRange& range : layout->systemAreas()) {
        std::size_t start = areas.size();
        areas.resize(start + static_cast<std::size_t>(range.length));
        if (!hostsupport::readExactly(fd.get(), range.offset, areas.data() + start,
                                      static_cast<size_t>(range.length))) {
            return Failure{"cannot read the file system of " + volume.path + ": " +
                           (errno != 0 ? std::strerror(errno) : "the file ends early")};
        }
    }
    identity.m_areasHash = std::hash<std::string_view>{}(areas);
    return identity;
}

std::string ImageIdentity::changesIn(const ImageIdentity& now) const {
    std::string changes;
    auto add = [&](bool differs, const char* what) {
        if (differs) {
            changes += (changes.empty() ? "" : ", ") + std::string(what);
        }
    };
    add(m_device != now.m_device || m_inode != now.m_inode, "it is another file");
    add(m_size != now.m_size, "its size");
    add(m_modified != now.m_modified, "its modification time");
    add(m_changed != now.m_changed, "its change time");
    add(m_areasHash != now.m_areasHash, "its file system's FATs and directories");
    return changes;
}

} // namespace emu::host
