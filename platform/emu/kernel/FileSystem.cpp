#include "platform/emu/kernel/FileSystem.h"

#include "platform/emu/kernel/DriveMap.h"
#include "platform/emu/kernel/FileReplacer.h"
#include "platform/emu/kernel/FileSteps.h"
#include "platform/emu/kernel/HostEntry.h"
#include "platform/emu/kernel/ProfileFile.h"
#include "platform/emu/kernel/ShareLock.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emu::kernel {

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr mode_t kNewFileMode = 0644;

struct FileSystemState {
    DriveMap drives;
    std::string currentDir; // "X:\..." without trailing backslash but on a root
    std::string windowsDir;
};
FileSystemState g_fs;
FileTable g_table;

std::string hostCurrentFolder() {
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "/";
    }
    return buffer.data();
}

std::string canonicalHostFolder(const std::string& folder) {
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) {
        throw std::runtime_error("folder " + folder + " does not exist");
    }
    std::string result = real;
    free(real);
    return result;
}

std::string initialCurrentDirectory(const MachineConfig& config) {
    if (!config.currentDir.empty()) {
        bool hasDrive = config.currentDir.size() >= 2 && config.currentDir[1] == ':';
        std::optional<std::string> absolute =
            hasDrive ? g_fs.drives.absolutePath(config.currentDir, config.currentDir.substr(0, 2))
                     : std::nullopt;
        if (!absolute || !HostEntry::isFolderAt(g_fs.drives.hostPath(*absolute))) {
            throw std::runtime_error("current directory " + config.currentDir +
                                     " is not a folder on a mapped drive");
        }
        return *absolute;
    }
    std::string host =
        canonicalHostFolder(config.startFolder.empty() ? hostCurrentFolder() : config.startFolder);
    if (std::optional<std::string> inside = g_fs.drives.windowsPathOf(host)) {
        return *inside;
    }
    g_fs.drives.map('D', host);
    return "D:\\";
}

// Copies the whole of from (read with pread, so the opener's file pointer
// stays) into to.
bool copyContent(int from, int to) {
    char chunk[65536];
    off_t offset = 0;
    for (;;) {
        ssize_t got = pread(from, chunk, sizeof chunk, offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return got == 0;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = FileSteps::write(to, chunk + done, static_cast<size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            done += put;
        }
        offset += got;
    }
}

// The host path of an absolute path made by the drive map, and whether its
// entry is there to use: a drive may hold a file before its bytes
// (MachineConfig::fetchContent), which are fetched here, before any use.
NamedHostEntry usableHostPath(const std::string& absolute) {
    std::string host = g_fs.drives.hostPath(absolute);
    const auto& fetch = emu::config().fetchContent;
    bool absent = g_fs.drives.leavesDrive(absolute, host) || (fetch && !fetch(host));
    return NamedHostEntry{host, absent};
}

// Windows 95 names its directory in C:\MSDOS.SYS, a profile file:
// [Paths] WinDir=C:\WINDOWS. Without one that names a path with a drive
// letter, C:\WINDOWS.
std::string windowsDirOfMsdosSys() {
    const std::string fallback = "C:\\WINDOWS";
    std::optional<std::string> absolute = g_fs.drives.absolutePath("C:\\MSDOS.SYS", "C:\\");
    if (!absolute) {
        return fallback;
    }
    NamedHostEntry msdosSys = usableHostPath(*absolute);
    std::optional<std::string> text =
        msdosSys.leavesDrive ? std::nullopt : readFileShared(msdosSys.hostPath);
    if (!text) {
        return fallback;
    }
    ProfileFile file(std::move(*text));
    const ProfileFile::Section* paths = file.findSection("Paths");
    const ProfileFile::Line* line = paths ? file.findEntry(*paths, "WinDir") : nullptr;
    if (line == nullptr || line->value.size() < 3 || line->value[1] != ':' ||
        !std::isalpha(static_cast<unsigned char>(line->value[0]))) {
        return fallback;
    }
    return std::string(line->value);
}

} // namespace

void bootFiles(const MachineConfig& config) {
    shutdownFiles();
    for (const auto& [letter, folder] : config.drives) {
        g_fs.drives.map(letter, folder);
    }
    g_fs.currentDir = initialCurrentDirectory(config);
    std::string windowsDir = config.windowsDir.empty() ? windowsDirOfMsdosSys() : config.windowsDir;
    g_fs.windowsDir = g_fs.drives.absolutePath(windowsDir, g_fs.currentDir).value_or(windowsDir);
    FileSteps::armCrash(config.crashAfterFileSteps);
    FileSteps::failWrite(config.failingWrite);
}

void shutdownFiles() {
    FileSteps::armCrash(-1);
    FileSteps::failWrite(-1);
    g_table.clear();
    g_fs = FileSystemState{};
}

std::string currentDirectory() {
    return g_fs.currentDir;
}

std::string windowsDirectory() {
    return g_fs.windowsDir;
}

FileTable& fileTable() {
    return g_table;
}

std::optional<NamedHostEntry> nameWindowsPath(std::string_view path) {
    std::optional<std::string> absolute = g_fs.drives.absolutePath(path, g_fs.currentDir);
    if (!absolute) {
        return std::nullopt;
    }
    return usableHostPath(*absolute);
}

std::optional<std::string> resolveWindowsPath(std::string_view path) {
    std::optional<std::string> absolute = g_fs.drives.absolutePath(path, g_fs.currentDir);
    if (!absolute) {
        return std::nullopt;
    }
    NamedHostEntry named = usableHostPath(*absolute);
    if (named.leavesDrive) {
        return std::nullopt;
    }
    return named.hostPath;
}

DWORD setCurrentDirectory(std::string_view path) {
    std::optional<std::string> absolute = g_fs.drives.absolutePath(path, g_fs.currentDir);
    if (!absolute) {
        return ERROR_PATH_NOT_FOUND;
    }
    std::string host = g_fs.drives.hostPath(*absolute);
    std::optional<HostEntry> entry = HostEntry::at(host);
    if (!entry || g_fs.drives.leavesDrive(*absolute, host)) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!entry->isFolder()) {
        return ERROR_PATH_NOT_FOUND;
    }
    g_fs.currentDir = *absolute;
    return ERROR_SUCCESS;
}

std::optional<std::string> readFileShared(const std::string& hostPath, unsigned long long limit) {
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<HostFile> file =
        HostFile::open(hostPath, {GENERIC_READ, kShareAll, OPEN_EXISTING, 0}, error);
    if (!file) {
        return std::nullopt;
    }
    std::optional<unsigned long long> size = file->size();
    if (!size || *size > limit) {
        return std::nullopt;
    }
    return file->readAll(limit);
}

bool fileHolds(const std::string& hostPath, std::string_view bytes) {
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<HostFile> file =
        HostFile::open(hostPath, {GENERIC_READ, kShareAll, OPEN_EXISTING, 0}, error);
    if (!file) {
        return false;
    }
    std::string chunk(1 << 16, '\0');
    size_t compared = 0;
    DWORD done = 0;
    do {
        if (!file->read(chunk.data(), static_cast<DWORD>(chunk.size()), done, error) ||
            bytes.substr(compared, done) != std::string_view(chunk.data(), done)) {
            return false;
        }
        compared += done;
    } while (done == chunk.size());
    return compared == bytes.size();
}

namespace {

// Writes all of bytes into a temporary being filled; false when the host
// refuses.
std::function<bool(int)> writeAll(std::string_view bytes) {
    return [bytes](int fd) {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = FileSteps::write(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            done += static_cast<size_t>(n);
        }
        return true;
    };
}

} // namespace

bool replaceFileAtomically(const std::string& hostPath, std::string_view bytes) {
    std::optional<HostEntry> existing = HostEntry::at(hostPath);
    mode_t mode = existing ? existing->permissions() : kNewFileMode;
    return FileReplacer::replace(hostPath, mode, false, writeAll(bytes)) == ERROR_SUCCESS;
}

DWORD replaceSystemFile(const std::string& hostPath, std::string_view bytes) {
    // The file a link leads to is replaced, so the link stays.
    char* real = realpath(hostPath.c_str(), nullptr);
    if (real == nullptr) {
        return ERROR_ACCESS_DENIED;
    }
    std::string target = real;
    free(real);
    std::optional<HostEntry> entry = HostEntry::at(target);
    if (!entry || !entry->isRegularFile() || !entry->userMayWriteApartFromReadOnly(target)) {
        return ERROR_ACCESS_DENIED;
    }
    DWORD error = FileReplacer::replace(target, entry->permissions(), false, writeAll(bytes),
                                        FileReplacer::Writer::System);
    return error == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

DWORD copyHostFile(const std::string& from, const std::string& to, bool failIfExists) {
    DWORD error = ERROR_SUCCESS;
    std::unique_ptr<HostFile> source =
        HostFile::open(from, {GENERIC_READ, kShareAll, OPEN_EXISTING, 0}, error);
    if (!source) {
        return error;
    }
    // The source is open for reading while the target is written: copying a
    // file onto itself meets its own opener.
    if (HostEntry::sameFileAt(from, to)) {
        return failIfExists ? ERROR_FILE_EXISTS : ERROR_SHARING_VIOLATION;
    }
    std::optional<HostEntry> sourceEntry = HostEntry::ofDescriptor(source->fd());
    if (!sourceEntry) {
        return ERROR_ACCESS_DENIED;
    }
    int sourceFd = source->fd();
    return FileReplacer::replace(to, sourceEntry->permissions(), failIfExists,
                                 [sourceFd](int fd) { return copyContent(sourceFd, fd); });
}

DWORD absenceError(const std::string& hostPath) {
    bool inFolder = HostEntry::isFolderAt(HostEntry::parentFolderOf(hostPath));
    return inFolder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD deleteHostFile(const std::string& hostPath) {
    // The name itself: a link is deleted as the link, whatever it points at.
    std::optional<HostEntry> entry = HostEntry::linkAt(hostPath);
    if (!entry) {
        return absenceError(hostPath);
    }
    if (entry->isFolder() || entry->isReadOnly()) {
        return ERROR_ACCESS_DENIED;
    }
    UniqueFd probe(open(hostPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!probe.valid()) {
        return ERROR_ACCESS_DENIED;
    }
    // Windows 95 refuses to delete a file that anyone holds open.
    DWORD error = ERROR_SHARING_VIOLATION;
    ShareLock::runIfUnused(probe.get(), [&] {
        error = FileSteps::unlink(hostPath.c_str()) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    });
    return error;
}

} // namespace emu::kernel
