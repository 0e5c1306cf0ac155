// The files of a driver disk: layout.ini and the files it names (the two
// pictures, the fragments of the file check and of the install sections).
// On the disk every one of them is a plain 8.3 name in the disk's own
// folder, stored in upper case: a Windows 95 whose floppy driver shows only
// short names finds nothing else, and a name with a folder in it would reach
// outside the disk.
#pragma once

#include "loader/author/CheckReport.h"
#include "loader/author/ProfileText.h"

#include <string>
#include <vector>

namespace loader::author {

class DiskFiles {
public:
    // A file as layout.ini names it.
    struct Named {
        std::string name; // exactly as the program uses it
        int line = 0;     // of layout.ini
        const char* role; // "picture" or "fragment"
        // Named only by install lines, which the program judges itself: a
        // name it refuses there is reported with the line.
        bool installOnly = false;
    };
    // A file as the disk holds it.
    struct File {
        std::string name; // 8.3, upper case
        std::string bytes;
    };

    // Every file layout.ini names, each name once (compared without regard
    // to case), in the order of the file. layoutPath is the Windows path the
    // program reads layout.ini from.
    static std::vector<Named> named(const ProfileText& layout, const std::string& layoutPath);
    // The name as the disk stores it, upper case; empty when name is no 8.3
    // name of a file in the current folder. why then says what is wrong.
    static std::string shortName(const std::string& name, std::string& why);
    // An error for every named file the disk cannot hold under its name.
    static void checkNames(const ProfileText& layout, const std::string& layoutPath,
                           CheckReport& report);
    // layout.ini and every named file read through the booted machine from
    // the current folder, under their names on the disk. false, with the
    // reason, when one cannot be read or has no short name.
    static bool read(std::vector<File>& files, std::string& error);
};

} // namespace loader::author
