#include "platform/emu/host/ImageDrive.h"

#include "platform/emu/host/ImageCopyOut.h"
#include "platform/emu/host/ImagePlacement.h"
#include "platform/emu/host/ImageWriter.h"
#include "platform/emu/host/InstallationCodePage.h"
#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/VolumeCheck.h"
#include "platform/emu/hostsupport/HostTool.h"

#include <sys/stat.h>

namespace emu::host {

using hostsupport::Failure;
using hostsupport::Result;

Result<std::unique_ptr<ImageDrive>> ImageDrive::open(const std::string& imageName, bool readOnly,
                                                     const std::function<void()>& waiting) {
    Result<ImageVolume> volume = DiskImage::findVolume(imageName);
    if (!volume) {
        return volume.failure();
    }
    // The new image is renamed over the file itself, never over a link to it.
    volume->path = ImageWorkFolder::canonical(volume->path);
    struct stat info {};
    if (!readOnly && (stat(volume->path.c_str(), &info) != 0 || (info.st_mode & S_IWUSR) == 0)) {
        return Failure{volume->path + " is read-only; make it writable to install into it (a dry "
                                      "run does not need that)"};
    }
    std::unique_ptr<ImageDrive> drive(new ImageDrive());
    drive->m_volume = *volume;
    drive->m_readOnly = readOnly;
    Result<void> locked = drive->m_lock.take(volume->path, !readOnly, waiting);
    if (!locked) {
        return locked.failure();
    }
    Result<void> made = drive->m_work.make(volume->path, readOnly);
    if (!made) {
        return made.failure();
    }
    Result<void> checked = VolumeCheck::run(*volume, volume->path, drive->m_work.path());
    if (!checked) {
        return checked.failure();
    }
    // The installation on the image may keep its short names in another
    // code page than 437; the files that say so have ASCII names.
    Result<int> codePage = InstallationCodePage::of(
        Mtools(*volume, volume->path, hostsupport::HostTool::kShortNameCodePage), drive->folder());
    if (!codePage) {
        return Failure{volume->path + ": " + codePage.reason()};
    }
    drive->m_codePage = *codePage;
    Result<CopiedOut> copied =
        ImageCopyOut::run(Mtools(*volume, volume->path, *codePage), volume->path, drive->folder());
    if (!copied) {
        return copied.failure();
    }
    drive->m_tree = std::move(copied->tree);
    drive->m_shortNames = std::move(copied->shortNames);
    drive->m_lock.keepOthersOut();
    return drive;
}

void ImageDrive::step(const std::string& name) {
    if (m_stepHook) {
        m_stepHook(name);
    }
}

Result<void> ImageDrive::commit() {
    m_changes = 0;
    if (m_readOnly) {
        return {};
    }
    Tree now = TreeComparison::scan(folder());
    ImageChanges changes = TreeComparison::compare(m_tree, now);
    m_changes = changes.count();
    if (m_changes == 0) {
        return {};
    }
    ImagePlacement placement(m_volume, m_work.path());
    Result<void> copied = placement.copy();
    if (!copied) {
        return copied;
    }
    step("copy");
    auto hook = [this](const std::string& name) { step(name); };
    Result<void> written = ImageWriter::write(Mtools(m_volume, placement.workCopy(), m_codePage),
                                              changes, folder(), m_work.path() + "/names", hook);
    if (!written) {
        return written;
    }
    Result<void> placed = placement.putInPlace(hook);
    if (!placed) {
        return placed;
    }
    m_tree = TreeComparison::scan(folder());
    return {};
}

} // namespace emu::host
