#include "platform/emu/kernel/CregCheck.h"

#include "platform/emu/kernel/CodePage.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"

#include <algorithm>

namespace emu::kernel {

namespace {

class Checker {
public:
    Checker(std::string_view bytes, const CregFile& file, const CregHabits& habits)
        : m_bytes(bytes), m_file(file), m_habits(habits) {}

    std::vector<CregFinding> run() {
        checkSum("the file header", 0, CregFile::kHeaderSize, 12, CregFile::read16(m_bytes, 18));
        checkSum("the key tree", CregFile::kTreeOffset, m_file.treeSize(),
                 CregFile::kTreeOffset + 20, CregFile::read32(m_bytes, CregFile::kTreeOffset + 16));
        for (size_t i = 0; i < m_file.blocks().size(); ++i) {
            checkBlock(i, m_file.blocks()[i]);
        }
        checkKeys();
        checkFreeList();
        checkEnd();
        return std::move(m_findings);
    }

private:
    uint32_t at32(size_t offset) const { return CregFile::read32(m_bytes, offset); }
    uint16_t at16(size_t offset) const { return CregFile::read16(m_bytes, offset); }

    void find(size_t offset, std::string what, bool inEveryRelease = false,
              bool breaksHabit = false) {
        m_findings.push_back(CregFinding{offset, std::move(what), inEveryRelease, breaksHabit});
    }

    void checkSum(const std::string& what, size_t offset, size_t size, size_t field,
                  uint32_t flags) {
        if ((flags & CregFile::kChecksumKept) != 0 &&
            CregFile::wordSum(m_bytes, offset, size) != 0) {
            find(field,
                 what + "'s checksum " + CregFile::hex(at32(field)) + " does not match its bytes",
                 true);
        }
    }

    void checkCounter(size_t field, uint32_t found, uint32_t expected, const std::string& what) {
        if (found != expected) {
            find(field,
                 what + " is " + CregFile::hex(found) + ", its entries make it " +
                     CregFile::hex(expected),
                 false, m_habits.certain);
        }
    }

    void checkBlock(size_t index, const CregFile::Block& block) {
        std::string name = "data block " + std::to_string(index);
        checkSum(name, block.offset, block.size, block.offset + 28, at16(block.offset + 12));
        checkCounter(block.offset + 14, at16(block.offset + 14), static_cast<uint32_t>(index),
                     name + "'s number");
        CregBlockCounts counts = countCregBlock(m_bytes, block.offset, block.size);
        CregHabit habit = m_habits.habit;
        checkCounter(block.offset + 8, at32(block.offset + 8), counts.unused(habit),
                     name + "'s count of unused bytes");
        // Windows 98 may name any free entry; the lowest is the one shown.
        uint32_t firstFree = at32(block.offset + 16);
        checkCounter(block.offset + 16, firstFree,
                     counts.freeEntryFits(habit, firstFree) ? firstFree : counts.lowestFree,
                     name + "'s first free entry");
        checkCounter(block.offset + 20, at16(block.offset + 20), counts.highestNumber,
                     name + "'s highest entry number");
        checkCounter(block.offset + 22, at16(block.offset + 22), counts.firstFreeNumber,
                     name + "'s first free entry number");
    }

    void checkKeys() {
        const auto& keys = m_file.keys();
        for (size_t i = 1; i < keys.size(); ++i) { // the root has no parent and no name
            const CregFile::Key& key = keys[i];
            uint32_t parent =
                static_cast<uint32_t>(keys[key.parent].treeEntry - CregFile::kTreeOffset);
            if (at32(key.treeEntry + 12) != parent) {
                find(key.treeEntry + 12, "the key entry at " + CregFile::hex(key.treeEntry) +
                                             " names " + CregFile::hex(at32(key.treeEntry + 12)) +
                                             " as its parent instead of " + CregFile::hex(parent));
            }
            uint32_t hash = cregNameHash(key.name);
            if (at32(key.treeEntry + 4) != hash) {
                find(key.treeEntry + 4, "the key entry at " + CregFile::hex(key.treeEntry) +
                                            " keeps the hash " +
                                            CregFile::hex(at32(key.treeEntry + 4)) +
                                            ", its name's is " + CregFile::hex(hash));
            }
        }
    }

    // The file ends with its last data block.
    void checkEnd() {
        size_t end = m_file.blocks().empty()
                         ? CregFile::read32(m_bytes, 8)
                         : m_file.blocks().back().offset + m_file.blocks().back().size;
        if (end < m_bytes.size()) {
            find(end,
                 std::to_string(m_bytes.size() - end) +
                     " bytes follow the last data block, which ends at " + CregFile::hex(end),
                 true);
        }
    }

    // Follows the list from the tree header; the first bad link ends it.
    void checkFreeList() {
        // Where the entries of keys in the tree start, byte by byte.
        std::vector<bool> live(m_file.treeSize(), false);
        for (const CregFile::Key& key : m_file.keys()) {
            live[key.treeEntry - CregFile::kTreeOffset] = true;
        }
        auto overlapsKey = [&](size_t entry) {
            size_t first =
                entry >= CregFile::kKeyEntrySize ? entry - CregFile::kKeyEntrySize + 1 : 0;
            for (size_t at = first; at < entry + CregFile::kKeyEntrySize && at < live.size();
                 ++at) {
                if (live[at]) {
                    return true;
                }
            }
            return false;
        };
        std::vector<bool> seen(m_file.treeSize(), false);
        size_t link = CregFile::kTreeOffset + 12;
        for (uint32_t entry = at32(link); entry != CregFile::kNone; entry = at32(link)) {
            std::string problem;
            if (entry < CregFile::kTreeHeaderSize || entry > m_file.treeSize() ||
                m_file.treeSize() - entry < CregFile::kKeyEntrySize) {
                problem = "lies outside the key tree";
            } else if (overlapsKey(entry)) {
                problem = "is the entry of a key in the tree";
            } else if (at32(CregFile::kTreeOffset + entry) != CregFile::kFreeKeyMark) {
                problem = "is not marked free";
            } else if (seen[entry]) {
                problem = "loops back into the list";
            }
            if (!problem.empty()) {
                bool pastFile = entry >= m_bytes.size() - CregFile::kTreeOffset;
                find(link,
                     "the free list links to " + CregFile::hex(entry) + ", which " +
                         (pastFile ? "lies past the end of the file" : problem),
                     pastFile);
                return;
            }
            seen[entry] = true;
            link = CregFile::kTreeOffset + entry + 8;
        }
    }

    std::string_view m_bytes;
    const CregFile& m_file;
    CregHabits m_habits;
    std::vector<CregFinding> m_findings;
};

} // namespace

uint32_t cregNameHash(std::string_view name) {
    uint32_t hash = 0;
    for (unsigned char c : name) {
        if (c < 0x80) {
            hash += ansiCodePage().upper(c);
        }
    }
    return hash;
}

std::vector<CregFinding> checkCregFile(std::string_view bytes) {
    return checkCregFile(CregFile{std::string(bytes)});
}

std::vector<CregFinding> checkCregFile(const CregFile& file) {
    if (file.error()) {
        return {CregFinding{file.errorOffset(), *file.error()}};
    }
    return checkCregFile(file, cregHabitsOf(file));
}

std::vector<CregFinding> checkCregFile(const CregFile& file, const CregHabits& habits) {
    if (file.error()) {
        return {CregFinding{file.errorOffset(), *file.error()}};
    }
    return Checker(file.bytes(), file, habits).run();
}

} // namespace emu::kernel
