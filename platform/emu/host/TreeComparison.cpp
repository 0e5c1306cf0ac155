#include "platform/emu/host/TreeComparison.h"

#include <dirent.h>
#include <sys/stat.h>

namespace emu::host {

std::string TreeComparison::folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

std::string TreeComparison::nameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int ImageChanges::count() const {
    size_t total = removedFolders.size() + removedFiles.size() + newFolders.size();
    for (const auto& [key, paths] : attributes) {
        total += paths.size();
    }
    return static_cast<int>(total);
}

Tree TreeComparison::scan(const std::string& root) {
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
            TreeEntry entry;
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

ImageChanges TreeComparison::compare(const Tree& before, const Tree& now) {
    auto removedWithParent = [&](const std::string& path) {
        for (std::string parent = folderOf(path); !parent.empty(); parent = folderOf(parent)) {
            auto old = before.find(parent);
            auto current = now.find(parent);
            if (old != before.end() && (current == now.end() || !current->second.folder)) {
                return true;
            }
        }
        return false;
    };
    ImageChanges changes;
    for (const auto& [path, old] : before) {
        auto current = now.find(path);
        if (current != now.end() && current->second.folder == old.folder) {
            continue;
        }
        if (!removedWithParent(path)) {
            (old.folder ? changes.removedFolders : changes.removedFiles).push_back(path);
        }
    }
    for (const auto& [path, entry] : now) {
        auto old = before.find(path);
        bool existed = old != before.end() && old->second.folder == entry.folder;
        if (entry.folder) {
            if (!existed) {
                changes.newFolders.push_back(path);
            }
            continue;
        }
        bool same = existed && old->second.inode == entry.inode && old->second.size == entry.size &&
                    old->second.modified == entry.modified && old->second.changed == entry.changed;
        bool hidden = existed && old->second.hidden;
        bool system = existed && old->second.system;
        if (!same) {
            changes.written[folderOf(path)].push_back(path);
            if (existed && old->second.readOnly) {
                changes.unprotect.push_back(path);
            }
            changes.attributes[{entry.readOnly, hidden, system}].push_back(path);
        } else if (old->second.readOnly != entry.readOnly) {
            changes.attributes[{entry.readOnly, hidden, system}].push_back(path);
        }
    }
    return changes;
}

} // namespace emu::host
