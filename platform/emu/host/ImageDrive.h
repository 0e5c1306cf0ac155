// A disk image as a drive of the emulated machine. The image's files are
// copied out with mtools into a private folder (ImageCopyOut, in an
// ImageWorkFolder), which the machine maps like any drive folder; at the end
// of a finished session exactly what changed in that folder
// (TreeComparison) is written into a copy of the image with mtools
// (ImageWriter), the copy is checked with fsck.fat (VolumeCheck) and renamed
// over the image (ImagePlacement). Until that rename the image keeps every
// byte, so a killed or failed run leaves it as it was.
//
// The folder keeps what a FAT disk shows the program: read-only files lack
// their write bits, and the short names of long-named entries are handed to
// the machine as aliases (MachineConfig::shortNames).
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/ImageLock.h"
#include "platform/emu/host/ImageWorkFolder.h"
#include "platform/emu/host/TreeComparison.h"
#include "platform/emu/hostsupport/Result.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace emu::host {

class ImageDrive {
public:
    // Opens the image of imageName ("FILE" or "FILE@N"): finds its volume, takes
    // the image's lock (waiting for another copy of this program, refusing
    // one another program holds), checks the volume with fsck.fat and copies
    // its files out. A read-only drive is never written back. The reason
    // when any of it fails; nothing is changed then.
    static hostsupport::Result<std::unique_ptr<ImageDrive>>
    open(const std::string& imageName, bool readOnly, const std::function<void()>& waiting);
    ImageDrive(const ImageDrive&) = delete;
    ImageDrive& operator=(const ImageDrive&) = delete;

    // The host folder that holds the image's files.
    const std::string& folder() const { return m_work.files(); }
    const ImageVolume& volume() const { return m_volume; }
    // Host folder (as the folder's own paths spell it) to upper-case short
    // name to the long name of that folder's entry.
    const std::map<std::string, std::map<std::string, std::string>>& shortNames() const {
        return m_shortNames;
    }

    // Writes what changed in the folder into the image, whole or not at all;
    // the reason when it could not, and the image is then as it was.
    // Nothing to write leaves the image's file alone.
    hostsupport::Result<void> commit();
    // How many file entries the last commit wrote, removed or changed.
    int changesWritten() const { return m_changes; }

    // For crash tests: called after each step of commit that leaves
    // something on disk, with the step's name.
    void setStepHook(std::function<void(const std::string&)> hook) { m_stepHook = std::move(hook); }

    // The work folder that belongs to the image at path: beside it, named
    // after it. Exists only while a run uses the image or after a killed run.
    static std::string workFolderOf(const std::string& imagePath) {
        return ImageWorkFolder::of(imagePath);
    }

private:
    ImageDrive() = default;
    void step(const std::string& name);

    ImageVolume m_volume;
    bool m_readOnly = false;
    int m_codePage = 0; // of the short names, the installation's
    ImageLock m_lock;
    ImageWorkFolder m_work;
    Tree m_tree; // the folder as copied out
    std::map<std::string, std::map<std::string, std::string>> m_shortNames;
    std::function<void(const std::string&)> m_stepHook;
    int m_changes = 0;
};

} // namespace emu::host
