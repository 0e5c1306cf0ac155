// Drive letters of the emulated machine and the host folders behind them.
// A Windows path is made absolute against a current directory, cleaned of
// "." and ".." (which stop at the drive root) and then matched component by
// component against the host folder's entries without regard to case, as on
// a FAT disk.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

class DriveMap {
public:
    // Maps letter (either case) to an existing host folder; throws
    // std::runtime_error when the folder does not exist.
    void map(char letter, const std::string& hostFolder);
    bool isMapped(char letter) const;

    // "X:\A\B" for path taken relative to currentDir ("X:\..."): upper-case
    // drive letter, backslashes, no "." or "..", no trailing backslash but on
    // the root. nullopt when the path is empty, malformed or on no mapped drive.
    std::optional<std::string> absolutePath(std::string_view path,
                                            std::string_view currentDir) const;

    // The host path of an absolute path made by absolutePath. Existing
    // entries are found without regard to case; missing components keep
    // the case they were given.
    std::string hostPath(const std::string& absolute) const;
    // Whether hostPath, made by hostPath from absolute, passes through a
    // host link that leads outside the drive's folder or nowhere. Such a
    // path is treated as absent: nothing outside a drive's folder is ever
    // read, written or deleted through a drive path.
    bool leavesDrive(const std::string& absolute, const std::string& hostPath) const;

    // The Windows path of a host folder inside a mapped drive.
    std::optional<std::string> windowsPathOf(const std::string& hostFolder) const;

private:
    static bool isValidComponent(std::string_view part);
    static std::vector<std::string> splitComponents(std::string_view text);
    static std::string matchEntry(const std::string& folder, const std::string& name);
    static std::optional<std::string> shortNameAlias(const std::string& folder,
                                                     const std::string& name);

    std::map<char, std::string> m_roots; // upper-case letter -> canonical host folder
};

} // namespace emu::kernel
