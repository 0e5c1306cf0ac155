// A disk image as a drive of the emulated machine. The image's folders are
// read and its files made in a private folder (ImageCopyOut, in an
// ImageWorkFolder), which the machine maps like any drive folder; a file's
// bytes are copied in when the machine first uses it (fetch), or all at
// once when the drive is opened so. At the end of a finished session
// exactly what changed in that folder (TreeComparison) is written with
// mtools into the image where it lies (ImageWriter), behind an undo journal
// that holds every region the tools may overwrite (ImagePlacement); the
// volume is checked with fsck.fat (VolumeCheck) before the journal goes. A
// failed write is undone; a killed one is rolled back by the next run that
// opens the image, before anything else. A write-back refuses an image
// another program changed since the run opened it (ImageIdentity), keeping
// that program's change.
//
// The folder keeps what a FAT disk shows the program: read-only files lack
// their write bits, and the short names of long-named entries are handed to
// the machine as aliases (MachineConfig::shortNames).
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/FatLayout.h"
#include "platform/emu/host/ImageCopyOut.h"
#include "platform/emu/host/ImageIdentity.h"
#include "platform/emu/host/ImageLock.h"
#include "platform/emu/host/ImagePlacement.h"
#include "platform/emu/host/ImageSpelling.h"
#include "platform/emu/host/ImageWorkFolder.h"
#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/TreeComparison.h"
#include "platform/emu/hostsupport/Result.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace emu::host {

class ImageDrive {
public:
    // Opens the image of imageName ("FILE" or "FILE@N"): finds its volume, takes
    // the image's lock (waiting for another copy of this program, refusing
    // one another program holds), checks the volume with fsck.fat and copies
    // its files out. A journal a killed write-back left beside the image is
    // rolled back first, and rolledBack called. A read-only drive is never
    // written back. The reason when any of it fails; nothing is changed
    // then.
    //
    // Bytes::WhenUsed leaves each file's bytes in the image until fetch()
    // is called for it: whoever reads the folder must call it first (the
    // machine does, through MachineConfig::fetchContent).
    enum class Bytes { CopiedOut, WhenUsed };
    static hostsupport::Result<std::unique_ptr<ImageDrive>>
    open(const std::string& imageName, bool readOnly, const std::function<void()>& waiting,
         const std::function<void()>& rolledBack = nullptr, Bytes bytes = Bytes::CopiedOut);
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

    // Gives the file at hostPath (inside folder()) the bytes it has in the
    // image when they are not there yet; true at once for any other path.
    // False when they could not be copied: the file must not be used then,
    // and the write-back is refused, as the run worked without it.
    bool fetch(const std::string& hostPath);
    // How many files still wait for their bytes.
    size_t unfetched() const;

    // Writes what changed in the folder into the image, whole or not at all;
    // the reason when it could not, and the image is then as it was (or as
    // another program that wrote it since the run opened it left it).
    // Nothing to write leaves the image's file alone. commit() is prepare(),
    // write() and finish(), with undo() after a failure; several drives
    // written all or nothing call them in turn on each.
    hostsupport::Result<void> commit();
    // Refuses an image another program changed, finds the changes and seals
    // the journal of what they overwrite. Writes nothing into the image.
    hostsupport::Result<void> prepare();
    // Writes the prepared changes into the image and checks its volume.
    hostsupport::Result<void> write();
    // Syncs the image and drops the journal: the changes stay.
    hostsupport::Result<void> finish();
    // Puts back what write() overwrote (nothing when nothing was prepared).
    hostsupport::Result<void> undo();
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

    // Bytes of the image the last write-back's journal held.
    std::uint64_t journalBytes() const { return m_journalBytes; }

private:
    ImageDrive() = default;
    // fetch() under m_fetching.
    hostsupport::Result<void> fetchLocked(const std::string& hostPath);
    void step(const std::string& name);
    // mtools on the volume, in the code page it reads the short names in.
    Mtools tools() const;
    // The clusters the changes may overwrite that are in use: those of
    // every directory they change and of every file they replace or delete.
    hostsupport::Result<std::vector<std::uint32_t>> clustersToKeep(const FatLayout& layout) const;

    ImageVolume m_volume;
    bool m_readOnly = false;
    int m_codePage = 0;       // of the short names, the installation's
    ImageSpelling m_spelling; // of the names, between mtools and the folder
    ImageLock m_lock;
    ImageWorkFolder m_work;
    std::optional<ImageIdentity> m_identity; // the image as the run found it
    Tree m_tree;                             // the folder as copied out
    ImageChanges m_pending;                  // prepared, not yet finished
    std::unique_ptr<ImagePlacement> m_placement;
    std::uint64_t m_journalBytes = 0;
    std::map<std::string, std::map<std::string, std::string>> m_shortNames;
    std::function<void(const std::string&)> m_stepHook;
    std::optional<FatLayout> m_layout; // where the placeholders' bytes lie
    std::string m_layoutFailure;       // why there is none
    std::map<ino_t, Placeholder> m_placeholders;
    std::string m_fetchFailure; // the first file the machine could not have
    mutable std::mutex m_fetching;
    int m_changes = 0;
};

} // namespace emu::host
