// Puts an image's changes in place, where the image lies, behind an undo
// journal (UndoJournal): the original bytes of every region the image tools
// may overwrite are saved beside the image and synced before the first
// write; after the tools wrote, the volume is checked with fsck.fat and the
// journal removed only after the image is synced. A failure puts the saved
// bytes back; a kill leaves the journal for the next run's roll-back.
//
// The regions: the reserved sectors, both FATs and the fixed root directory,
// and the clusters the caller names (those of every directory the write
// changes and of every file it replaces or deletes). Clusters that were free
// need no journal: the FATs put back make them free again.
#pragma once

#include "platform/emu/host/DiskImage.h"
#include "platform/emu/host/FatLayout.h"
#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/hostsupport/UndoJournal.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace emu::host {

class ImagePlacement {
public:
    // The scratch file of the check goes in workFolder.
    ImagePlacement(ImageVolume volume, std::string workFolder);

    // Saves the file system's own areas of layout and clusters, and seals
    // the journal; nothing of the image may be written before.
    hostsupport::Result<void> seal(const FatLayout& layout,
                                   const std::vector<std::uint32_t>& clusters);
    // fsck.fat -n of the written volume, its short names in
    // shortNameCodePage (VolumeCheck).
    hostsupport::Result<void> check(int shortNameCodePage);
    // Syncs the image and removes the journal.
    hostsupport::Result<void> finish();
    // Puts the saved bytes back.
    hostsupport::Result<void> undo();
    // Bytes the journal holds.
    std::uint64_t savedBytes() const { return m_journal ? m_journal->savedBytes() : 0; }

private:
    ImageVolume m_volume;
    std::string m_workFolder;
    std::unique_ptr<hostsupport::UndoJournal> m_journal;
};

} // namespace emu::host
