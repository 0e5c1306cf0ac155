#include "platform/emu/host/ImageDrive.h"

#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace emu::host {

namespace {

int removeEntry(const char* path, const struct stat*, int, FTW*) {
    return remove(path) == 0 || errno == ENOENT ? 0 : -1;
}

bool removeTree(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return nftw(path.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

std::string parentOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string canonical(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) {
        return path;
    }
    std::string result = real;
    free(real);
    return result;
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// "::/" + relative path, as mtools names an entry of the image.
std::string onImage(const std::string& relative) {
    return "::/" + relative;
}

bool syncPath(const std::string& path, int flags) {
    hostsupport::UniqueFd fd(::open(path.c_str(), flags | O_CLOEXEC));
    return fd.valid() && fsync(fd.get()) == 0;
}

// Copies length bytes of from at offset into a new file to, leaving holes
// where from has them, so a mostly empty volume costs only its data.
bool copyRegion(const std::string& from, std::uint64_t offset, std::uint64_t length,
                const std::string& to) {
    hostsupport::UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    hostsupport::UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!in.valid() || !out.valid() || ftruncate(out.get(), static_cast<off_t>(length)) != 0) {
        return false;
    }
    auto end = static_cast<off_t>(offset + length);
    auto at = static_cast<off_t>(offset);
    while (at < end) {
        off_t data = lseek(in.get(), at, SEEK_DATA);
        if (data < 0 || data >= end) {
            break;
        }
        off_t hole = lseek(in.get(), data, SEEK_HOLE);
        hole = hole < 0 || hole > end ? end : hole;
        loff_t source = data;
        loff_t target = data - static_cast<off_t>(offset);
        while (source < hole) {
            ssize_t done = copy_file_range(in.get(), &source, out.get(), &target,
                                           static_cast<size_t>(hole - source), 0);
            if (done <= 0) {
                return false;
            }
        }
        at = hole;
    }
    return true;
}

} // namespace

std::string ImageDrive::workFolderOf(const std::string& imagePath) {
    return parentOf(imagePath) + "/." + baseOf(imagePath) + ".corvane";
}

std::unique_ptr<ImageDrive> ImageDrive::open(const std::string& imageName, bool readOnly,
                                             const std::function<void()>& waiting,
                                             std::string& error) {
    std::optional<ImageVolume> volume = DiskImage::findVolume(imageName, error);
    if (!volume) {
        return nullptr;
    }
    // The new image is renamed over the file itself, never over a link to it.
    volume->path = canonical(volume->path);
    struct stat info {};
    if (!readOnly && (stat(volume->path.c_str(), &info) != 0 || (info.st_mode & S_IWUSR) == 0)) {
        error = volume->path +
                " is read-only; make it writable to install into it (a dry run does not need that)";
        return nullptr;
    }
    std::unique_ptr<ImageDrive> drive(new ImageDrive());
    drive->m_volume = *volume;
    drive->m_readOnly = readOnly;
    if (!drive->m_lock.take(volume->path, !readOnly, waiting, error) ||
        !drive->prepareWorkFolder(error) || !drive->checkVolume(volume->path, error) ||
        !drive->extract(error)) {
        return nullptr;
    }
    drive->m_lock.keepOthersOut();
    return drive;
}

ImageDrive::~ImageDrive() {
    if (!m_workFolder.empty()) {
        removeTree(m_workFolder);
    }
}

bool ImageDrive::prepareWorkFolder(std::string& error) {
    if (m_readOnly) {
        // The image's own folder may not be writable (a mounted CD, say).
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/corvane-disk.XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            error = "no temporary folder for " + m_volume.path + ": " + std::strerror(errno);
            return false;
        }
        m_workFolder = pattern;
    } else {
        // Under the image's lock, so what is there is a killed run's.
        m_workFolder = workFolderOf(m_volume.path);
        if (!removeTree(m_workFolder) || mkdir(m_workFolder.c_str(), 0700) != 0) {
            error = "cannot make the work folder " + m_workFolder +
                    " beside the image: " + std::strerror(errno);
            m_workFolder.clear();
            return false;
        }
    }
    std::string files = m_workFolder + "/files";
    if (mkdir(files.c_str(), 0700) != 0) {
        error = "cannot make " + files + ": " + std::strerror(errno);
        return false;
    }
    m_folder = canonical(files);
    return true;
}

bool ImageDrive::checkVolume(const std::string& imageFile, std::string& error) {
    std::string checked = imageFile;
    if (m_volume.offset != 0) {
        checked = m_workFolder + "/volume";
        if (!copyRegion(imageFile, m_volume.offset, m_volume.length, checked)) {
            error = "cannot copy the volume of " + m_volume.path +
                    " to check it: " + std::strerror(errno);
            return false;
        }
    }
    hostsupport::ToolResult fsck = hostsupport::HostTool::run({"fsck.fat", "-n", checked});
    if (checked != imageFile) {
        unlink(checked.c_str());
    }
    if (fsck.succeeded()) {
        return true;
    }
    if (fsck.status < 0) {
        error = fsck.failure("fsck.fat") + "; it checks " + m_volume.path + " (package dosfstools)";
        return false;
    }
    std::string report = fsck.output + fsck.errors;
    std::istringstream lines(report);
    std::string line;
    std::string first;
    while (std::getline(lines, line)) {
        if (line.rfind("fsck.fat ", 0) != 0 && !line.empty()) {
            first = line;
            break;
        }
    }
    error = "fsck.fat -n finds the file system of " + m_volume.path + " (" + m_volume.description +
            ") not clean" + (first.empty() ? "" : ": " + first);
    return false;
}

std::string ImageDrive::imageArgument(const std::string& file) const {
    return file + "@@" + std::to_string(m_volume.offset);
}

bool ImageDrive::mtools(const std::string& tool, const std::vector<std::string>& args,
                        const std::string& imageFile, std::string& output, std::string& error) {
    std::vector<std::string> argv = {tool, "-i", imageArgument(imageFile)};
    argv.insert(argv.end(), args.begin(), args.end());
    hostsupport::ToolResult result = hostsupport::HostTool::run(argv);
    output = result.output;
    if (!result.succeeded()) {
        error = result.failure(tool) + " (" + m_volume.path + ")";
        return false;
    }
    return true;
}

bool ImageDrive::readAttributes(Tree& attributes, std::string& error) {
    // mattrib finds nothing to list in an empty root and says so as an
    // error; mdir tells an empty root from a broken volume.
    std::string listing;
    std::string names;
    if (!mtools("mdir", {"-a", "-b", "::/"}, m_volume.path, names, error)) {
        return false;
    }
    if (names.empty()) {
        return true;
    }
    if (!mtools("mattrib", {"-/", "::/"}, m_volume.path, listing, error)) {
        return false;
    }
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        size_t at = line.find("::/");
        if (at == std::string::npos || at + 3 >= line.size()) {
            continue; // the root itself
        }
        std::string flags = line.substr(0, at);
        Entry entry;
        entry.readOnly = flags.find('R') != std::string::npos;
        entry.hidden = flags.find('H') != std::string::npos;
        entry.system = flags.find('S') != std::string::npos;
        attributes[line.substr(at + 3)] = entry;
    }
    return true;
}

bool ImageDrive::readShortNames(std::string& error) {
    std::string listing;
    if (!mtools("mdir", {"-/", "-a", "::/"}, m_volume.path, listing, error)) {
        return false;
    }
    // "LONGFI~1 TXT         7 2026-12-09  18:21  Long File Name.txt"
    static const std::regex entryLine(
        R"(^(.{8}) (.{3}) +(<DIR>|[0-9 ]+) +[0-9]{4}-[0-9]{2}-[0-9]{2} +[0-9]{1,2}:[0-9]{2} +(.+)$)");
    std::istringstream lines(listing);
    std::string line;
    std::string folder = m_folder;
    while (std::getline(lines, line)) {
        if (line.rfind("Directory for ::/", 0) == 0) {
            std::string relative = line.substr(17);
            folder = relative.empty() ? m_folder : m_folder + "/" + relative;
            continue;
        }
        std::smatch match;
        if (!std::regex_match(line, match, entryLine)) {
            continue;
        }
        std::string shortName = trimmed(match[1].str());
        std::string extension = trimmed(match[2].str());
        if (!extension.empty()) {
            shortName += "." + extension;
        }
        std::string longName = match[4].str();
        if (upper(longName) != upper(shortName)) {
            m_shortNames[folder][upper(shortName)] = longName;
        }
    }
    return true;
}

bool ImageDrive::extract(std::string& error) {
    Tree attributes;
    if (!readAttributes(attributes, error)) {
        return false;
    }
    std::string ignored;
    if (attributes.empty()) {
        // mdir and mcopy take an empty root for a missing one.
        m_tree.clear();
        return true;
    }
    if (!mtools("mcopy", {"-s", "-m", "-n", "::/*", m_folder + "/"}, m_volume.path, ignored,
                error)) {
        return false;
    }
    m_tree = scan(m_folder);
    for (const auto& [path, flags] : attributes) {
        auto found = m_tree.find(path);
        if (found == m_tree.end()) {
            // A name the host spells otherwise (a character outside ASCII)
            // would be lost when the image is written back.
            error = "the entry \"" + path + "\" of " + m_volume.path +
                    " could not be copied out under its own name";
            return false;
        }
        Entry& entry = found->second;
        entry.hidden = flags.hidden;
        entry.system = flags.system;
        if (flags.readOnly && !entry.folder) {
            std::string host = m_folder + "/" + path;
            if (chmod(host.c_str(), 0444) != 0) {
                error = "cannot mark " + host + " read-only: " + std::strerror(errno);
                return false;
            }
        }
    }
    if (m_tree.size() != attributes.size()) {
        error = "copying out " + m_volume.path + " gave " + std::to_string(m_tree.size()) +
                " entries where the image lists " + std::to_string(attributes.size());
        return false;
    }
    Tree scanned = scan(m_folder);
    for (auto& [path, entry] : m_tree) {
        const Entry& now = scanned.at(path);
        bool hidden = entry.hidden;
        bool system = entry.system;
        entry = now;
        entry.hidden = hidden;
        entry.system = system;
    }
    return readShortNames(error);
}

ImageDrive::Tree ImageDrive::scan(const std::string& root) {
    Tree tree;
    std::vector<std::string> pending = {""};
    while (!pending.empty()) {
        std::string relative = pending.back();
        pending.pop_back();
        std::string folder = relative.empty() ? root : root + "/" + relative;
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) {
            continue;
        }
        while (const dirent* item = readdir(dir)) {
            std::string name = item->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            std::string path = relative.empty() ? name : relative + "/" + name;
            struct stat info {};
            if (lstat((root + "/" + path).c_str(), &info) != 0 ||
                (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))) {
                continue;
            }
            Entry entry;
            entry.folder = S_ISDIR(info.st_mode);
            entry.readOnly = !entry.folder && (info.st_mode & S_IWUSR) == 0;
            entry.inode = info.st_ino;
            entry.size = entry.folder ? 0 : info.st_size;
            entry.modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
            entry.changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
            tree[path] = entry;
            if (entry.folder) {
                pending.push_back(path);
            }
        }
        closedir(dir);
    }
    return tree;
}

void ImageDrive::step(const std::string& name) {
    if (m_stepHook) {
        m_stepHook(name);
    }
}

bool ImageDrive::commit(std::string& error) {
    m_changes = 0;
    if (m_readOnly) {
        return true;
    }
    Tree now = scan(m_folder);
    if (!applyChanges(now, error)) {
        return false;
    }
    if (m_changes == 0) {
        return true;
    }
    return putInPlace(error);
}

bool ImageDrive::applyChanges(const Tree& now, std::string& error) {
    auto removedWithParent = [&](const std::string& path) {
        for (std::string parent = parentOf(path); parent != "." && parent != "/";
             parent = parentOf(parent)) {
            auto old = m_tree.find(parent);
            auto current = now.find(parent);
            if (old != m_tree.end() && (current == now.end() || !current->second.folder)) {
                return true;
            }
        }
        return false;
    };
    std::vector<std::string> removedFolders;
    std::vector<std::string> removedFiles;
    for (const auto& [path, old] : m_tree) {
        auto current = now.find(path);
        if (current != now.end() && current->second.folder == old.folder) {
            continue;
        }
        if (!removedWithParent(path)) {
            (old.folder ? removedFolders : removedFiles).push_back(onImage(path));
        }
    }
    std::vector<std::string> newFolders;
    std::vector<std::string> unprotect; // read-only entries about to be overwritten
    std::map<std::string, std::vector<std::string>> written; // image folder -> host files
    // (read-only, hidden, system) -> image entries to set so
    std::map<std::tuple<bool, bool, bool>, std::vector<std::string>> attributes;
    for (const auto& [path, entry] : now) {
        auto old = m_tree.find(path);
        bool existed = old != m_tree.end() && old->second.folder == entry.folder;
        if (entry.folder) {
            if (!existed) {
                newFolders.push_back(onImage(path));
            }
            continue;
        }
        bool same = existed && old->second.inode == entry.inode && old->second.size == entry.size &&
                    old->second.modified == entry.modified && old->second.changed == entry.changed;
        bool hidden = existed && old->second.hidden;
        bool system = existed && old->second.system;
        if (!same) {
            std::string folder = parentOf(path);
            written[folder == "." ? "" : folder].push_back(m_folder + "/" + path);
            if (existed && old->second.readOnly) {
                unprotect.push_back(onImage(path));
            }
            attributes[{entry.readOnly, hidden, system}].push_back(onImage(path));
        } else if (old->second.readOnly != entry.readOnly) {
            attributes[{entry.readOnly, hidden, system}].push_back(onImage(path));
        }
    }
    m_changes = static_cast<int>(removedFolders.size() + removedFiles.size() + newFolders.size());
    for (const auto& [key, paths] : attributes) {
        m_changes += static_cast<int>(paths.size());
    }
    if (m_changes == 0) {
        return true;
    }
    std::string work = m_workFolder + "/image";
    hostsupport::ToolResult copy =
        hostsupport::HostTool::run({"cp", "--reflink=auto", "--sparse=always",
                                    "--preserve=mode,ownership", m_volume.path, work});
    if (!copy.succeeded()) {
        error = copy.failure("cp") + " (a work copy of " + m_volume.path + ")";
        return false;
    }
    step("copy");
    std::string ignored;
    auto run = [&](const std::string& tool, std::vector<std::string> args) {
        if (!mtools(tool, args, work, ignored, error)) {
            return false;
        }
        step(tool);
        return true;
    };
    if (!removedFolders.empty() && !run("mdeltree", removedFolders)) {
        return false;
    }
    if (!removedFiles.empty()) {
        // A file made read-only and then deleted in the session goes too.
        std::vector<std::string> clear = {"-r"};
        clear.insert(clear.end(), removedFiles.begin(), removedFiles.end());
        if (!run("mattrib", clear) || !run("mdel", removedFiles)) {
            return false;
        }
    }
    if (!newFolders.empty() && !run("mmd", newFolders)) {
        return false;
    }
    if (!unprotect.empty()) {
        unprotect.insert(unprotect.begin(), "-r");
        if (!run("mattrib", unprotect)) {
            return false;
        }
    }
    for (const auto& [folder, files] : written) {
        std::vector<std::string> args = {"-o", "-m", "-n"};
        args.insert(args.end(), files.begin(), files.end());
        args.push_back(onImage(folder.empty() ? "" : folder + "/"));
        if (!run("mcopy", args)) {
            return false;
        }
    }
    for (const auto& [flags, paths] : attributes) {
        auto [readOnly, hidden, system] = flags;
        std::vector<std::string> args = {readOnly ? "+r" : "-r", hidden ? "+h" : "-h",
                                         system ? "+s" : "-s"};
        args.insert(args.end(), paths.begin(), paths.end());
        if (!run("mattrib", args)) {
            return false;
        }
    }
    return true;
}

bool ImageDrive::putInPlace(std::string& error) {
    std::string work = m_workFolder + "/image";
    if (!checkVolume(work, error)) {
        error = "after writing the changes, " + error;
        return false;
    }
    step("fsck");
    if (!syncPath(work, O_RDONLY)) {
        error = "cannot sync the work copy " + work + ": " + std::strerror(errno);
        return false;
    }
    step("sync");
    if (rename(work.c_str(), m_volume.path.c_str()) != 0) {
        error =
            "cannot put the work copy in place of " + m_volume.path + ": " + std::strerror(errno);
        return false;
    }
    step("rename");
    syncPath(parentOf(m_volume.path), O_RDONLY | O_DIRECTORY);
    m_tree = scan(m_folder);
    return true;
}

} // namespace emu::host
