#include "platform/emu/host/ImageDrives.h"

#include <sys/stat.h>

namespace emu::host {

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

bool ImageDrives::namesImage(const std::string& value) {
    std::string file;
    int partition = 0;
    DiskImage::splitName(value, file, partition);
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

hostsupport::Result<void>
ImageDrives::mount(char letter, const std::string& imageName, bool readOnly, HostOptions& options,
                   const std::function<void(const std::string&)>& waiting) {
    std::string file;
    int partition = 0;
    DiskImage::splitName(imageName, file, partition);
    for (const Mounted& other : m_drives) {
        // Two locks of one process on one image would wait for each other.
        if (sameFile(other.drive->volume().path, file)) {
            return hostsupport::Failure{std::string("the image ") + file + " is named for drive " +
                                        other.letter + ": and for drive " + letter +
                                        ":; one image is one drive"};
        }
    }
    // A drive the run writes to is used through the machine only, which
    // fetches each file's bytes before it uses the file; a read-only one may
    // be read by the host program too, and is copied out whole.
    hostsupport::Result<std::unique_ptr<ImageDrive>> opened = ImageDrive::open(
        imageName, readOnly, [&] { waiting(file); },
        [&] {
            if (m_rolledBack) {
                m_rolledBack(file);
            }
        },
        readOnly ? ImageDrive::Bytes::CopiedOut : ImageDrive::Bytes::WhenUsed);
    if (!opened) {
        return opened.failure();
    }
    std::unique_ptr<ImageDrive> drive = std::move(*opened);
    options.machine.drives[letter] = drive->folder();
    for (const auto& [folder, names] : drive->shortNames()) {
        options.machine.shortNames[folder] = names;
    }
    m_drives.push_back(Mounted{letter, readOnly, std::move(drive)});
    if (!readOnly) {
        options.machine.fetchContent = [this](const std::string& hostPath) {
            return fetch(hostPath);
        };
    }
    return {};
}

hostsupport::Result<void>
ImageDrives::open(HostOptions& options, bool writeBack,
                  const std::function<void(const std::string&)>& waiting) {
    hostsupport::Result<void> opened = mountAll(options, writeBack, waiting);
    if (!opened) {
        m_drives.clear();
    }
    return opened;
}

hostsupport::Result<void>
ImageDrives::mountAll(HostOptions& options, bool writeBack,
                      const std::function<void(const std::string&)>& waiting) {
    for (const auto& [letter, value] : std::map<char, std::string>(options.machine.drives)) {
        if (!namesImage(value)) {
            continue;
        }
        hostsupport::Result<void> mounted = mount(letter, value, !writeBack, options, waiting);
        if (!mounted) {
            return mounted;
        }
    }
    if (options.disk.empty()) {
        return {};
    }
    if (!namesImage(options.disk)) {
        options.machine.startFolder = options.disk;
        return {};
    }
    if (options.machine.drives.count('A') != 0) {
        return hostsupport::Failure{"--disk " + options.disk +
                                    " is mounted as A:, which --drive A= names too"};
    }
    hostsupport::Result<void> mounted = mount('A', options.disk, true, options, waiting);
    if (!mounted) {
        return mounted;
    }
    options.machine.startFolder = options.machine.drives['A'];
    return {};
}

bool ImageDrives::fetch(const std::string& hostPath) const {
    for (const Mounted& mounted : m_drives) {
        const std::string& folder = mounted.drive->folder();
        if (hostPath.size() > folder.size() && hostPath.compare(0, folder.size(), folder) == 0 &&
            hostPath[folder.size()] == '/') {
            return mounted.drive->fetch(hostPath);
        }
    }
    return true;
}

bool ImageDrives::hasWritable() const {
    for (const Mounted& mounted : m_drives) {
        if (!mounted.readOnly) {
            return true;
        }
    }
    return false;
}

bool ImageDrives::commit(std::string& error) {
    std::vector<Mounted*> writable;
    for (Mounted& mounted : m_drives) {
        if (!mounted.readOnly) {
            writable.push_back(&mounted);
        }
    }
    // Every journal sealed, then every image written and checked, then every
    // journal dropped: a failure before the last step puts all back.
    using Step = hostsupport::Result<void> (ImageDrive::*)();
    for (Step step : {&ImageDrive::prepare, &ImageDrive::write, &ImageDrive::finish}) {
        for (Mounted* mounted : writable) {
            hostsupport::Result<void> done = (mounted->drive.get()->*step)();
            if (done) {
                continue;
            }
            error =
                std::string("drive ") + mounted->letter + ": not written back: " + done.reason();
            bool restored = step != &ImageDrive::finish || mounted == writable.front();
            for (Mounted* other : writable) {
                if (step == &ImageDrive::finish && other == mounted) {
                    break; // the ones before it are written for good
                }
                error += step == &ImageDrive::finish
                             ? std::string("\ndrive ") + other->letter + ": written"
                             : "";
            }
            for (Mounted* other : writable) {
                hostsupport::Result<void> undone = other->drive->undo();
                if (!undone) {
                    error += std::string("\ndrive ") + other->letter + ": " + undone.reason();
                    restored = false;
                }
            }
            if (restored) {
                error +=
                    writable.size() > 1 ? "; no image is changed" : "; the image is not changed";
            }
            return false;
        }
    }
    return true;
}

} // namespace emu::host
