// What the host reports about one of its paths: whether anything is there, a
// folder or a regular file, read-only, how big, the same file as another. Every
// kernel file asks the host these questions here, so each has one answer.
//
// Symbolic links: every query but linkAt follows links, as opening the path
// does, so it answers for the file an open would reach. A Windows path cannot
// climb out of its drive folder (DriveMap stops ".." at the drive root); a link
// the host has placed inside a drive folder is followed like any other entry
// as long as it ends inside the drive; one that leads outside or nowhere makes
// the path absent (DriveMap::leavesDrive).
// Only a delete looks at the link itself, so that it removes the link and never
// the file the link points at.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>
#include <sys/stat.h>

namespace emu::kernel {

class HostEntry {
public:
    // The entry at hostPath, links followed; nullopt when nothing is there (a
    // link that points nowhere included).
    static std::optional<HostEntry> at(const std::string& hostPath);
    // The entry named hostPath itself: a link is reported as the link.
    static std::optional<HostEntry> linkAt(const std::string& hostPath);
    // The file an open descriptor refers to.
    static std::optional<HostEntry> ofDescriptor(int fd);

    // Anything at all at hostPath: a file, a folder, a device...
    static bool existsAt(const std::string& hostPath);
    // A regular file at hostPath: not a folder, not a device.
    static bool isRegularFileAt(const std::string& hostPath);
    static bool isFolderAt(const std::string& hostPath);
    // Whether the two paths name one host file; false when either is missing.
    static bool sameFileAt(const std::string& first, const std::string& second);
    // The folder that holds hostPath: "/" for an entry of the root, "." for a
    // bare name.
    static std::string parentFolderOf(const std::string& hostPath);

    bool isFolder() const { return S_ISDIR(m_info.st_mode); }
    bool isRegularFile() const { return S_ISREG(m_info.st_mode); }
    // Only an entry from linkAt can be a link.
    bool isLink() const { return S_ISLNK(m_info.st_mode); }
    // Whether the host lets this user write the file at hostPath (this
    // entry) once its read-only attribute, the owner write bit, is set
    // aside: the owner and the superuser may, anybody else as the other
    // permission bits say.
    bool userMayWriteApartFromReadOnly(const std::string& hostPath) const;
    // Windows' read-only attribute: the owner write bit is clear.
    bool isReadOnly() const { return (m_info.st_mode & S_IWUSR) == 0; }
    unsigned long long size() const { return static_cast<unsigned long long>(m_info.st_size); }
    // The permission bits, which a copy or a replacement of the file keeps.
    mode_t permissions() const { return m_info.st_mode & 07777; }
    // The FILE_ATTRIBUTE_... bits GetFileAttributesA and FindFirstFileA report.
    DWORD attributes() const;
    bool isSameFileAs(const HostEntry& other) const;

private:
    explicit HostEntry(const struct stat& info) : m_info(info) {}

    struct stat m_info;
};

} // namespace emu::kernel
