// An INF file of a Japanese, Chinese or Korean installation and a driver
// disk's fragment for it, in the installation's code page, with the hard
// cases of double-byte text: section names whose trail bytes are '[', ']'
// and '\\', values whose trail bytes are '\\', two section names that differ
// only after a trail byte ']', two that differ only in a trail byte 'A' or
// 'a'. Code page 949 has no trail byte '\\', '[' or ']': its words there are
// plain ones.
#pragma once

#include <string>

namespace corvane_test {

struct DoubleByteInf {
    std::string target;   // the installation's own INF file
    std::string fragment; // the disk's lines for it
    std::string merged;   // the target after the merge: every byte kept, the lines added
    std::string caption;  // a caption and a menu item for the disk's layout.ini
    std::string menuItem;
};

// For code page 932, 936, 949 or 950; throws for another.
DoubleByteInf doubleByteInf(unsigned codePage);

} // namespace corvane_test
