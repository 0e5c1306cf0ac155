// mtools run on the FAT volume of an image file: every tool takes the volume
// as FILE@@OFFSET, runs through HostTool, and a failure names the image.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/ImageSpelling.h"
#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/kernel/CodePage.h"

#include <string>
#include <vector>

namespace emu::host {

class Mtools {
public:
    // The volume of image, read or written in file (the image itself or a
    // copy of it laid out the same), its short names read in codePage, its
    // names spelt in the work folder as spelling says (ImageNames).
    Mtools(ImageVolume volume, std::string file, int codePage, ImageSpelling spelling = {})
        : m_volume(std::move(volume)), m_file(std::move(file)), m_codePage(codePage),
          m_spelling(std::move(spelling)) {}

    // The code page mtools reads the volume's short names in.
    int codePage() const { return m_codePage; }
    const ImageSpelling& spelling() const { return m_spelling; }
    // The ANSI code page the work folder spells the volume's names in.
    const kernel::CodePage& ansi() const { return *m_spelling.ansi; }

    // Runs tool with args after "-i FILE@@OFFSET"; what it printed on stdout,
    // or why it failed.
    hostsupport::Result<std::string> run(const std::string& tool,
                                         const std::vector<std::string>& args) const;

private:
    ImageVolume m_volume;
    std::string m_file;
    int m_codePage;
    ImageSpelling m_spelling;
};

} // namespace emu::host
