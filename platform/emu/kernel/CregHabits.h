// The habits a release of Windows keeps in a binary registry file (CregFile)
// beyond what every reader needs. Windows 95 keeps a data block's counters
// one way; Windows 98, 98 SE and ME another:
//   - unused bytes: Windows 95 counts the bytes of the free entries;
//     Windows 98 also the bytes each entry in use leaves unused behind
//     what it uses (its padding and slack);
//   - first free entry: Windows 95 names the lowest free entry; Windows 98
//     any free entry of the block (the hole it made last);
//   - free entries in the middle of a block keep stale bytes and their old
//     count of bytes in use; values may carry 0xFFFFFFFF in their reserved
//     field; the root's key entry may name an empty data entry.
// Both keep 0xFFFFFFFF as the first free entry of a block without one, and
// the entry numbers' counters the same way. Which habits a file keeps is
// judged from its blocks (the counters of most of them fit only one habit),
// and where they do not tell, from the release the hive records.
// platform/emu/kernel/README.md says where each fact comes from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace emu::kernel {

class CregFile;

enum class CregHabit { Windows95, Windows98 };

// A data block's counters as its entries make them (the block's range has
// been read by CregFile, so its entries tile it).
struct CregBlockCounts {
    uint32_t freeBytes;  // bytes of free entries
    uint32_t slackBytes; // bytes entries in use leave unused
    uint32_t lowestFree; // offset in the block of the first free entry; 0xFFFFFFFF: none
    std::vector<uint32_t> freeEntries; // offsets in the block of every free entry
    uint16_t highestNumber;            // of an entry in use; 0 when none is
    uint16_t firstFreeNumber;          // the lowest number no entry in use carries

    // The block's count of unused bytes under the habit.
    uint32_t unused(CregHabit habit) const;
    // Whether the block's first-free field may hold this under the habit.
    bool freeEntryFits(CregHabit habit, uint32_t field) const;
    // Whether both fields that differ between the habits fit this one.
    bool fits(CregHabit habit, uint32_t unusedField, uint32_t freeField) const;
};
CregBlockCounts countCregBlock(std::string_view bytes, size_t offset, size_t size);

struct CregHabits {
    CregHabit habit = CregHabit::Windows95;
    // Of the blocks whose counters fit one habit alone or neither, four in
    // five or more keep this one: a block that breaks it is damage, not a
    // habit we do not know.
    bool certain = false;
};
CregHabits cregHabitsOf(const CregFile& file);

} // namespace emu::kernel
