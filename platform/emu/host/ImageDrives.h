// The disk images a run of the host program uses: every --drive that names
// an image file instead of a folder, and a --disk that names one. Opening
// them turns the options into a machine of folders (ImageDrive); at the end
// of a finished run the writable ones are written back.
#pragma once

#include "platform/emu/host/HostOptions.h"
#include "platform/emu/host/ImageDrive.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace emu::host {

class ImageDrives {
public:
    // Opens the images options name and points the options' drives at their
    // folders; a --disk image becomes drive A: and the start folder, a
    // --disk folder the start folder. waiting(image) is called when another
    // copy of this program holds an image. Without writeBack (a dry run, a
    // check) every image is opened read-only. The reason when an image is
    // refused; none is changed then, and none stays open.
    hostsupport::Result<void> open(HostOptions& options, bool writeBack,
                                   const std::function<void(const std::string&)>& waiting);
    // Writes the changes of every writable image back, all or nothing: every
    // image's journal is sealed before the first is written, and when one
    // cannot be written the others written before it are put back. False
    // with the reason in error when any could not be.
    bool commit(std::string& error);
    // rolledBack(image) is called when opening an image puts back the
    // journal of a write-back that was cut short.
    void setRollBackNotice(std::function<void(const std::string&)> rolledBack) {
        m_rolledBack = std::move(rolledBack);
    }
    // Ends the use of every image without writing anything back.
    void discard() { m_drives.clear(); }
    bool hasWritable() const;
    // Gives the file at hostPath, when it lies in an image's folder, its
    // bytes from the image (ImageDrive::fetch); the machine's
    // MachineConfig::fetchContent.
    bool fetch(const std::string& hostPath) const;

    // Whether a --drive or --disk value names an image file rather than a
    // folder.
    static bool namesImage(const std::string& value);

private:
    struct Mounted {
        char letter;
        bool readOnly;
        std::unique_ptr<ImageDrive> drive;
    };
    hostsupport::Result<void> mountAll(HostOptions& options, bool writeBack,
                                       const std::function<void(const std::string&)>& waiting);
    hostsupport::Result<void> mount(char letter, const std::string& imageName, bool readOnly,
                                    HostOptions& options,
                                    const std::function<void(const std::string&)>& waiting);

    std::vector<Mounted> m_drives;
    std::function<void(const std::string&)> m_rolledBack;
};

} // namespace emu::host
