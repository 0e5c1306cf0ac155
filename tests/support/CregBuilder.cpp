#include "tests/support/CregBuilder.h"

#include "platform/emu/kernel/AnsiText.h"

#include <stdexcept>

namespace corvane_test {

using emu::kernel::CregFile;

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

std::string freeDataEntry(size_t size) {
    std::string entry;
    put32(entry, static_cast<uint32_t>(size));
    put16(entry, CregFile::kFreeEntry);
    put16(entry, 0);
    put32(entry, static_cast<uint32_t>(CregFile::kDataEntryHeaderSize));
    entry.resize(size, '\0');
    return entry;
}

std::string freeKeyEntry() {
    std::string entry;
    put32(entry, 0x80000000);
    put32(entry, 0);
    put32(entry, CregFile::kNone);
    put32(entry, CregFile::kNone);
    put32(entry, CregFile::kNone);
    put32(entry, CregFile::kNone);
    put32(entry, CregFile::kNone);
    return entry;
}

// Data blocks filled one entry after another; a block that cannot take the
// next entry is closed with free space, or with slack in its last entry
// where the rest is too small for an entry of its own.
class BlockFiller {
public:
    explicit BlockFiller(size_t blockSize) : m_blockSize(blockSize) {}

    // Returns the block number the entry went into.
    uint16_t add(std::string entry, bool used) {
        size_t room = m_blockSize - CregFile::kBlockHeaderSize;
        if (!m_current.empty() && m_current.size() + entry.size() > room) {
            close();
        }
        m_last = m_current.size();
        if (used) {
            m_usedBytes += entry.size();
        } else {
            m_freeBytes += entry.size();
        }
        m_current += entry;
        return static_cast<uint16_t>(m_blocks.size());
    }
    uint16_t nextNumber() { return static_cast<uint16_t>(m_ids++); }
    uint16_t currentBlock() const { return static_cast<uint16_t>(m_blocks.size()); }
    bool fits(size_t size) const {
        return m_current.empty() ||
               m_current.size() + size <= m_blockSize - CregFile::kBlockHeaderSize;
    }
    void close() {
        size_t room = m_blockSize > CregFile::kBlockHeaderSize + m_current.size()
                          ? m_blockSize - CregFile::kBlockHeaderSize - m_current.size()
                          : 0;
        if (room >= CregFile::kDataEntryHeaderSize) {
            m_current += freeDataEntry(room);
            m_freeBytes += room;
        } else if (room > 0) {
            // Too little for an entry: the last entry gets it as slack.
            set32(m_current, m_last,
                  CregFile::read32(m_current, m_last) + static_cast<uint32_t>(room));
            m_current.append(room, '\0');
            m_usedBytes += room;
        }
        std::string block = "RGDB";
        put32(block, static_cast<uint32_t>(CregFile::kBlockHeaderSize + m_current.size()));
        put32(block, static_cast<uint32_t>(m_freeBytes));
        put16(block, 0);
        put16(block, static_cast<uint16_t>(m_blocks.size()));
        put32(block, static_cast<uint32_t>(m_usedBytes));
        put16(block, static_cast<uint16_t>(m_ids > 0 ? m_ids - 1 : 0));
        put16(block, static_cast<uint16_t>(m_ids));
        put32(block, 0);
        put32(block, 0x9C3A5E17);
        m_blocks.push_back(block + m_current);
        m_current.clear();
        m_usedBytes = 0;
        m_freeBytes = 0;
        m_ids = 0;
    }
    const std::vector<std::string>& blocks() const { return m_blocks; }

private:
    size_t m_blockSize;
    std::string m_current;
    size_t m_last = 0;
    size_t m_usedBytes = 0;
    size_t m_freeBytes = 0;
    unsigned m_ids = 0;
    std::vector<std::string> m_blocks;
};

std::string dataEntry(const std::string& name, const std::vector<CregBuilder::Value>& values,
                      uint16_t number, uint16_t block) {
    std::string body;
    for (const auto& value : values) {
        put32(body, value.type);
        put32(body, 0);
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
    using emu::kernel::AnsiText;
    return AnsiText::equalNoCase(path, key) ||
           (path.size() > key.size() && path[key.size()] == '\\' &&
            AnsiText::equalNoCase(path.substr(0, key.size()), key));
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
            hash += emu::kernel::AnsiText::upper(c);
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
    // Key entries: the root's first, a free one before each key after a gap.
    std::vector<uint32_t> entryOf(m_nodes.size());
    std::vector<bool> freeBefore(m_nodes.size());
    uint32_t next = static_cast<uint32_t>(CregFile::kTreeHeaderSize);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i].gapBefore > 0) {
            freeBefore[i] = true;
            next += CregFile::kKeyEntrySize;
        }
        entryOf[i] = next;
        next += CregFile::kKeyEntrySize;
    }
    // The tree grows in 4 KB steps and keeps free room after its last entry.
    size_t entriesEnd = next;
    size_t treeSize = (entriesEnd + CregFile::kTreeHeaderSize + 0xFFF) / 0x1000 * 0x1000;

    BlockFiller blocks(m_blockSize);
    std::vector<std::pair<uint16_t, uint16_t>> dataOf(m_nodes.size());
    // The root has no name and no values, so no data entry.
    dataOf[0] = {CregFile::kFreeEntry, CregFile::kFreeEntry};
    for (size_t i = 1; i < m_nodes.size(); ++i) {
        const Node& node = m_nodes[i];
        if (node.gapBefore > 0) {
            blocks.add(freeDataEntry((node.gapBefore + 3) / 4 * 4), false);
        }
        std::string probe = dataEntry(node.name, node.values, 0, 0);
        if (!blocks.fits(probe.size())) {
            blocks.close();
        }
        uint16_t block = blocks.currentBlock();
        uint16_t number = blocks.nextNumber();
        blocks.add(dataEntry(node.name, node.values, number, block), true);
        dataOf[i] = {number, block};
    }
    blocks.close();

    std::string tree = "RGKN";
    put32(tree, static_cast<uint32_t>(treeSize));
    put32(tree, static_cast<uint32_t>(CregFile::kTreeHeaderSize));
    put32(tree, static_cast<uint32_t>(entriesEnd));
    put32(tree, 0);
    put32(tree, 0x0BADF00D);
    put32(tree, 0);
    put32(tree, 0);
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        const Node& node = m_nodes[i];
        if (freeBefore[i]) {
            tree += freeKeyEntry();
        }
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
        put32(tree, 0);
        put32(tree, nameHash(node.name));
        put32(tree, CregFile::kNone);
        put32(tree, i == 0 ? CregFile::kNone : entryOf[node.parent]);
        put32(tree, link(node.children, 0));
        put32(tree, nextSibling);
        put16(tree, dataOf[i].first);
        put16(tree, dataOf[i].second);
    }
    tree.resize(treeSize, '\0');

    std::string file = "CREG";
    put16(file, 0);
    put16(file, 1);
    put32(file, static_cast<uint32_t>(CregFile::kTreeOffset + tree.size()));
    put32(file, 0x2F4E61C3); // kept as found
    put16(file, static_cast<uint16_t>(blocks.blocks().size()));
    put16(file, 0x0003);
    put32(file, 0);
    put32(file, 0);
    put32(file, 0);
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
        for (const CregFile::Value& value : k.values) {
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
