#include "platform/emu/kernel/FileReplacer.h"

#include "platform/emu/kernel/FileSteps.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/HostFile.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <random>
#include <sys/file.h>
#include <unistd.h>

namespace emu::kernel {

namespace {

constexpr int kNameAttempts = 100;

std::string temporaryName(const std::string& folder) {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string name = folder + "/" + FileReplacer::kTemporaryPrefix;
    for (int i = 0; i < 6; ++i) {
        name += kLetters[pick(random)];
    }
    return name;
}

// Whether the name still stands for the file opened as fd; a link put in its
// place is not the file, even when it points there.
bool sameFile(int fd, const std::string& hostPath) {
    std::optional<HostEntry> opened = HostEntry::ofDescriptor(fd);
    std::optional<HostEntry> named = HostEntry::linkAt(hostPath);
    return opened && named && opened->isSameFileAs(*named);
}

bool lockExclusively(int fd) {
    int result = 0;
    while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    return result == 0;
}

} // namespace

UniqueFd FileReplacer::createNamedTemporary(const std::string& folder, std::string& named) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryName(folder);
        UniqueFd fd(FileSteps::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.valid() && lockExclusively(fd.get())) {
            // Until the lock is held a sweep may take this file for stale;
            // the rename then fails and the replace reports it.
            named = name;
            return fd;
        }
        if (fd.valid()) {
            FileSteps::unlink(name.c_str());
            break;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return UniqueFd();
}

UniqueFd FileReplacer::createTemporary(const std::string& folder, std::string& named) {
    named.clear();
    // An unnamed file is linked through its /proc entry.
    static const bool canLinkUnnamed = access("/proc/self/fd", F_OK) == 0;
    UniqueFd fd;
    if (canLinkUnnamed) {
        fd = UniqueFd(FileSteps::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    }
    if (!fd.valid()) {
        // A host file system without unnamed files.
        return createNamedTemporary(folder, named);
    }
    return lockExclusively(fd.get()) ? std::move(fd) : UniqueFd();
}

bool FileReplacer::giveName(int fd, const std::string& folder, std::string& named) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name = temporaryName(folder);
        if (FileSteps::linkDescriptor(fd, name.c_str()) == 0) {
            named = name;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

DWORD FileReplacer::writeTemporary(int fd, mode_t mode, const std::function<bool(int fd)>& fill) {
    if (!fill(fd) || FileSteps::fchmod(fd, mode) != 0 || FileSteps::fsync(fd) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

DWORD FileReplacer::linkInPlace(int fd, const std::string& named, const std::string& target) {
    // link() refuses an existing name, so a file that appeared since the
    // check is not overwritten.
    int linked = named.empty() ? FileSteps::linkDescriptor(fd, target.c_str())
                               : FileSteps::link(named.c_str(), target.c_str());
    if (linked == 0) {
        return ERROR_SUCCESS;
    }
    return errno == EEXIST ? ERROR_FILE_EXISTS : ERROR_ACCESS_DENIED;
}

DWORD FileReplacer::putInPlace(int fd, const std::string& folder, std::string& named,
                               const std::string& target, bool failIfExists) {
    if (failIfExists) {
        return linkInPlace(fd, named, target);
    }
    // A new file needs no rename: it appears whole under its name at once.
    if (named.empty() && linkInPlace(fd, named, target) == ERROR_SUCCESS) {
        return ERROR_SUCCESS;
    }
    if (named.empty() && !giveName(fd, folder, named)) {
        return ERROR_ACCESS_DENIED;
    }
    if (FileSteps::rename(named.c_str(), target.c_str()) != 0) {
        return ERROR_ACCESS_DENIED;
    }
    named.clear();
    return ERROR_SUCCESS;
}

void FileReplacer::removeStaleTemporaries(const std::string& folder) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
    if (!dir) {
        return;
    }
    size_t prefixLength = std::strlen(kTemporaryPrefix);
    while (const dirent* entry = readdir(dir.get())) {
        if (std::strncmp(entry->d_name, kTemporaryPrefix, prefixLength) != 0) {
            continue;
        }
        std::string path = folder + "/" + entry->d_name;
        UniqueFd probe(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        // A live writer holds its lock until the name is gone again.
        if (probe.valid() && flock(probe.get(), LOCK_EX | LOCK_NB) == 0 &&
            sameFile(probe.get(), path)) {
            FileSteps::unlink(path.c_str());
        }
    }
}

DWORD FileReplacer::replace(const std::string& target, mode_t mode, bool failIfExists,
                            const std::function<bool(int fd)>& fill, Writer who) {
    std::string folder = HostEntry::parentFolderOf(target);
    if (!HostEntry::isFolderAt(folder)) {
        return ERROR_PATH_NOT_FOUND;
    }
    // While the new content is written, this writer holds the old file open
    // so that no opener that denies writing can come in before the rename.
    std::unique_ptr<HostFile> writer;
    if (HostEntry::existsAt(target)) {
        if (failIfExists) {
            return ERROR_FILE_EXISTS;
        }
        DWORD error = ERROR_SUCCESS;
        writer = HostFile::open(target,
                                {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, who == Writer::System},
                                error);
        if (!writer) {
            return error;
        }
    }
    removeStaleTemporaries(folder);
    std::string named;
    UniqueFd fd = createTemporary(folder, named);
    if (!fd.valid()) {
        return ERROR_ACCESS_DENIED;
    }
    DWORD error = writeTemporary(fd.get(), mode, fill);
    if (error == ERROR_SUCCESS) {
        error = putInPlace(fd.get(), folder, named, target, failIfExists);
    }
    // The lock goes with the descriptor, after the name is gone.
    if (!named.empty()) {
        FileSteps::unlink(named.c_str());
    }
    return error;
}

} // namespace emu::kernel
