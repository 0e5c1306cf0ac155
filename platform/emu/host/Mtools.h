// mtools run on the FAT volume of an image file: every tool takes the volume
// as FILE@@OFFSET, runs through HostTool, and a failure names the image.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/hostsupport/Result.h"

#include <string>
#include <vector>

namespace emu::host {

class Mtools {
public:
    // The volume of image, read or written in file (the image itself or a
    // copy of it laid out the same), its short names in codePage.
    Mtools(ImageVolume volume, std::string file, int codePage)
        : m_volume(std::move(volume)), m_file(std::move(file)), m_codePage(codePage) {}

    // The OEM code page of the volume's short names.
    int codePage() const { return m_codePage; }

    // Runs tool with args after "-i FILE@@OFFSET"; what it printed on stdout,
    // or why it failed.
    hostsupport::Result<std::string> run(const std::string& tool,
                                         const std::vector<std::string>& args) const;

private:
    ImageVolume m_volume;
    std::string m_file;
    int m_codePage;
};

} // namespace emu::host
