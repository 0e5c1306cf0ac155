// A folder made under a temporary name beside the place it is meant for and
// renamed into that place once complete, so that the place holds the whole
// result or nothing. A failure removes it; a kill leaves at most the
// temporary folder, whose name starts with a dot, beside the place.
#pragma once

#include <string>

namespace loader::author {

class StagingFolder {
public:
    // target is the host path the result is meant for; its folder must exist.
    explicit StagingFolder(const std::string& target);
    ~StagingFolder();
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    // false, with the reason in error(), when the folder could not be made.
    bool made() const { return !m_path.empty(); }
    const std::string& error() const { return m_error; }
    const std::string& path() const { return m_path; }

    // Writes a new file of the folder and syncs it.
    bool writeFile(const std::string& name, const std::string& bytes, std::string& error) const;
    // Renames the folder itself (inner empty) or the entry inner of it to the
    // target. A folder replaces only a missing target or an empty folder; a
    // file replaces a missing target or a file.
    bool commit(const std::string& inner, std::string& error);

    // The target without trailing slashes; empty for a path that names no
    // entry of its own ("/", ".", "..").
    static std::string entryPath(const std::string& target);

private:
    std::string m_target;
    std::string m_path;
    std::string m_error;
};

} // namespace loader::author
