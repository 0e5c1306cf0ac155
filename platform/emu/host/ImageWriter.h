// Writes an image drive's changes into a volume with mtools: removals first,
// then new folders, then the files written (read-only ones unprotected
// first), then the attributes. Each tool run is a step. Every path reaches
// mtools in UTF-8 and literally (ImageNames), never as a pattern.
#pragma once

#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/TreeComparison.h"
#include "platform/emu/hostsupport/Result.h"

#include <functional>
#include <string>

namespace emu::host {

class ImageWriter {
public:
    using StepHook = std::function<void(const std::string&)>;

    // Writes changes, whose written files are read from folder, into image;
    // step(tool) after each tool that ran. The failure names the tool, or
    // the name that would not come back the same once made on the image
    // (then no tool has run). staging (made and removed here) holds links
    // to written files under the names mtools reads.
    static hostsupport::Result<void> write(const Mtools& image, const ImageChanges& changes,
                                           const std::string& folder, const std::string& staging,
                                           const StepHook& step);
};

} // namespace emu::host
