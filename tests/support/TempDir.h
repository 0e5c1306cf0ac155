// A host folder that exists for one test and is removed with everything in it.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace corvane_test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // Host path of a name inside the folder ('/' separated).
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Whole-file helpers for test data on the host side.
void writeHostFile(const std::string& path, const std::string& bytes);
std::string readHostFile(const std::string& path);
bool hostFileExists(const std::string& path);
// Names in a host folder, sorted.
std::vector<std::string> folderEntries(const std::string& folder);
// Every entry below a host folder by its '/'-separated relative path: a
// file's bytes, "<folder>" for a folder, "<link to TARGET>" for a link, not
// followed, "<other>" for anything else (a pipe, a device). Two snapshots
// compare equal when nothing below the folder changed.
std::map<std::string, std::string> treeContents(const std::string& folder);
// Copies a folder tree (test data) into a new place.
void copyHostTree(const std::string& from, const std::string& to);
// The disk space the entries at and below path take, in bytes (holes take
// none); 0 when nothing is there.
long long diskSpaceBelow(const std::string& path);

} // namespace corvane_test
