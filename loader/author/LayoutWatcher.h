// setup --watch: while the program runs, notices when layout.ini or a
// picture beside it (a .bmp file in its folder) changes on disk and makes the
// launcher window afresh from them, where the old one stood. When the new
// layout does not load, the old window stays and its caption says why.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>

namespace loader::author {

class LayoutWatcher {
public:
    // A text added to the window's caption when the layout does not load.
    static constexpr const char* kFindingPrefix = " - not reloaded: ";

    // Compares the files with what they were at the last look; reloads the
    // window when one changed. The first look only takes note.
    void check();

    int reloads() const { return m_reloads; }

private:
    struct Stamp {
        off_t size = 0;
        ino_t inode = 0;
        long long modified = 0; // nanoseconds
        bool operator!=(const Stamp& other) const {
            return size != other.size || inode != other.inode || modified != other.modified;
        }
    };

    std::map<std::string, Stamp> stamps() const;
    void reload();
    static std::string diskFolder();

    std::map<std::string, Stamp> m_stamps;
    bool m_looked = false;
    bool m_pending = false; // a change seen that is not yet shown
    int m_reloads = 0;
};

} // namespace loader::author
