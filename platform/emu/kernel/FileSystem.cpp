#include "platform/emu/kernel/FileSystem.h"

#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace emu::kernel {

namespace {

struct FileSystemState {
    std::map<char, std::string> drives; // upper-case letter -> host folder
    std::string currentDir;             // "X:\..." without trailing backslash but on a root
};
FileSystemState g_fs;

std::string hostCurrentFolder() {
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) == nullptr) {
        return "/";
    }
    return buffer.data();
}

std::string withoutTrailingSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

// The Windows path of a host folder that lies inside a mapped drive.
std::optional<std::string> windowsPathOfHostFolder(const std::string& hostFolder) {
    for (const auto& [letter, root] : g_fs.drives) {
        std::string base = withoutTrailingSlash(root);
        if (hostFolder == base) {
            return std::string(1, letter) + ":\\";
        }
        if (hostFolder.compare(0, base.size() + 1, base + "/") == 0) {
            std::string rest = hostFolder.substr(base.size() + 1);
            for (char& c : rest) {
                if (c == '/') {
                    c = '\\';
                }
            }
            return std::string(1, letter) + ":\\" + rest;
        }
    }
    return std::nullopt;
}

std::string canonicalHostFolder(const std::string& folder) {
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) {
        throw std::runtime_error("drive folder " + folder + " does not exist");
    }
    std::string result = real;
    free(real);
    return result;
}

bool equalNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The name of an entry of folder that matches name without regard to case;
// the name itself when none does.
std::string matchEntry(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return name;
    }
    std::string found = name;
    while (dirent* entry = readdir(dir)) {
        std::string candidate = entry->d_name;
        if (candidate == name) {
            found = candidate;
            break;
        }
        if (equalNoCase(candidate, name)) {
            found = candidate;
        }
    }
    closedir(dir);
    return found;
}

std::vector<std::string> splitComponents(std::string_view text) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        if (c == '\\' || c == '/') {
            if (!current.empty()) {
                parts.push_back(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        parts.push_back(current);
    }
    return parts;
}

} // namespace

void bootFiles(const MachineConfig& config) {
    g_fs = FileSystemState{};
    for (const auto& [letter, folder] : config.drives) {
        g_fs.drives[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] =
            canonicalHostFolder(folder);
    }
    std::string host = canonicalHostFolder(hostCurrentFolder());
    if (!config.currentDir.empty()) {
        g_fs.currentDir = config.currentDir;
    } else if (auto inside = windowsPathOfHostFolder(host)) {
        g_fs.currentDir = *inside;
    } else {
        g_fs.drives['D'] = host;
        g_fs.currentDir = "D:\\";
    }
}

void shutdownFiles() { g_fs = FileSystemState{}; }

std::string currentDirectory() { return g_fs.currentDir; }

std::optional<std::string> resolveWindowsPath(std::string_view path) {
    std::string full;
    if (path.size() >= 2 && path[1] == ':') {
        full = std::string(path);
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        full = g_fs.currentDir.substr(0, 2) + std::string(path);
    } else {
        full = g_fs.currentDir + "\\" + std::string(path);
    }
    if (full.size() < 2 || !std::isalpha(static_cast<unsigned char>(full[0]))) {
        return std::nullopt;
    }
    auto drive = g_fs.drives.find(static_cast<char>(std::toupper(static_cast<unsigned char>(full[0]))));
    if (drive == g_fs.drives.end()) {
        return std::nullopt;
    }
    std::vector<std::string> kept;
    for (const std::string& part : splitComponents(std::string_view(full).substr(2))) {
        if (part == ".") {
            continue;
        }
        if (part == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
            continue;
        }
        kept.push_back(part);
    }
    std::string host = drive->second;
    for (const std::string& part : kept) {
        host += "/" + matchEntry(host, part);
    }
    return host;
}

std::optional<std::string> readFileShared(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool replaceFileAtomically(const std::string& hostPath, std::string_view bytes) {
    struct stat info {};
    if (stat(hostPath.c_str(), &info) == 0 && (info.st_mode & S_IWUSR) == 0) {
        return false;
    }
    std::string folder = hostPath.substr(0, hostPath.find_last_of('/') + 1);
    std::string temp = folder + ".corvane-XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            close(fd);
            unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    fchmod(fd, 0644);
    if (fsync(fd) != 0 || close(fd) != 0 || rename(temp.c_str(), hostPath.c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace emu::kernel
