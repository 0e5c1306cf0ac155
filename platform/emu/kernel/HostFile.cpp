#include "platform/emu/kernel/HostFile.h"

#include "platform/emu/kernel/FileSteps.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/ShareLock.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace emu::kernel {

namespace {

constexpr DWORD kKnownAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kKnownShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr int kOpenAttempts = 4;

bool createsWhenMissing(DWORD disposition) {
    return disposition == CREATE_NEW || disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
}

bool truncates(DWORD disposition) {
    return disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
}

DWORD errorOfErrno(int code) {
    switch (code) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    default:
        return ERROR_ACCESS_DENIED;
    }
}

bool sameFile(int fd, const std::string& hostPath) {
    std::optional<HostEntry> opened = HostEntry::ofDescriptor(fd);
    std::optional<HostEntry> named = HostEntry::at(hostPath);
    return opened && named && opened->isSameFileAs(*named);
}

// Write access opens the host file for reading too: the share-mode locks
// need a readable descriptor. ReadFile still checks the granted access.
UniqueFd openDescriptor(const std::string& hostPath, const OpenRequest& request, bool existed,
                        DWORD& error, bool& raced) {
    // Never blocking: a pipe put under the name since the check opens at
    // once and is refused below.
    bool writes = (request.access & GENERIC_WRITE) != 0 && !request.bySystem;
    int flags = (writes ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK;
    flags |= existed ? 0 : O_CREAT | O_EXCL;
    mode_t mode = (request.attributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    // Only a creation changes the disk.
    UniqueFd fd(existed ? ::open(hostPath.c_str(), flags, mode)
                        : FileSteps::open(hostPath.c_str(), flags, mode));
    if (!fd.valid()) {
        // Created or removed by someone else since the check: look again.
        raced = errno == EEXIST || (existed && errno == ENOENT);
        error = errorOfErrno(errno);
    }
    return fd;
}

} // namespace

HostFile::HostFile(UniqueFd fd, DWORD access, std::string hostPath)
    : m_fd(std::move(fd)), m_access(access), m_hostPath(std::move(hostPath)) {}

DWORD HostFile::checkRequest(const OpenRequest& request) {
    if ((request.access & ~kKnownAccess) != 0 || (request.share & ~kKnownShare) != 0 ||
        request.disposition < CREATE_NEW || request.disposition > TRUNCATE_EXISTING) {
        return ERROR_INVALID_PARAMETER;
    }
    if (request.disposition == TRUNCATE_EXISTING && (request.access & GENERIC_WRITE) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    return ERROR_SUCCESS;
}

DWORD HostFile::checkTarget(const std::string& hostPath, const OpenRequest& request, bool& exists) {
    std::optional<HostEntry> entry = HostEntry::at(hostPath);
    exists = entry.has_value();
    if (!exists) {
        if (!HostEntry::isFolderAt(HostEntry::parentFolderOf(hostPath))) {
            return ERROR_PATH_NOT_FOUND;
        }
        return createsWhenMissing(request.disposition) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    // A FAT disk holds files and folders only: a device or pipe the host
    // has put under the name is no file to open, and opening one could wait
    // for ever.
    if (!entry->isRegularFile()) {
        return ERROR_ACCESS_DENIED;
    }
    if (request.disposition == CREATE_NEW) {
        return ERROR_FILE_EXISTS;
    }
    // The read-only attribute binds the superuser as well.
    bool wantsWrite = (request.access & GENERIC_WRITE) != 0 || truncates(request.disposition);
    if (wantsWrite && entry->isReadOnly() && !request.bySystem) {
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

std::unique_ptr<HostFile> HostFile::openOnce(const std::string& hostPath,
                                             const OpenRequest& request, DWORD& error,
                                             bool& raced) {
    raced = false;
    bool existed = false;
    error = checkTarget(hostPath, request, existed);
    if (error != ERROR_SUCCESS) {
        return nullptr;
    }
    UniqueFd fd = openDescriptor(hostPath, request, existed, error, raced);
    if (!fd.valid()) {
        return nullptr;
    }
    std::optional<HostEntry> opened = HostEntry::ofDescriptor(fd.get());
    if (!opened || !opened->isRegularFile()) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    if (!ShareLock::acquire(fd.get(), request.access, request.share)) {
        error = ERROR_SHARING_VIOLATION;
        return nullptr;
    }
    // A rename may have put a new file in place between open and lock; the
    // share modes that count are those of the file now under the name.
    if (!sameFile(fd.get(), hostPath)) {
        raced = true;
        error = ERROR_SHARING_VIOLATION;
        return nullptr;
    }
    auto file = std::make_unique<HostFile>(std::move(fd), request.access, hostPath);
    if (!file->finishCreation(existed, request)) {
        error = ERROR_ACCESS_DENIED;
        return nullptr;
    }
    bool reportsExisting =
        request.disposition == CREATE_ALWAYS || request.disposition == OPEN_ALWAYS;
    error = existed && reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS;
    return file;
}

bool HostFile::finishCreation(bool existed, const OpenRequest& request) {
    if (existed && truncates(request.disposition) && FileSteps::ftruncate(fd(), 0) != 0) {
        return false;
    }
    // Overwriting a file gives it the attributes of the request.
    if (existed && request.disposition == CREATE_ALWAYS &&
        (request.attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        std::optional<HostEntry> entry = HostEntry::ofDescriptor(fd());
        return entry && FileSteps::fchmod(fd(), entry->permissions() & 0555) == 0;
    }
    return true;
}

std::unique_ptr<HostFile> HostFile::open(const std::string& hostPath, const OpenRequest& request,
                                         DWORD& error) {
    error = checkRequest(request);
    if (error != ERROR_SUCCESS) {
        return nullptr;
    }
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        bool raced = false;
        std::unique_ptr<HostFile> file = openOnce(hostPath, request, error, raced);
        if (file || !raced) {
            return file;
        }
    }
    return nullptr;
}

bool HostFile::read(void* buffer, DWORD count, DWORD& done, DWORD& error) {
    done = 0;
    if (!canRead()) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        ssize_t n = ::read(fd(), out + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<DWORD>(n);
    }
    return true;
}

bool HostFile::write(const void* buffer, DWORD count, DWORD& done, DWORD& error) {
    done = 0;
    if (!canWrite()) {
        error = ERROR_ACCESS_DENIED;
        return false;
    }
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        ssize_t n = FileSteps::write(fd(), in + done, count - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = ERROR_ACCESS_DENIED;
            return false;
        }
        done += static_cast<DWORD>(n);
    }
    return true;
}

std::optional<unsigned long long> HostFile::size() const {
    std::optional<HostEntry> entry = HostEntry::ofDescriptor(fd());
    if (!entry) {
        return std::nullopt;
    }
    return entry->size();
}

std::optional<std::string> HostFile::readAll(unsigned long long limit) {
    // Read straight into the result, sized by the file's length where it is
    // known (a registry hive runs to megabytes); the file may still grow.
    constexpr DWORD kChunk = 1 << 16;
    std::string content;
    std::optional<unsigned long long> known = size();
    content.reserve(static_cast<size_t>(std::min(known.value_or(0), limit)) + kChunk);
    DWORD done = 0;
    DWORD error = ERROR_SUCCESS;
    do {
        size_t have = content.size();
        content.resize(have + kChunk);
        if (!read(&content[have], kChunk, done, error) || have + done > limit) {
            return std::nullopt;
        }
        content.resize(have + done);
    } while (done == kChunk);
    return content;
}

} // namespace emu::kernel
