// The structure check of a binary registry file (CregFile): what the reader
// refuses, and beyond it what a reader may accept but Windows may not trust.
// One finding per problem, each with the file offset of the field at fault:
//   - the file header's, the key tree's and each data block's checksum,
//     where the flags say it is kept (the words of the range sum to 0);
//   - each data block's number and counters (unused bytes, first free entry,
//     highest and first free entry number) against its entries, under the
//     habits the file keeps (CregHabits: Windows 95's or Windows 98's);
//   - the key tree's free list: every link leads to a free entry of the
//     tree that no key uses, and the list ends;
//   - every key in the tree: its parent link pointing back to its parent,
//     its hash that of its name;
//   - bytes after the last data block.
// Some findings are damage in every release of Windows (a checksum that does
// not match its bytes, data after the file's end, a link past the file's
// end), and so is a block counter that breaks the habit the rest of the
// file keeps clearly; the rest hold the file to this reader's and writer's
// own rules, which the files of some releases may not keep.
// Used by the tests, by the fuzz target and by `setup --check`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

struct CregFinding {
    size_t offset;
    std::string what;
    // Damage in the file of any release of Windows, not a rule of our own:
    // no change is made to such a file.
    bool inEveryRelease = false;
    // A block counter against the habits that the file's other blocks keep.
    bool breaksHabit = false;

    // Whether a change to the file would hide or spread the damage.
    bool stopsChange() const { return inEveryRelease || breaksHabit; }
};

class CregFile;
struct CregHabits;

// Every problem of the file, none for a sound one.
std::vector<CregFinding> checkCregFile(std::string_view bytes);
// The same for a file already read, and for one whose habits are known.
std::vector<CregFinding> checkCregFile(const CregFile& file);
std::vector<CregFinding> checkCregFile(const CregFile& file, const CregHabits& habits);

// The hash a key entry keeps of its name.
uint32_t cregNameHash(std::string_view name);

} // namespace emu::kernel
