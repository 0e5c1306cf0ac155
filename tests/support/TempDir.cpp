#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace corvane_test {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "corvane-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Read-only files inside must not stop the clean-up.
    for (auto& entry : fs::recursive_directory_iterator(m_path, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::remove_all(m_path, ec);
}

void writeHostFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool hostFileExists(const std::string& path) {
    return fs::exists(path);
}

std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::map<std::string, std::string> treeContents(const std::string& folder) {
    std::map<std::string, std::string> tree;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        std::string name = fs::relative(entry.path(), folder).generic_string();
        if (entry.is_symlink()) {
            tree[name] = "<link to " + fs::read_symlink(entry.path()).string() + ">";
        } else if (entry.is_directory()) {
            tree[name] = "<folder>";
        } else if (entry.is_regular_file()) {
            tree[name] = readHostFile(entry.path().string());
        } else {
            tree[name] = "<other>";
        }
    }
    return tree;
}

void copyHostTree(const std::string& from, const std::string& to) {
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

long long diskSpaceBelow(const std::string& path) {
    long long total = 0;
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0) {
        total += static_cast<long long>(info.st_blocks) * 512;
    }
    std::error_code failed;
    if (!fs::is_directory(fs::symlink_status(path, failed))) {
        return total;
    }
    // Entries may come and go while it counts: what is gone counts nothing.
    for (auto it = fs::recursive_directory_iterator(path, failed);
         !failed && it != fs::recursive_directory_iterator(); it.increment(failed)) {
        if (lstat(it->path().c_str(), &info) == 0) {
            total += static_cast<long long>(info.st_blocks) * 512;
        }
    }
    return total;
}

} // namespace corvane_test
