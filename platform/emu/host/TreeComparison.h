// What changed in an image drive's folder since its files were copied out:
// the folder as copied out and the folder now, each a tree of entries, give
// the image's changes (entries removed, folders made, files written,
// attributes set). Knows no image and runs no tool.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <sys/types.h>
#include <tuple>
#include <vector>

namespace emu::host {

struct TreeEntry {
    bool folder = false;
    bool readOnly = false;
    bool hidden = false;
    bool system = false;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modified = 0; // ns
    std::int64_t changed = 0;  // ns
};
// Path relative to the folder, '/' between names, to its entry.
using Tree = std::map<std::string, TreeEntry>;

// Every path relative to the folder (and the image's root).
struct ImageChanges {
    std::vector<std::string> removedFolders; // with everything in them
    std::vector<std::string> removedFiles;   // not inside a removed folder
    std::vector<std::string> newFolders;     // parents first
    std::vector<std::string> unprotect;      // read-only files about to be overwritten
    // The image's folder ("" for the root) to the files written into it.
    std::map<std::string, std::vector<std::string>> written;
    // (read-only, hidden, system) to the entries to set so.
    std::map<std::tuple<bool, bool, bool>, std::vector<std::string>> attributes;

    // How many file entries the changes write, remove or change.
    int count() const;
};

class TreeComparison {
public:
    // The folders and regular files under root (others are not the image's).
    static Tree scan(const std::string& root);
    // What turns the image that before was copied from into now. A file is
    // written when its inode, size or times changed; hidden and system stay
    // as the image had them.
    static ImageChanges compare(const Tree& before, const Tree& now);

    // The folder of a path of a tree ("" for the root) and its last name.
    static std::string folderOf(const std::string& path);
    static std::string nameOf(const std::string& path);
};

} // namespace emu::host
