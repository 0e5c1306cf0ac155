#include "platform/emu/kernel/CregWriter.h"

#include <algorithm>

namespace emu::kernel {

namespace {

// Field offsets inside the file header, the tree header, a key entry, a data
// block header and a data entry.
constexpr size_t kFileChecksum = 12;
constexpr size_t kFileFlags = 18;
constexpr size_t kTreeFreeEntry = 12;
constexpr size_t kTreeFlags = 16;
constexpr size_t kTreeChecksum = 20;
constexpr size_t kInUse = 0;
constexpr size_t kFreeSize = 4; // the hash of a key entry in use
constexpr size_t kNextFree = 8;
constexpr size_t kParent = 12;
constexpr size_t kFirstSubkey = 16;
constexpr size_t kNextSibling = 20;
constexpr size_t kDataNumbers = 24;
constexpr size_t kBlockUnused = 8;
constexpr size_t kBlockFlags = 12;
constexpr size_t kBlockFreeEntry = 16;
constexpr size_t kBlockHighestNumber = 20;
constexpr size_t kBlockFirstFreeNumber = 22;
constexpr size_t kBlockChecksum = 28;
constexpr size_t kEntryNumber = 4;
constexpr size_t kEntryBlock = 6;
constexpr size_t kEntryUsed = 8;

void write16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void write32(std::string& bytes, size_t offset, uint32_t value) {
    write16(bytes, offset, static_cast<uint16_t>(value & 0xFFFF));
    write16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

} // namespace

CregWriter::CregWriter(const CregFile& file, CregHabit habit)
    : m_file(file), m_habit(habit), m_bytes(file.bytes()),
      m_lastFreed(file.blocks().size(), CregFile::kNone) {}

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
    if (deleted > 0) {
        finish();
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
    write32(m_bytes, link, next);
}

void CregWriter::freeKey(size_t key) {
    const CregFile::Key& k = m_file.keys()[key];
    size_t entry = k.treeEntry;
    size_t treeHead = CregFile::kTreeOffset + kTreeFreeEntry;
    write32(m_bytes, entry + kInUse, CregFile::kFreeKeyMark);
    write32(m_bytes, entry + kFreeSize, static_cast<uint32_t>(CregFile::kKeyEntrySize));
    write32(m_bytes, entry + kNextFree, read32(treeHead));
    write32(m_bytes, entry + kParent, CregFile::kNone);
    write32(m_bytes, entry + kFirstSubkey, CregFile::kNone);
    write32(m_bytes, entry + kNextSibling, CregFile::kNone);
    write32(m_bytes, entry + kDataNumbers, CregFile::kNone);
    write32(m_bytes, treeHead, static_cast<uint32_t>(entry - CregFile::kTreeOffset));
    if (!k.data) {
        return;
    }
    size_t data = *k.data;
    uint32_t size = read32(data);
    std::fill(m_bytes.begin() + static_cast<std::ptrdiff_t>(data + kEntryNumber),
              m_bytes.begin() + static_cast<std::ptrdiff_t>(data + size), '\0');
    write16(m_bytes, data + kEntryNumber, CregFile::kFreeEntry);
    write16(m_bytes, data + kEntryBlock, CregFile::kFreeEntry);
    write32(m_bytes, data + kEntryUsed, CregFile::kNone);
    m_lastFreed[k.blockIndex] = static_cast<uint32_t>(data - k.block);
}

void CregWriter::finish() {
    const auto& blocks = m_file.blocks();
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (m_lastFreed[i] != CregFile::kNone) {
            recountBlock(m_bytes, blocks[i].offset, blocks[i].size, m_habit, m_lastFreed[i]);
        }
    }
    resum(m_bytes, CregFile::kTreeOffset, m_file.treeSize(), CregFile::kTreeOffset + kTreeChecksum,
          read32(CregFile::kTreeOffset + kTreeFlags));
    resum(m_bytes, 0, CregFile::kHeaderSize, kFileChecksum, CregFile::read16(m_bytes, kFileFlags));
}

void CregWriter::recountBlock(std::string& bytes, size_t offset, size_t size, CregHabit habit,
                              uint32_t lastFreed) {
    CregBlockCounts counts = countCregBlock(bytes, offset, size);
    write32(bytes, offset + kBlockUnused, counts.unused(habit));
    bool namesLast = habit == CregHabit::Windows98 && lastFreed != CregFile::kNone;
    write32(bytes, offset + kBlockFreeEntry, namesLast ? lastFreed : counts.lowestFree);
    write16(bytes, offset + kBlockHighestNumber, counts.highestNumber);
    write16(bytes, offset + kBlockFirstFreeNumber, counts.firstFreeNumber);
    resum(bytes, offset, size, offset + kBlockChecksum,
          CregFile::read16(bytes, offset + kBlockFlags));
}

void CregWriter::resum(std::string& bytes, size_t offset, size_t size, size_t checksumField,
                       uint32_t flags) {
    if ((flags & CregFile::kChecksumKept) == 0) {
        return;
    }
    write32(bytes, checksumField, 0);
    write32(bytes, checksumField, 0u - CregFile::wordSum(bytes, offset, size));
}

} // namespace emu::kernel
