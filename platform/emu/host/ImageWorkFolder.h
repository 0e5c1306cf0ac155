// The private folder an image drive works in: files/ holds the image's files
// as the machine sees them, and scratch files (a volume cut out to be
// checked, a work copy) sit beside it. A writable image's folder is beside
// the image, named after it, so a killed run's folder is found and cleared by
// the next; a read-only image's is a temporary folder, as the image's own
// folder may not be writable. Removed with everything in it when the object
// goes.
#pragma once

#include "platform/emu/hostsupport/Result.h"

#include <string>

namespace emu::host {

class ImageWorkFolder {
public:
    ImageWorkFolder() = default;
    ~ImageWorkFolder();
    ImageWorkFolder(const ImageWorkFolder&) = delete;
    ImageWorkFolder& operator=(const ImageWorkFolder&) = delete;

    // Makes the folder of imagePath, clearing what a killed run left there
    // (the caller holds the image's lock, so nothing else uses it).
    hostsupport::Result<void> make(const std::string& imagePath, bool readOnly);

    const std::string& path() const { return m_path; }
    // The folder of the image's files (canonical, as the machine maps it).
    const std::string& files() const { return m_files; }

    // The work folder that belongs to the image at imagePath: beside it,
    // named after it. Exists only while a run uses the image or after a
    // killed run.
    static std::string of(const std::string& imagePath);
    // Removes path and everything under it; true when it is gone.
    static bool removeTree(const std::string& path);
    // path with its links and dots resolved, or path itself when it has none.
    static std::string canonical(const std::string& path);

private:
    std::string m_path;
    std::string m_files;
};

} // namespace emu::host
