// The structure check of a binary registry file (CregFile): what the reader
// refuses, and beyond it what a reader may accept but Windows may not trust.
// One finding per problem, each with the file offset of the field at fault:
//   - the file header's, the key tree's and each data block's checksum,
//     where the flags say it is kept (the words of the range sum to 0);
//   - each data block's number and counters (unused bytes, first free entry,
//     highest and first free entry number) against its entries;
//   - the key tree's free list: every link leads to a free entry of the
//     tree that no key uses, and the list ends;
//   - every key in the tree: its parent link pointing back to its parent,
//     its hash that of its name;
//   - bytes after the last data block.
// Some findings are damage in every release of Windows (a checksum that does
// not match its bytes, data after the file's end, a link past the file's
// end); the rest hold the file to this reader's and writer's own rules,
// which the files of some releases do not keep.
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
};

class CregFile;

// Every problem of the file, none for a sound one.
std::vector<CregFinding> checkCregFile(std::string_view bytes);
// The same for a file already read.
std::vector<CregFinding> checkCregFile(const CregFile& file);

// A data block's counters as its entries make them (the block's range has
// been read by CregFile, so its entries tile it).
struct CregBlockCounts {
    uint32_t unused;          // bytes of free entries
    uint32_t firstFree;       // offset in the block of the first free entry; 0xFFFFFFFF: none
    uint16_t highestNumber;   // of an entry in use; 0 when none is
    uint16_t firstFreeNumber; // the lowest number no entry in use carries
};
CregBlockCounts countCregBlock(std::string_view bytes, size_t offset, size_t size);

// The hash a key entry keeps of its name.
uint32_t cregNameHash(std::string_view name);

} // namespace emu::kernel
