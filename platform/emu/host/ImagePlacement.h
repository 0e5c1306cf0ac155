// Puts an image's changes in place whole or not at all: the changes are
// written into a work copy of the image, which is checked with fsck.fat,
// synced and renamed over the image. Until that rename the image keeps every
// byte.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <functional>
#include <string>

namespace emu::host {

class ImagePlacement {
public:
    using StepHook = std::function<void(const std::string&)>;

    // The work copy of volume's image goes in workFolder.
    ImagePlacement(ImageVolume volume, std::string workFolder);

    // The file to write the changes into, once copy() succeeded.
    const std::string& workCopy() const { return m_workCopy; }
    // Copies the image (holes and reflinks kept where the host can).
    hostsupport::Result<void> copy();
    // Checks the written work copy, syncs it and renames it over the image;
    // step("fsck"), step("sync") and step("rename") after each.
    hostsupport::Result<void> putInPlace(const StepHook& step);

private:
    ImageVolume m_volume;
    std::string m_workFolder;
    std::string m_workCopy;
};

} // namespace emu::host
