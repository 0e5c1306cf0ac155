#include "platform/emu/host/ImagePlacement.h"

#include "platform/emu/host/VolumeCheck.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace emu::host {

namespace {

bool syncPath(const std::string& path, int flags) {
    hostsupport::UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
    return fd.valid() && fsync(fd.get()) == 0;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

ImagePlacement::ImagePlacement(ImageVolume volume, std::string workFolder)
    : m_volume(std::move(volume)), m_workFolder(std::move(workFolder)),
      m_workCopy(m_workFolder + "/image") {}

hostsupport::Result<void> ImagePlacement::copy() {
    hostsupport::ToolResult copy =
        hostsupport::HostTool::run({"cp", "--reflink=auto", "--sparse=always",
                                    "--preserve=mode,ownership", m_volume.path, m_workCopy});
    if (!copy.succeeded()) {
        return hostsupport::Failure{copy.failure("cp") + " (a work copy of " + m_volume.path + ")"};
    }
    return {};
}

hostsupport::Result<void> ImagePlacement::putInPlace(const StepHook& step) {
    hostsupport::Result<void> checked = VolumeCheck::run(m_volume, m_workCopy, m_workFolder);
    if (!checked) {
        return hostsupport::Failure{"after writing the changes, " + checked.reason()};
    }
    step("fsck");
    if (!syncPath(m_workCopy, O_RDONLY)) {
        return hostsupport::Failure{"cannot sync the work copy " + m_workCopy + ": " +
                                    std::strerror(errno)};
    }
    step("sync");
    if (rename(m_workCopy.c_str(), m_volume.path.c_str()) != 0) {
        return hostsupport::Failure{"cannot put the work copy in place of " + m_volume.path + ": " +
                                    std::strerror(errno)};
    }
    step("rename");
    syncPath(parentOf(m_volume.path), O_RDONLY | O_DIRECTORY);
    return {};
}

} // namespace emu::host
