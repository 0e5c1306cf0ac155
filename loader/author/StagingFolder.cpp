#include "loader/author/StagingFolder.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace loader::author {

namespace {
std::string reason(const std::string& what, int error) {
    return what + ": " + std::strerror(error);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool syncPath(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

// What a new folder gets from the user's umask.
mode_t folderMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0777 & ~mask;
}
} // namespace

std::string StagingFolder::entryPath(const std::string& target) {
    std::string path = target;
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    std::string name = nameOf(path);
    if (name.empty() || name == "." || name == "..") {
        return "";
    }
    return path;
}

StagingFolder::StagingFolder(const std::string& target) : m_target(entryPath(target)) {
    if (m_target.empty()) {
        m_error = "\"" + target + "\" names no file or folder of its own";
        return;
    }
    std::string pattern = folderOf(m_target) + "/." + nameOf(m_target) + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        m_error = reason("cannot make a folder beside " + m_target, errno);
        return;
    }
    m_path = buffer.data();
    if (chmod(m_path.c_str(), folderMode()) != 0) {
        m_error = reason("cannot set the permissions of " + m_path, errno);
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
        m_path.clear();
    }
}

StagingFolder::~StagingFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

bool StagingFolder::writeFile(const std::string& name, const std::string& bytes,
                              std::string& error) const {
    std::string path = m_path + "/" + name;
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = reason("cannot create " + path, errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t written = write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error = reason("cannot write " + path, written < 0 ? errno : ENOSPC);
            close(fd);
            return false;
        }
        done += static_cast<size_t>(written);
    }
    if (fsync(fd) != 0) {
        error = reason("cannot write " + path, errno);
        close(fd);
        return false;
    }
    if (close(fd) != 0) {
        error = reason("cannot write " + path, errno);
        return false;
    }
    return true;
}

bool StagingFolder::commit(const std::string& inner, std::string& error) {
    std::string from = inner.empty() ? m_path : m_path + "/" + inner;
    if (!syncPath(from)) {
        error = reason("cannot sync " + from, errno);
        return false;
    }
    // rename() puts a folder only over a missing or empty folder and a file
    // only over a file: an author's files are never replaced.
    if (rename(from.c_str(), m_target.c_str()) != 0) {
        error = reason("cannot put the result in place as " + m_target, errno);
        return false;
    }
    if (inner.empty()) {
        m_path.clear();
    }
    syncPath(folderOf(m_target));
    return true;
}

} // namespace loader::author
