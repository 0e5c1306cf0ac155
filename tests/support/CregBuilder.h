// Writes binary registry files (the CREG format of Windows 95's SYSTEM.DAT)
// for tests, seeds and benchmarks, grown the way Windows grows them: the key
// tree first, root entry first, in a chunk of 8 KB and then chunks of 4 KB
// with slack at their ends, a free run after the last entry; then data
// blocks of a fixed size and at most 255 numbered entries, padded to four
// bytes, each closed by a free entry or by slack in its last entry. Keys are
// added by path and come out in the order they were added; a gap is the
// trace a deleted key leaves: its key entry on the tree's free list with its
// old links, and a free data entry in the middle of a block that still holds
// bytes of its old name. Counters are those of the entries; checksums are
// kept (and their flags set) unless setChecksums(false).
//
// With setHabit(CregHabit::Windows98) the file keeps Windows 98's habits
// (CregHabits): a block's unused bytes count the slack of its entries in
// use, its first free entry is the last hole in its middle, a hole keeps a
// stale count of bytes in use, values carry 0xFFFFFFFF in their reserved
// field and the root's key entry names an empty data entry.
//
// listing() describes what a reader must find, one line per key and per
// value in the file's order, the way CregOracle and cregListing() describe a
// file they read, so that tests compare the three.
#pragma once

#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane_test {

class CregBuilder {
public:
    struct Value {
        uint32_t type;
        std::string name;
        std::string data;
    };
    static Value string(std::string name, const std::string& text);
    static Value binary(std::string name, std::string bytes);
    static Value dword(std::string name, uint32_t number);

    // Adds a key below the root with its values, or sets the values of a key
    // added before; missing parents are added without values. Names match
    // exactly, so keys whose names differ only in case are different keys.
    void addKey(const std::string& path, std::vector<Value> values = {});
    // Leaves a free data entry of at least this many bytes, and a free key
    // entry, before whatever is added next.
    void addGap(size_t bytes);
    void setBlockSize(size_t bytes) { m_blockSize = bytes; }
    void setEntriesPerBlock(size_t count) { m_entriesPerBlock = count; }
    void setChecksums(bool kept) { m_checksums = kept; }
    void setHabit(emu::kernel::CregHabit habit) { m_habit = habit; }
    emu::kernel::CregHabit habit() const { return m_habit; }
    size_t keyCount() const { return m_nodes.size() - 1; }

    std::string build() const;

    // The keys and values a reader finds, leaving out the keys at these paths
    // (compared without regard to case) with everything below them.
    std::vector<std::string> listing(const std::vector<std::string>& deleted = {}) const;

    // The hash a key entry keeps of its name.
    static uint32_t nameHash(const std::string& name);

private:
    struct Node {
        std::string name;
        std::vector<Value> values;
        size_t parent;
        std::vector<size_t> children;
        size_t gapBefore = 0; // bytes of free data entry before this key's
    };
    size_t child(size_t parent, const std::string& name);
    void list(size_t node, const std::string& path, const std::vector<std::string>& deleted,
              std::vector<std::string>& lines) const;

    std::vector<Node> m_nodes = {Node{"", {}, 0, {}, 0}};
    size_t m_pendingGap = 0;
    size_t m_blockSize = 0x1000;
    size_t m_entriesPerBlock = 255;
    bool m_checksums = true;
    emu::kernel::CregHabit m_habit = emu::kernel::CregHabit::Windows95;
};

// One line of a listing: a key's path, or a value under its key's path.
std::string cregKeyLine(const std::string& path);
std::string cregValueLine(const std::string& path, uint32_t type, const std::string& name,
                          const std::string& data);

// What our reader finds in a file, in the same form.
std::vector<std::string> cregListing(const emu::kernel::CregFile& file);

} // namespace corvane_test
