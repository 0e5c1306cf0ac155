#include "platform/emu/kernel/CregWriter.h"

#include <algorithm>

namespace emu::kernel {

namespace {

// Field offsets inside a key entry and a data block header.
constexpr size_t kHash = 4;
constexpr size_t kParent = 12;
constexpr size_t kFirstSubkey = 16;
constexpr size_t kNextSibling = 20;
constexpr size_t kDataNumbers = 24;
constexpr size_t kBlockUnused = 8;
constexpr size_t kBlockUsed = 16;

} // namespace

CregWriter::CregWriter(const CregFile& file) : m_file(file), m_bytes(file.bytes()) {}

void CregWriter::write16(size_t offset, uint16_t value) {
    m_bytes[offset] = static_cast<char>(value & 0xFF);
    m_bytes[offset + 1] = static_cast<char>(value >> 8);
}

void CregWriter::write32(size_t offset, uint32_t value) {
    write16(offset, static_cast<uint16_t>(value & 0xFFFF));
    write16(offset + 2, static_cast<uint16_t>(value >> 16));
}

size_t CregWriter::deleteKeys(const std::vector<size_t>& keys) {
    const auto& all = m_file.keys();
    size_t deleted = 0;
    for (size_t key : keys) {
        if (key == 0 || key >= all.size()) {
            continue;
        }
        unlink(key);
        std::vector<size_t> pending = {key};
        while (!pending.empty()) {
            size_t next = pending.back();
            pending.pop_back();
            const auto& subkeys = all[next].subkeys;
            pending.insert(pending.end(), subkeys.begin(), subkeys.end());
            freeKey(next);
            ++deleted;
        }
    }
    return deleted;
}

// The parent's chain of subkeys is read from the copy, which earlier
// deletions may have shortened; the reader has shown it ends.
void CregWriter::unlink(size_t key) {
    const CregFile::Key& k = m_file.keys()[key];
    uint32_t relative = static_cast<uint32_t>(k.treeEntry - CregFile::kTreeOffset);
    uint32_t next = read32(k.treeEntry + kNextSibling);
    size_t link = m_file.keys()[k.parent].treeEntry + kFirstSubkey;
    while (read32(link) != relative) {
        uint32_t sibling = read32(link);
        if (sibling == CregFile::kNone) {
            return; // already out of the chain
        }
        link = CregFile::kTreeOffset + sibling + kNextSibling;
    }
    write32(link, next);
}

void CregWriter::freeKey(size_t key) {
    const CregFile::Key& k = m_file.keys()[key];
    write32(k.treeEntry + kHash, 0);
    write32(k.treeEntry + kParent, CregFile::kNone);
    write32(k.treeEntry + kFirstSubkey, CregFile::kNone);
    write32(k.treeEntry + kNextSibling, CregFile::kNone);
    write32(k.treeEntry + kDataNumbers, CregFile::kNone);
    if (!k.data) {
        return;
    }
    size_t entry = *k.data;
    uint32_t size = read32(entry);
    write16(entry + 4, CregFile::kFreeEntry);
    std::fill(m_bytes.begin() + static_cast<std::ptrdiff_t>(entry + 6),
              m_bytes.begin() + static_cast<std::ptrdiff_t>(entry + size), '\0');
    write32(entry + 8, static_cast<uint32_t>(CregFile::kDataEntryHeaderSize));
    write32(k.block + kBlockUnused, read32(k.block + kBlockUnused) + size);
    uint32_t used = read32(k.block + kBlockUsed);
    write32(k.block + kBlockUsed, used >= size ? used - size : 0);
}

} // namespace emu::kernel
