// Changes to a binary registry file (CregFile), made on a copy of its bytes
// so that the file read stays as it was until the copy replaces it whole.
//
// Deleting a key takes it out of its parent's chain of subkeys and frees the
// key entries and data entries of the key and of every key below it: a freed
// key entry links nowhere and names no data; a freed data entry keeps its
// size, is numbered 0xFFFF and is zeroed but for a used size that covers just
// its header (a free entry as readers of real files expect), and its block's counts of unused and
// used bytes move by its size. No other byte changes, so every other key,
// value and class keeps its place and meaning, and the header's version
// fields stay as they were.
#pragma once

#include "platform/emu/kernel/CregFile.h"

#include <string>
#include <vector>

namespace emu::kernel {

class CregWriter {
public:
    explicit CregWriter(const CregFile& file);

    // Deletes the keys (indexes into file.keys(); never the root, none below
    // another) with everything below them. Returns how many keys went.
    size_t deleteKeys(const std::vector<size_t>& keys);

    const std::string& bytes() const { return m_bytes; }

private:
    void unlink(size_t key);
    void freeKey(size_t key);
    void write16(size_t offset, uint16_t value);
    void write32(size_t offset, uint32_t value);
    uint32_t read32(size_t offset) const { return CregFile::read32(m_bytes, offset); }

    const CregFile& m_file;
    std::string m_bytes;
};

} // namespace emu::kernel
