#include "platform/emu/host/ImageCopyOut.h"

#include "platform/emu/host/FatFolders.h"
#include "platform/emu/host/ImageNames.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;

// The paths mtools lists (UTF-8, folders without their closing slash).
Result<std::set<std::string>> toolListing(const Mtools& image, bool empty) {
    // mdir -/ takes an empty root for a missing one; without -/ it lists an
    // empty root as empty.
    Result<std::string> listing = empty ? image.run("mdir", {"-a", "-b", "::/"})
                                        : image.run("mdir", {"-/", "-a", "-b", "::/"});
    if (!listing) {
        return listing.failure();
    }
    std::set<std::string> paths;
    std::istringstream lines(*listing);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("::/", 0) != 0 || line.size() == 3) {
            continue;
        }
        line = line.substr(3);
        if (line.back() == '/') {
            line.pop_back();
        }
        paths.insert(line);
    }
    return paths;
}

// Both readers of the volume must see one set of entries: the folder is
// read here, its changes are written by mtools.
Result<void> sameAsTools(const Mtools& image, const std::string& imagePath,
                         const std::vector<FatEntry>& entries) {
    Result<std::set<std::string>> listed = toolListing(image, entries.empty());
    if (!listed) {
        return listed.failure();
    }
    std::set<std::string> read;
    for (const FatEntry& entry : entries) {
        read.insert(entry.path);
    }
    for (const auto& [one, other] : {std::pair{&read, &*listed}, std::pair{&*listed, &read}}) {
        for (const std::string& path : *one) {
            if (other->count(path) == 0) {
                return Failure{imagePath + ": the entry \"" + path + "\" is " +
                               (one == &read ? "in its folder, but mtools does not list it"
                                             : "listed by mtools, but not in its folder") +
                               "; the image is used only when both read its folders alike"};
            }
        }
    }
    return {};
}

Result<void> makePlaceholder(const std::string& host, const FatEntry& entry) {
    hostsupport::UniqueFd fd(
        ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (!fd.valid() || ftruncate(fd.get(), static_cast<off_t>(entry.size)) != 0) {
        return Failure{"cannot make " + host + ": " + std::strerror(errno)};
    }
    return {};
}

Result<void> setTimeAndMode(const std::string& host, std::int64_t modified, bool readOnly) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(modified), 0}};
    if (utimensat(AT_FDCWD, host.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0 ||
        (readOnly && chmod(host.c_str(), 0444) != 0)) {
        return Failure{"cannot set the time and mode of " + host + ": " + std::strerror(errno)};
    }
    return {};
}

} // namespace

Result<CopiedOut> ImageCopyOut::run(const Mtools& image, const FatLayout& layout,
                                    int shortNameCodePage, const std::string& imagePath,
                                    const std::string& folder) {
    // Read as mtools reads them, to be compared with its listing, and
    // spelt for the folder as the image's spelling says.
    Result<std::vector<FatEntry>> entries = FatFolders::read(layout, imagePath, image.codePage());
    if (!entries) {
        return entries.failure();
    }
    Result<void> agreed = sameAsTools(image, imagePath, *entries);
    if (!agreed) {
        return agreed.failure();
    }
    CopiedOut copied;
    // Folder (as the folder spells it) to the names made in it, folded as
    // the machine compares names.
    std::map<std::string, std::map<std::string, std::string>> made;
    std::map<std::string, const FatEntry*> byPath; // as the folder spells it
    const kernel::CodePage& ansi = image.ansi();
    for (const FatEntry& entry : *entries) {
        Result<std::string> path = ImageNames::toAnsiPath(entry.path, image.spelling());
        if (!path) {
            return Failure{imagePath + ": the name \"" + entry.path + "\" " + path.reason() +
                           "; the image is used only when every name comes and goes exactly"};
        }
        const std::string parent = TreeComparison::folderOf(*path);
        const std::string name = TreeComparison::nameOf(*path);
        auto [other, fresh] = made[parent].emplace(ImageNames::folded(name, ansi), entry.path);
        if (!fresh) {
            return Failure{imagePath + ": the names \"" + entry.path + "\" and \"" + other->second +
                           "\" are one name to Windows, which does not tell case apart"};
        }
        const std::string host = folder + "/" + *path;
        Result<void> placed;
        if (entry.folder) {
            if (mkdir(host.c_str(), 0755) != 0) {
                placed = Failure{"cannot make " + host + ": " + std::strerror(errno)};
            }
        } else {
            placed = makePlaceholder(host, entry);
            if (placed) {
                placed = setTimeAndMode(host, entry.modified, entry.readOnly);
            }
        }
        if (!placed) {
            return placed.failure();
        }
        byPath[*path] = &entry;
        if (!entry.hasLongName) {
            continue;
        }
        // The short name of a long-named entry, which the folder cannot
        // hold: an alias for the machine, as the machine spells it. In a
        // double-byte edition the short names' code page is the ANSI one,
        // and the name's own bytes are its spelling.
        Result<std::string> alias =
            shortNameCodePage == static_cast<int>(ansi.number())
                ? (ansi.toUtf16(entry.shortBytes, true)
                       ? Result<std::string>(entry.shortBytes)
                       : Result<std::string>(Failure{"no text of the code page"}))
                : ImageNames::toAnsi(entry.shortName, ansi);
        if (alias && !ImageNames::sameName(*alias, name, ansi)) {
            // Short names hold capitals only, as the machine looks them up.
            copied.shortNames[parent.empty() ? folder : folder + "/" + parent][*alias] = name;
        }
    }
    copied.tree = TreeComparison::scan(folder);
    if (copied.tree.size() != byPath.size()) {
        return Failure{"copying out " + imagePath + " gave " + std::to_string(copied.tree.size()) +
                       " entries where the image lists " + std::to_string(byPath.size())};
    }
    for (auto& [path, treeEntry] : copied.tree) {
        auto found = byPath.find(path);
        if (found == byPath.end()) {
            return Failure{"the entry \"" + path + "\" of " + imagePath +
                           " could not be copied out under its own name"};
        }
        const FatEntry& entry = *found->second;
        treeEntry.hidden = entry.hidden;
        treeEntry.system = entry.system;
        if (!entry.folder) {
            copied.placeholders[treeEntry.inode] =
                Placeholder{path, entry.firstCluster, entry.size, entry.modified};
        }
    }
    return copied;
}

Result<void> ImageCopyOut::fill(const FatLayout& layout, const std::string& imagePath,
                                const std::string& hostPath, const Placeholder& placeholder) {
    auto failed = [&](const std::string& why) {
        return Failure{"cannot copy " + placeholder.path + " out of " + imagePath + ": " + why};
    };
    struct stat info {};
    if (lstat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return failed(hostPath + " is gone");
    }
    hostsupport::UniqueFd image(::open(imagePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!image.valid()) {
        return failed(std::string("cannot open the image: ") + std::strerror(errno));
    }
    // A read-only file is written by its owner for the moment it is filled.
    bool readOnly = (info.st_mode & S_IWUSR) == 0;
    if (readOnly && chmod(hostPath.c_str(), info.st_mode | S_IWUSR) != 0) {
        return failed(std::string("cannot write ") + hostPath + ": " + std::strerror(errno));
    }
    hostsupport::UniqueFd to(::open(hostPath.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW));
    Result<void> filled =
        to.valid() ? FatFolders::copyFile(layout, image.get(), placeholder.firstCluster,
                                          placeholder.size, to.get())
                   : Result<void>(Failure{"cannot open " + hostPath + ": " + std::strerror(errno)});
    to = hostsupport::UniqueFd();
    Result<void> kept = setTimeAndMode(hostPath, placeholder.modified, false);
    if (readOnly && chmod(hostPath.c_str(), info.st_mode & 07777) != 0 && kept) {
        kept = Failure{"cannot make " + hostPath + " read-only again: " + std::strerror(errno)};
    }
    if (!filled) {
        return failed(filled.reason());
    }
    if (!kept) {
        return failed(kept.reason());
    }
    return {};
}

} // namespace emu::host
