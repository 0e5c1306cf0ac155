#include "platform/emu/kernel/HostEntry.h"

#include <unistd.h>

namespace emu::kernel {

std::optional<HostEntry> HostEntry::at(const std::string& hostPath) {
    struct stat info {};
    if (stat(hostPath.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return HostEntry(info);
}

std::optional<HostEntry> HostEntry::linkAt(const std::string& hostPath) {
    struct stat info {};
    if (lstat(hostPath.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return HostEntry(info);
}

std::optional<HostEntry> HostEntry::ofDescriptor(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return std::nullopt;
    }
    return HostEntry(info);
}

bool HostEntry::existsAt(const std::string& hostPath) {
    return at(hostPath).has_value();
}

bool HostEntry::isRegularFileAt(const std::string& hostPath) {
    std::optional<HostEntry> entry = at(hostPath);
    return entry && entry->isRegularFile();
}

bool HostEntry::isFolderAt(const std::string& hostPath) {
    std::optional<HostEntry> entry = at(hostPath);
    return entry && entry->isFolder();
}

std::string HostEntry::parentFolderOf(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : hostPath.substr(0, slash);
}

bool HostEntry::sameFileAt(const std::string& first, const std::string& second) {
    std::optional<HostEntry> a = at(first);
    std::optional<HostEntry> b = at(second);
    return a && b && a->isSameFileAs(*b);
}

DWORD HostEntry::attributes() const {
    DWORD attributes = isFolder() ? FILE_ATTRIBUTE_DIRECTORY : 0;
    attributes |= isReadOnly() ? FILE_ATTRIBUTE_READONLY : 0;
    // A file with no other attribute reports NORMAL, which is never combined.
    return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

bool HostEntry::userMayWriteApartFromReadOnly(const std::string& hostPath) const {
    uid_t user = geteuid();
    return user == 0 || user == m_info.st_uid || access(hostPath.c_str(), W_OK) == 0;
}

bool HostEntry::isSameFileAs(const HostEntry& other) const {
    return m_info.st_dev == other.m_info.st_dev && m_info.st_ino == other.m_info.st_ino;
}

} // namespace emu::kernel
