#include "tests/support/CregBuilder.h"

#include "platform/emu/kernel/CodePage.h"

#include <stdexcept>

namespace corvane_test {

using emu::kernel::CregFile;
using emu::kernel::CregHabit;

namespace {

void put16(std::string& out, uint16_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>(value >> 8);
}

void put32(std::string& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

void set32(std::string& out, size_t offset, uint32_t value) {
    std::string bytes;
    put32(bytes, value);
    out.replace(offset, 4, bytes);
}

// A data entry freed in place: numbered 0xFFFF in block 0xFFFF; what it held
// before stays behind its header, as a deleted key's name would. Windows 95
// marks it as using 0xFFFFFFFF bytes, Windows 98 leaves its old count.
std::string freeDataEntry(size_t size, const std::string& leftOver, CregHabit habit) {
    std::string entry;
    put32(entry, static_cast<uint32_t>(size));
    put16(entry, CregFile::kFreeEntry);
    put16(entry, CregFile::kFreeEntry);
    bool stale = habit == CregHabit::Windows98 && !leftOver.empty();
    put32(entry, stale ? static_cast<uint32_t>(CregFile::kDataEntryHeaderSize + leftOver.size())
                       : CregFile::kNone);
    put32(entry, 0);
    put32(entry, 0);
    entry += leftOver.substr(0, size - std::min(size, entry.size()));
    entry.resize(size, '\0');
    return entry;
}

void put16At(std::string& out, size_t offset, uint16_t value) {
    out[offset] = static_cast<char>(value & 0xFF);
    out[offset + 1] = static_cast<char>(value >> 8);
}

// The word sum of the range with its checksum field set to make it 0.
void setChecksum(std::string& out, size_t offset, size_t size, size_t field) {
    set32(out, field, 0);
    uint32_t sum = 0;
    for (size_t at = offset; at + 4 <= offset + size; at += 4) {
        sum += static_cast<uint32_t>(static_cast<unsigned char>(out[at])) |
               static_cast<uint32_t>(static_cast<unsigned char>(out[at + 1])) << 8 |
               static_cast<uint32_t>(static_cast<unsigned char>(out[at + 2])) << 16 |
               static_cast<uint32_t>(static_cast<unsigned char>(out[at + 3])) << 24;
    }
    set32(out, field, 0u - sum);
}

// Data blocks filled one entry after another, up to a size and a count of
// numbered entries; a closed block ends with one free entry or, where the
// rest is too small for an entry, with slack in its last entry. Free entries
// met on the way stay where they are. The counters follow the habit.
class BlockFiller {
public:
    BlockFiller(size_t blockSize, size_t entriesPerBlock, bool checksums, CregHabit habit)
        : m_blockSize(blockSize), m_entriesPerBlock(entriesPerBlock), m_checksums(checksums),
          m_habit(habit) {}

    bool fits(size_t size) const {
        return m_current.empty() ||
               (m_current.size() + size <= m_blockSize - CregFile::kBlockHeaderSize &&
                m_ids < m_entriesPerBlock);
    }
    uint16_t currentBlock() const { return static_cast<uint16_t>(m_blocks.size()); }
    uint16_t nextNumber() const { return static_cast<uint16_t>(m_ids); }

    void addUsed(const std::string& entry) {
        m_last = m_current.size();
        m_current += entry;
        m_slack += entry.size() - CregFile::read32(entry, 8);
        ++m_ids;
    }
    void addFree(const std::string& entry) {
        uint32_t at = static_cast<uint32_t>(CregFile::kBlockHeaderSize + m_current.size());
        if (m_firstFree == CregFile::kNone) {
            m_firstFree = at;
        }
        m_lastHole = at;
        m_freeBytes += entry.size();
        m_current += entry;
    }
    void close() {
        size_t end = CregFile::kBlockHeaderSize + m_current.size();
        size_t room = m_blockSize > end ? m_blockSize - end : 0;
        // Windows 98 names the last hole in the middle, else the free end.
        uint32_t namedFree = m_lastHole;
        if (room >= CregFile::kDataEntryHeaderSize) {
            addFree(freeDataEntry(room, "", m_habit));
        } else if (room > 0 && m_ids > 0) {
            set32(m_current, m_last,
                  CregFile::read32(m_current, m_last) + static_cast<uint32_t>(room));
            m_current.append(room, '\0');
            m_slack += room;
        }
        bool is98 = m_habit == CregHabit::Windows98;
        if (namedFree == CregFile::kNone) {
            namedFree = m_lastHole;
        }
        std::string block = "RGDB";
        put32(block, static_cast<uint32_t>(CregFile::kBlockHeaderSize + m_current.size()));
        put32(block, static_cast<uint32_t>(m_freeBytes + (is98 ? m_slack : 0)));
        put16(block, m_checksums ? 0x000D : 0x0009);
        put16(block, static_cast<uint16_t>(m_blocks.size()));
        put32(block, is98 ? namedFree : m_firstFree);
        put16(block, static_cast<uint16_t>(m_ids > 0 ? m_ids - 1 : 0));
        put16(block, static_cast<uint16_t>(m_ids));
        put32(block, 0);
        put32(block, 0x9C3A5E17); // stale unless kept
        block += m_current;
        if (m_checksums) {
            setChecksum(block, 0, block.size(), 28);
        }
        m_blocks.push_back(block);
        m_current.clear();
        m_freeBytes = 0;
        m_slack = 0;
        m_firstFree = CregFile::kNone;
        m_lastHole = CregFile::kNone;
        m_ids = 0;
    }
    const std::vector<std::string>& blocks() const { return m_blocks; }

private:
    size_t m_blockSize;
    size_t m_entriesPerBlock;
    bool m_checksums;
    CregHabit m_habit;
    std::string m_current;
    size_t m_last = 0;
    size_t m_freeBytes = 0;
    size_t m_slack = 0; // bytes entries in use leave unused
    uint32_t m_firstFree = CregFile::kNone;
    uint32_t m_lastHole = CregFile::kNone;
    unsigned m_ids = 0;
    std::vector<std::string> m_blocks;
};

std::string dataEntry(const std::string& name, const std::vector<CregBuilder::Value>& values,
                      uint16_t number, uint16_t block, CregHabit habit) {
    std::string body;
    for (const auto& value : values) {
        put32(body, value.type);
        put32(body, habit == CregHabit::Windows98 ? CregFile::kNone : 0);
        put16(body, static_cast<uint16_t>(value.name.size()));
        put16(body, static_cast<uint16_t>(value.data.size()));
        body += value.name;
        body += value.data;
    }
    size_t used = CregFile::kDataEntryHeaderSize + name.size() + body.size();
    size_t size = (used + 3) / 4 * 4;
    std::string entry;
    put32(entry, static_cast<uint32_t>(size));
    put16(entry, number);
    put16(entry, block);
    put32(entry, static_cast<uint32_t>(used));
    put16(entry, static_cast<uint16_t>(name.size()));
    put16(entry, static_cast<uint16_t>(values.size()));
    put32(entry, 0);
    entry += name;
    entry += body;
    entry.resize(size, '\0');
    return entry;
}

// Key entries placed as Windows grows the tree: a first chunk of 8 KB (with
// the header), then chunks of 4 KB; an entry never crosses a chunk's end,
// which leaves slack there.
class TreePlacer {
public:
    uint32_t place() {
        if (m_chunkEnd - m_next < CregFile::kKeyEntrySize) {
            m_next = m_chunkEnd;
            m_chunkEnd += kChunk;
        }
        uint32_t at = m_next;
        m_next += static_cast<uint32_t>(CregFile::kKeyEntrySize);
        return at;
    }
    uint32_t next() const { return m_next; }
    uint32_t end() const { return m_chunkEnd; }

private:
    static constexpr uint32_t kChunk = 0x1000;
    uint32_t m_next = static_cast<uint32_t>(CregFile::kTreeHeaderSize);
    uint32_t m_chunkEnd = 0x2000;
};

std::string hexBytes(const std::string& data) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : data) {
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

bool isUnder(const std::string& path, const std::string& key) {
    const emu::kernel::CodePage& page = emu::kernel::CodePage::windows1252();
    return page.equalNoCase(path, key) || (path.size() > key.size() && path[key.size()] == '\\' &&
                                           page.equalNoCase(path.substr(0, key.size()), key));
}

} // namespace

CregBuilder::Value CregBuilder::string(std::string name, const std::string& text) {
    return Value{1, std::move(name), text + '\0'};
}

CregBuilder::Value CregBuilder::binary(std::string name, std::string bytes) {
    return Value{3, std::move(name), std::move(bytes)};
}

CregBuilder::Value CregBuilder::dword(std::string name, uint32_t number) {
    std::string data;
    put32(data, number);
    return Value{4, std::move(name), data};
}

uint32_t CregBuilder::nameHash(const std::string& name) {
    uint32_t hash = 0;
    for (unsigned char c : name) {
        if (c < 0x80) {
            hash += emu::kernel::CodePage::windows1252().upper(c);
        }
    }
    return hash;
}

size_t CregBuilder::child(size_t parent, const std::string& name) {
    for (size_t c : m_nodes[parent].children) {
        if (m_nodes[c].name == name) {
            return c;
        }
    }
    m_nodes.push_back(Node{name, {}, parent, {}, m_pendingGap});
    m_pendingGap = 0;
    m_nodes[parent].children.push_back(m_nodes.size() - 1);
    return m_nodes.size() - 1;
}

void CregBuilder::addKey(const std::string& path, std::vector<Value> values) {
    size_t node = 0;
    size_t start = 0;
    while (true) {
        size_t end = path.find('\\', start);
        bool last = end == std::string::npos;
        node = child(node, path.substr(start, last ? std::string::npos : end - start));
        if (last) {
            break;
        }
        start = end + 1;
    }
    m_nodes[node].values = std::move(values);
}

void CregBuilder::addGap(size_t bytes) {
    m_pendingGap = std::max<size_t>(bytes, CregFile::kDataEntryHeaderSize);
}

std::string CregBuilder::build() const {
    // Key entries: the root's first, a freed one before each key after a gap
    // (the entry of the deleted key), a free run after the last.
    TreePlacer placer;
    std::vector<uint32_t> entryOf(m_nodes.size());
    std::vector<uint32_t> freedBefore(m_nodes.size(), CregFile::kNone);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].gapBefore > 0) {
            freedBefore[i] = placer.place();
        }
        entryOf[i] = placer.place();
    }
    uint32_t tail = placer.place();
    size_t treeSize = placer.end();

    BlockFiller blocks(m_blockSize, m_entriesPerBlock, m_checksums, m_habit);
    std::vector<std::pair<uint16_t, uint16_t>> dataOf(m_nodes.size());
    // The root has no name and no values: Windows 95 gives it no data entry,
    // Windows 98 an empty one.
    dataOf[0] = {CregFile::kFreeEntry, CregFile::kFreeEntry};
    if (m_habit == CregHabit::Windows98) {
        dataOf[0] = {blocks.nextNumber(), blocks.currentBlock()};
        blocks.addUsed(dataEntry("", {}, dataOf[0].first, dataOf[0].second, m_habit));
    }
    for (size_t i = 1; i < m_nodes.size(); ++i) {
        const Node& node = m_nodes[i];
        std::string entry = dataEntry(node.name, node.values, 0, 0, m_habit);
        if (node.gapBefore > 0) {
            std::string gap =
                freeDataEntry((node.gapBefore + 3) / 4 * 4, "Deleted" + std::to_string(i), m_habit);
            if (!blocks.fits(gap.size() + entry.size())) {
                blocks.close();
            }
            blocks.addFree(gap);
        }
        if (!blocks.fits(entry.size())) {
            blocks.close();
        }
        dataOf[i] = {blocks.nextNumber(), blocks.currentBlock()};
        blocks.addUsed(
            dataEntry(node.name, node.values, dataOf[i].first, dataOf[i].second, m_habit));
    }
    blocks.close();

    std::string tree(treeSize, '\0');
    auto setEntry = [&](uint32_t at, uint32_t inUse, uint32_t hash, uint32_t nextFree,
                        uint32_t parent, uint32_t child, uint32_t next, uint16_t number,
                        uint16_t block) {
        set32(tree, at, inUse);
        set32(tree, at + 4, hash);
        set32(tree, at + 8, nextFree);
        set32(tree, at + 12, parent);
        set32(tree, at + 16, child);
        set32(tree, at + 20, next);
        put16At(tree, at + 24, number);
        put16At(tree, at + 26, block);
    };
    // The free list: the freed entries, the last freed first, then the run.
    uint32_t freeHead = tail;
    setEntry(tail, CregFile::kFreeKeyMark, static_cast<uint32_t>(treeSize) - tail, CregFile::kNone,
             CregFile::kNone, CregFile::kNone, CregFile::kNone, CregFile::kFreeEntry,
             CregFile::kFreeEntry);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const Node& node = m_nodes[i];
        auto link = [&](const std::vector<size_t>& list, size_t at) {
            return at < list.size() ? entryOf[list[at]] : CregFile::kNone;
        };
        uint32_t nextSibling = CregFile::kNone;
        if (i != 0) {
            const auto& siblings = m_nodes[node.parent].children;
            for (size_t s = 0; s < siblings.size(); ++s) {
                if (siblings[s] == i) {
                    nextSibling = link(siblings, s + 1);
                }
            }
        }
        uint32_t parent = i == 0 ? CregFile::kNone : entryOf[node.parent];
        if (freedBefore[i] != CregFile::kNone) {
            // The deleted key's links stay as they were; only the mark, the
            // size and the list link say it is free.
            setEntry(freedBefore[i], CregFile::kFreeKeyMark,
                     static_cast<uint32_t>(CregFile::kKeyEntrySize), freeHead, parent, entryOf[i],
                     nextSibling, CregFile::kFreeEntry, CregFile::kFreeEntry);
            freeHead = freedBefore[i];
        }
        setEntry(entryOf[i], 0, nameHash(node.name), CregFile::kNone, parent,
                 link(node.children, 0), nextSibling, dataOf[i].first, dataOf[i].second);
    }
    std::string header = "RGKN";
    put32(header, static_cast<uint32_t>(treeSize));
    put32(header, entryOf[0]);
    put32(header, freeHead);
    put32(header, m_checksums ? 0x0D : 0x09);
    put32(header, 0x0BADF00D); // stale unless kept
    put32(header, 0);
    put32(header, 0);
    tree.replace(0, header.size(), header);
    if (m_checksums) {
        setChecksum(tree, 0, tree.size(), 20);
    }

    std::string file = "CREG";
    put16(file, 0);
    put16(file, 1);
    put32(file, static_cast<uint32_t>(CregFile::kTreeOffset + tree.size()));
    put32(file, 0x2F4E61C3); // stale unless kept
    put16(file, static_cast<uint16_t>(blocks.blocks().size()));
    put16(file, m_checksums ? 0x0005 : 0x0001);
    put32(file, 0x00010000);
    put32(file, 0);
    put32(file, 0);
    if (m_checksums) {
        setChecksum(file, 0, file.size(), 12);
    }
    file += tree;
    for (const std::string& block : blocks.blocks()) {
        file += block;
    }
    return file;
}

std::string cregKeyLine(const std::string& path) {
    return "key " + path;
}

std::string cregValueLine(const std::string& path, uint32_t type, const std::string& name,
                          const std::string& data) {
    return "value " + path + " : \"" + name + "\" type " + std::to_string(type) + " " +
           hexBytes(data);
}

void CregBuilder::list(size_t node, const std::string& path,
                       const std::vector<std::string>& deleted,
                       std::vector<std::string>& lines) const {
    for (size_t c : m_nodes[node].children) {
        std::string childPath = path.empty() ? m_nodes[c].name : path + "\\" + m_nodes[c].name;
        bool gone = false;
        for (const std::string& key : deleted) {
            gone = gone || isUnder(childPath, key);
        }
        if (gone) {
            continue;
        }
        lines.push_back(cregKeyLine(childPath));
        for (const Value& value : m_nodes[c].values) {
            lines.push_back(cregValueLine(childPath, value.type, value.name, value.data));
        }
        list(c, childPath, deleted, lines);
    }
}

std::vector<std::string> CregBuilder::listing(const std::vector<std::string>& deleted) const {
    std::vector<std::string> lines;
    list(0, "", deleted, lines);
    return lines;
}

namespace {

void listKey(const CregFile& file, size_t key, const std::string& path,
             std::vector<std::string>& lines) {
    for (size_t c : file.keys()[key].subkeys) {
        const CregFile::Key& k = file.keys()[c];
        std::string childPath = path.empty() ? k.name : path + "\\" + k.name;
        lines.push_back(cregKeyLine(childPath));
        for (const CregFile::Value& value : file.values(c)) {
            lines.push_back(cregValueLine(childPath, value.type, value.name, value.data));
        }
        listKey(file, c, childPath, lines);
    }
}

} // namespace

std::vector<std::string> cregListing(const CregFile& file) {
    std::vector<std::string> lines;
    if (!file.keys().empty()) {
        listKey(file, 0, "", lines);
    }
    return lines;
}

} // namespace corvane_test
