#include "platform/emu/host/ImageDrive.h"

#include "platform/emu/host/ImageCopyOut.h"
#include "platform/emu/host/ImageNames.h"
#include "platform/emu/host/ImageWriter.h"
#include "platform/emu/host/InstallationCodePage.h"
#include "platform/emu/host/Mtools.h"
#include "platform/emu/host/VolumeCheck.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/UndoJournal.h"

#include <regex>
#include <set>
#include <sys/stat.h>

namespace emu::host {

using hostsupport::Failure;
using hostsupport::Result;

Result<std::unique_ptr<ImageDrive>> ImageDrive::open(const std::string& imageName, bool readOnly,
                                                     const std::function<void()>& waiting,
                                                     const std::function<void()>& rolledBack,
                                                     Bytes bytes) {
    // Written where it lies: the file itself, never a link to it.
    std::string file;
    int partition = 0;
    DiskImage::splitName(imageName, file, partition);
    const std::string image = ImageWorkFolder::canonical(file);
    struct stat info {};
    if (!readOnly && stat(image.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
        return Failure{image + " is read-only; make it writable to install into it (a dry "
                               "run does not need that)"};
    }
    std::unique_ptr<ImageDrive> drive(new ImageDrive());
    drive->m_readOnly = readOnly;
    if (stat(image.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) {
        Result<void> locked = drive->m_lock.take(image, !readOnly, waiting);
        if (!locked) {
            return locked.failure();
        }
        // Under the lock, a journal is a dead writer's. It is put back
        // before the image is read: until then the partition's boot sector
        // and FATs may be half written.
        Result<bool> undone = hostsupport::UndoJournal::rollBack(image);
        if (!undone) {
            return Failure{image + " has the journal of a write-back that was cut short (" +
                           hostsupport::UndoJournal::pathFor(image) +
                           "), and it cannot be put back: " + undone.reason()};
        }
        if (*undone && rolledBack) {
            rolledBack();
        }
    }
    Result<ImageVolume> volume = DiskImage::findVolume(imageName);
    if (!volume) {
        return volume.failure();
    }
    volume->path = image;
    drive->m_volume = *volume;
    if (!drive->m_lock.held()) {
        return Failure{image + " is no file"};
    }
    if (!readOnly) {
        Result<ImageIdentity> identity = ImageIdentity::of(*volume);
        if (!identity) {
            return identity.failure();
        }
        drive->m_identity = *identity;
    }
    Result<void> made = drive->m_work.make(volume->path, readOnly);
    if (!made) {
        return made.failure();
    }
    // The installation on the image may keep its short names in another
    // code page than 437, and spell names in another than 1252; the files
    // that say so have ASCII names. fsck.fat needs the first.
    Result<InstallationCodePages> codePages = InstallationCodePage::of(
        Mtools(*volume, volume->path, hostsupport::HostTool::kShortNameCodePage), drive->folder());
    if (!codePages) {
        return Failure{volume->path + ": " + codePages.reason()};
    }
    drive->m_codePage = codePages->oem;
    Result<void> checked =
        VolumeCheck::run(*volume, volume->path, drive->m_work.path(), drive->m_codePage);
    if (!checked) {
        return checked.failure();
    }
    Result<ImageSpelling> spelling =
        ImageNames::spellingOf(drive->tools(), *codePages->ansi, drive->m_codePage);
    if (!spelling) {
        return Failure{volume->path + ": " + spelling.reason() +
                       "; the image is used only when every name comes and goes exactly"};
    }
    drive->m_spelling = std::move(*spelling);
    Result<FatLayout> layout = FatLayout::read(*volume, volume->path);
    if (!layout) {
        return layout.failure();
    }
    drive->m_layout = *layout;
    Result<CopiedOut> copied = ImageCopyOut::run(drive->tools(), *layout, drive->m_codePage,
                                                 volume->path, drive->folder());
    if (!copied) {
        return copied.failure();
    }
    drive->m_tree = std::move(copied->tree);
    drive->m_shortNames = std::move(copied->shortNames);
    drive->m_placeholders = std::move(copied->placeholders);
    if (bytes == Bytes::CopiedOut) {
        std::vector<std::string> files;
        for (const auto& [inode, placeholder] : drive->m_placeholders) {
            files.push_back(drive->folder() + "/" + placeholder.path);
        }
        for (const std::string& file : files) {
            Result<void> fetched = drive->fetchLocked(file);
            if (!fetched) {
                return fetched.failure();
            }
        }
    }
    drive->m_lock.keepOthersOut();
    return drive;
}

Mtools ImageDrive::tools() const {
    return Mtools(m_volume, m_volume.path, ImageNames::toolCodePage(m_codePage), m_spelling);
}

Result<void> ImageDrive::fetchLocked(const std::string& hostPath) {
    struct stat info {};
    if (m_placeholders.empty() || lstat(hostPath.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {};
    }
    auto found = m_placeholders.find(info.st_ino);
    if (found == m_placeholders.end()) {
        return {};
    }
    if (!m_layout) {
        return Failure{m_volume.path + " cannot be read: " + m_layoutFailure};
    }
    Result<void> filled = ImageCopyOut::fill(*m_layout, m_volume.path, hostPath, found->second);
    if (!filled) {
        return filled;
    }
    // Unchanged as long as it stays as filled: the baseline of the
    // comparison moves with it, where copy-out left it.
    auto copiedOut = m_tree.find(found->second.path);
    if (copiedOut != m_tree.end() && copiedOut->second.inode == info.st_ino &&
        stat(hostPath.c_str(), &info) == 0) {
        copiedOut->second.modified = info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec;
        copiedOut->second.changed = info.st_ctim.tv_sec * 1000000000LL + info.st_ctim.tv_nsec;
        copiedOut->second.size = info.st_size;
    }
    m_placeholders.erase(found);
    return {};
}

bool ImageDrive::fetch(const std::string& hostPath) {
    std::lock_guard<std::mutex> lock(m_fetching);
    Result<void> fetched = fetchLocked(hostPath);
    if (!fetched && m_fetchFailure.empty()) {
        m_fetchFailure = fetched.reason();
    }
    return static_cast<bool>(fetched);
}

size_t ImageDrive::unfetched() const {
    std::lock_guard<std::mutex> lock(m_fetching);
    return m_placeholders.size();
}

void ImageDrive::step(const std::string& name) {
    if (m_stepHook) {
        m_stepHook(name);
    }
}

Result<std::vector<std::uint32_t>> ImageDrive::clustersToKeep(const FatLayout& layout) const {
    const ImageChanges& changes = m_pending;
    std::set<std::string> paths;
    auto folderOf = [&](const std::string& path) {
        std::string folder = TreeComparison::folderOf(path);
        if (!folder.empty()) {
            paths.insert(folder);
        }
    };
    for (const std::string& path : changes.removedFolders) {
        // mdeltree writes into every folder below and frees every file's
        // clusters, which a later copy may take.
        folderOf(path);
        for (auto it = m_tree.lower_bound(path);
             it != m_tree.end() && (it->first == path || it->first.rfind(path + "/", 0) == 0);
             ++it) {
            paths.insert(it->first);
        }
    }
    for (const std::string& path : changes.removedFiles) {
        folderOf(path);
        paths.insert(path);
    }
    for (const std::string& path : changes.newFolders) {
        folderOf(path);
    }
    for (const auto& [folder, files] : changes.written) {
        for (const std::string& path : files) {
            folderOf(path);
            if (m_tree.count(path) != 0) {
                paths.insert(path); // replaced: its clusters are freed first
            }
        }
    }
    for (const auto& [flags, entries] : changes.attributes) {
        for (const std::string& path : entries) {
            folderOf(path);
        }
    }
    std::vector<std::uint32_t> clusters;
    bool root = !changes.removedFolders.empty() || !changes.removedFiles.empty() ||
                !changes.newFolders.empty() || !changes.written.empty() ||
                !changes.attributes.empty();
    if (root && layout.isFat32()) {
        // Every change may touch the root (a folder made or removed in it,
        // or a change in it); cheap to keep.
        clusters = layout.chain(layout.rootCluster());
    }
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        // Folders made in the session hold free clusters only.
        if (m_tree.count(path) != 0) {
            Result<std::string> spelt = ImageNames::toToolPath(path, m_spelling);
            if (!spelt) {
                return spelt.failure();
            }
            names.push_back(ImageNames::literal(*spelt));
        }
    }
    if (names.empty()) {
        return clusters;
    }
    Result<std::string> listing = tools().run("mshowfat", names);
    if (!listing) {
        return listing.failure();
    }
    // "::/WINDOWS/INF <1200-1203> <5000>": FAT names cannot hold '<' or '>'.
    static const std::regex run("<([0-9]+)(?:-([0-9]+))?>");
    for (auto it = std::sregex_iterator(listing->begin(), listing->end(), run);
         it != std::sregex_iterator(); ++it) {
        unsigned long first = std::stoul((*it)[1].str());
        unsigned long last = (*it)[2].matched ? std::stoul((*it)[2].str()) : first;
        if (first < layout.firstCluster() || last > layout.lastCluster() || last < first) {
            return Failure{"mshowfat names clusters outside " + m_volume.path + "'s volume"};
        }
        for (unsigned long cluster = first; cluster <= last; ++cluster) {
            clusters.push_back(static_cast<std::uint32_t>(cluster));
        }
    }
    return clusters;
}

Result<void> ImageDrive::prepare() {
    m_changes = 0;
    m_placement.reset();
    if (m_readOnly) {
        return {};
    }
    std::lock_guard<std::mutex> lock(m_fetching);
    if (!m_fetchFailure.empty()) {
        return Failure{m_fetchFailure + "; the run went on without that file, so its changes "
                                        "are not written"};
    }
    Result<ImageIdentity> now = ImageIdentity::of(m_volume);
    std::string changed = now ? m_identity->changesIn(*now) : "it cannot be read";
    if (!changed.empty()) {
        return Failure{m_volume.path + " was changed by another program while this run used it (" +
                       changed + "); this run's changes are not written, the other program's stay"};
    }
    Tree scanned = TreeComparison::scan(folder());
    // A journal the machine left (a registry change it could not finish)
    // means a file of the folder may be half changed: none of it goes in.
    const std::string suffix = hostsupport::UndoJournal::kSuffix;
    for (const auto& [path, entry] : scanned) {
        if (m_tree.count(path) == 0 && path.size() > suffix.size() &&
            path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
            return Failure{"a change of " + path.substr(0, path.size() - suffix.size()) +
                           " was cut short in this run (its journal " + path +
                           " is left); this run's changes are not written"};
        }
    }
    m_pending = TreeComparison::compare(m_tree, scanned);
    m_changes = m_pending.count();
    if (m_changes == 0) {
        return {};
    }
    // A file written back that never got its bytes (moved with its folder,
    // say) gets them now, before the image changes. One whose size or time
    // moved was written to without them: its bytes are no file's.
    for (const auto& [target, files] : m_pending.written) {
        for (const std::string& file : files) {
            const std::string host = folder() + "/" + file;
            struct stat info {};
            auto waiting = lstat(host.c_str(), &info) == 0 ? m_placeholders.find(info.st_ino)
                                                           : m_placeholders.end();
            if (waiting != m_placeholders.end() &&
                (info.st_size != static_cast<off_t>(waiting->second.size) ||
                 info.st_mtim.tv_sec != waiting->second.modified || info.st_mtim.tv_nsec != 0)) {
                return Failure{file + " was written to before its bytes were fetched from " +
                               m_volume.path + "; this run's changes are not written"};
            }
            Result<void> fetched = fetchLocked(host);
            if (!fetched) {
                return fetched;
            }
        }
    }
    Result<FatLayout> layout = FatLayout::read(m_volume, m_volume.path);
    if (!layout) {
        return layout.failure();
    }
    Result<std::vector<std::uint32_t>> clusters = clustersToKeep(*layout);
    if (!clusters) {
        return clusters.failure();
    }
    auto placement = std::make_unique<ImagePlacement>(m_volume, m_work.path());
    Result<void> sealed = placement->seal(*layout, *clusters);
    if (!sealed) {
        return sealed;
    }
    m_journalBytes = placement->savedBytes();
    m_placement = std::move(placement);
    step("seal");
    return {};
}

Result<void> ImageDrive::write() {
    if (!m_placement) {
        return {};
    }
    Result<void> written =
        ImageWriter::write(tools(), m_pending, folder(), m_work.path() + "/names",
                           [this](const std::string& name) { step(name); });
    if (!written) {
        return written;
    }
    Result<void> checked = m_placement->check(m_codePage);
    if (!checked) {
        return checked;
    }
    step("fsck");
    return {};
}

Result<void> ImageDrive::finish() {
    if (!m_placement) {
        return {};
    }
    Result<void> finished = m_placement->finish();
    if (!finished) {
        return finished;
    }
    m_placement.reset();
    step("finish");
    std::lock_guard<std::mutex> lock(m_fetching);
    m_tree = TreeComparison::scan(folder());
    // The files still waiting kept their clusters; the chains are read
    // anew from the FAT as written.
    Result<FatLayout> layout = FatLayout::read(m_volume, m_volume.path);
    if (layout) {
        m_layout = *layout;
    } else {
        m_layout.reset();
        m_layoutFailure = layout.reason();
    }
    Result<ImageIdentity> identity = ImageIdentity::of(m_volume);
    if (identity) {
        m_identity = *identity;
    }
    return {};
}

Result<void> ImageDrive::undo() {
    if (!m_placement) {
        return {};
    }
    Result<void> undone = m_placement->undo();
    m_placement.reset();
    return undone;
}

Result<void> ImageDrive::commit() {
    Result<void> done = prepare();
    if (done) {
        done = write();
    }
    if (done) {
        done = finish();
    }
    if (!done) {
        Result<void> undone = undo();
        if (!undone) {
            return Failure{done.reason() + "; " + undone.reason()};
        }
    }
    return done;
}

} // namespace emu::host
