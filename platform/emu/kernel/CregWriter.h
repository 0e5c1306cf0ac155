// Changes to a binary registry file (CregFile), made on a copy of its bytes
// so that the file read stays as it was until the copy replaces it whole.
//
// Deleting a key takes it out of its parent's chain of subkeys and frees the
// key entries and data entries of the key and of every key below it, the way
// the format keeps free space:
//   - a freed key entry is marked free (0x80000000), covers one entry
//     (28 in its size field), links nowhere, names no data entry and goes to
//     the head of the tree's free list;
//   - a freed data entry keeps its size and place, is numbered 0xFFFF in
//     block 0xFFFF with 0xFFFFFFFF bytes in use, and the rest of it is
//     zeroed so that no name of a deleted key stays readable;
//   - every changed block's counters are set from its entries (unused bytes,
//     first free entry, highest and first free entry number) the way the
//     file's own release keeps them (CregHabits: Windows 98 counts the
//     slack of entries in use as unused and names the hole it made last as
//     the first free entry), and the checksums of the tree, of every changed
//     block and of the file header are made right where their flags say
//     they are kept.
// No other byte changes: every other key keeps its entry, number, values and
// place, and the header's version fields stay as they were.
#pragma once

#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"

#include <string>
#include <vector>

namespace emu::kernel {

class CregWriter {
public:
    CregWriter(const CregFile& file, CregHabit habit);

    // Deletes the keys (indexes into file.keys(); never the root, none below
    // another) with everything below them. Returns how many keys went.
    size_t deleteKeys(const std::vector<size_t>& keys);

    const std::string& bytes() const { return m_bytes; }
    std::string takeBytes() { return std::move(m_bytes); }

    // Sets a block's counters from its entries, under the habit; lastFreed is
    // the offset in the block of the hole made last (0xFFFFFFFF: none).
    static void recountBlock(std::string& bytes, size_t offset, size_t size, CregHabit habit,
                             uint32_t lastFreed);
    // Makes the sum of the range's words 0 by its checksum field, when the
    // flags say the checksum is kept.
    static void resum(std::string& bytes, size_t offset, size_t size, size_t checksumField,
                      uint32_t flags);

private:
    void unlink(size_t key);
    void freeKey(size_t key);
    void finish();
    uint32_t read32(size_t offset) const { return CregFile::read32(m_bytes, offset); }

    const CregFile& m_file;
    CregHabit m_habit;
    std::string m_bytes;
    std::vector<uint32_t> m_lastFreed; // per block of the file: offset in it; 0xFFFFFFFF unchanged
};

} // namespace emu::kernel
