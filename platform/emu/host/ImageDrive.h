// A disk image as a drive of the emulated machine. The image's files are
// copied out with mtools into a private folder, which the machine maps like
// any drive folder; at the end of a finished session exactly what changed in
// that folder is written into a copy of the image with mtools, the copy is
// checked with fsck.fat and renamed over the image. Until that rename the
// image keeps every byte, so a killed or failed run leaves it as it was.
//
// The folder keeps what a FAT disk shows the program: read-only files lack
// their write bits, and the short names of long-named entries are handed to
// the machine as aliases (MachineConfig::shortNames).
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/ImageLock.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace emu::host {

class ImageDrive {
public:
    // Opens the image of imageName ("FILE" or "FILE@N"): finds its volume, takes
    // the image's lock (waiting for another copy of this program, refusing
    // one another program holds), checks the volume with fsck.fat and copies
    // its files out. A read-only drive is never written back. nullptr with
    // the reason in error when any of it fails; nothing is changed then.
    static std::unique_ptr<ImageDrive> open(const std::string& imageName, bool readOnly,
                                            const std::function<void()>& waiting,
                                            std::string& error);
    ~ImageDrive();
    ImageDrive(const ImageDrive&) = delete;
    ImageDrive& operator=(const ImageDrive&) = delete;

    // The host folder that holds the image's files.
    const std::string& folder() const { return m_folder; }
    const ImageVolume& volume() const { return m_volume; }
    // Host folder (as the folder's own paths spell it) to upper-case short
    // name to the long name of that folder's entry.
    const std::map<std::string, std::map<std::string, std::string>>& shortNames() const {
        return m_shortNames;
    }

    // Writes what changed in the folder into the image, whole or not at all.
    // False with the reason in error when it could not; the image is then as
    // it was. Nothing to write leaves the image's file alone.
    bool commit(std::string& error);
    // How many file entries the last commit wrote, removed or changed.
    int changesWritten() const { return m_changes; }

    // For crash tests: called after each step of commit that leaves
    // something on disk, with the step's name.
    void setStepHook(std::function<void(const std::string&)> hook) { m_stepHook = std::move(hook); }

    // The work folder that belongs to the image at path: beside it, named
    // after it. Exists only while a run uses the image or after a killed run.
    static std::string workFolderOf(const std::string& imagePath);

private:
    struct Entry {
        bool folder = false;
        bool readOnly = false;
        bool hidden = false;
        bool system = false;
        ino_t inode = 0;
        off_t size = 0;
        std::int64_t modified = 0; // ns
        std::int64_t changed = 0;  // ns
    };
    using Tree = std::map<std::string, Entry>; // path relative to the folder, '/'

    ImageDrive() = default;
    bool prepareWorkFolder(std::string& error);
    bool checkVolume(const std::string& imageFile, std::string& error);
    bool extract(std::string& error);
    bool readAttributes(Tree& attributes, std::string& error);
    bool readShortNames(std::string& error);
    bool applyChanges(const Tree& now, std::string& error);
    bool putInPlace(std::string& error);
    // Runs an mtools command on the work copy of the image (or the image
    // itself when reading); false with the reason in error.
    bool mtools(const std::string& tool, const std::vector<std::string>& args,
                const std::string& imageFile, std::string& output, std::string& error);
    void step(const std::string& name);
    // FILE@@OFFSET: the volume in file, as mtools' -i takes it.
    std::string imageArgument(const std::string& file) const;
    static Tree scan(const std::string& root);

    ImageVolume m_volume;
    bool m_readOnly = false;
    ImageLock m_lock;
    std::string m_workFolder; // holds files/, the work copy and the volume checked
    std::string m_folder;     // the drive's folder (canonical)
    Tree m_tree;              // the folder as copied out
    std::map<std::string, std::map<std::string, std::string>> m_shortNames;
    std::function<void(const std::string&)> m_stepHook;
    int m_changes = 0;
};

} // namespace emu::host
