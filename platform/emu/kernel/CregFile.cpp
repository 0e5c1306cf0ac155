#include "platform/emu/kernel/CregFile.h"

#include "platform/emu/kernel/ByteReader.h"
#include "platform/emu/kernel/CodePage.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace emu::kernel {

namespace {

constexpr std::string_view kFileSignature = "CREG";
constexpr std::string_view kTreeSignature = "RGKN";
constexpr std::string_view kBlockSignature = "RGDB";
constexpr uint16_t kMajorVersion = 1;
constexpr uint32_t kStringType = 1; // REG_SZ

// Whether [offset, offset + length) lies inside [0, size), without overflow.
bool fits(size_t offset, size_t length, size_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace

bool CregFile::hasSignature(std::string_view bytes) {
    return bytes.substr(0, kFileSignature.size()) == kFileSignature;
}

std::string CregFile::hex(size_t value) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return "0x" + text;
}

uint16_t CregFile::read16(std::string_view bytes, size_t offset) {
    return ByteReader::le16(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

uint32_t CregFile::read32(std::string_view bytes, size_t offset) {
    return ByteReader::le32(reinterpret_cast<const unsigned char*>(bytes.data()) + offset);
}

uint32_t CregFile::wordSum(std::string_view bytes, size_t offset, size_t size) {
    // A plain loop over whole words, which the compiler turns into wide
    // loads: a hive's blocks and tree are summed in full on every check and
    // change. The caller has checked the range.
    const auto* at = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    size_t words = size / 4;
    uint32_t sum = 0;
    for (size_t i = 0; i < words; ++i) {
        sum += ByteReader::le32(at + 4 * i);
    }
    for (size_t i = words * 4, shift = 0; i < size; ++i, shift += 8) {
        sum += static_cast<uint32_t>(at[i]) << shift;
    }
    return sum;
}

CregFile::CregFile(std::string bytes) : m_bytes(std::move(bytes)) {
    parse();
    if (m_error) {
        m_keys.clear();
    }
    m_dataEntries.clear();
    m_covered.clear();
    m_starts.clear();
}

void CregFile::dropKeys(const std::vector<size_t>& keys, std::string bytes) {
    for (size_t key : keys) {
        if (key == 0 || key >= m_keys.size()) {
            continue;
        }
        auto& siblings = m_keys[m_keys[key].parent].subkeys;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), key), siblings.end());
    }
    m_bytes = std::move(bytes);
}

bool CregFile::fail(size_t offset, std::string reason) {
    if (!m_error) {
        m_error = std::move(reason);
        m_errorOffset = offset;
    }
    return false;
}

void CregFile::parse() {
    size_t treeSize = 0;
    size_t rootEntry = 0;
    if (readHeader(treeSize, rootEntry) && readDataBlocks()) {
        readKeyTree(rootEntry);
    }
}

bool CregFile::readHeader(size_t& treeSize, size_t& rootEntry) {
    if (!hasSignature(m_bytes)) {
        return fail(0, "not a registry file (no CREG signature)");
    }
    if (m_bytes.size() < kTreeOffset + kTreeHeaderSize) {
        return fail(0, "the file ends inside its header");
    }
    if (read16(m_bytes, 6) != kMajorVersion) {
        return fail(6, "unknown format version " + std::to_string(read16(m_bytes, 6)));
    }
    if (m_bytes.compare(kTreeOffset, kTreeSignature.size(), kTreeSignature) != 0) {
        return fail(kTreeOffset, "no key tree (RGKN) at " + hex(kTreeOffset));
    }
    treeSize = read32(m_bytes, kTreeOffset + 4);
    if (treeSize < kTreeHeaderSize || !fits(kTreeOffset, treeSize, m_bytes.size())) {
        return fail(kTreeOffset + 4,
                    "the key tree's size " + hex(treeSize) + " runs past the end of the file");
    }
    rootEntry = read32(m_bytes, kTreeOffset + 8);
    if (rootEntry < kTreeHeaderSize || !fits(rootEntry, kKeyEntrySize, treeSize)) {
        return fail(kTreeOffset + 8,
                    "the root key's entry " + hex(rootEntry) + " lies outside the key tree");
    }
    m_treeSize = treeSize;
    return true;
}

bool CregFile::readDataBlocks() {
    size_t offset = read32(m_bytes, 8);
    unsigned count = read16(m_bytes, 16);
    if (offset < kTreeOffset + m_treeSize) {
        return fail(8, "the data blocks at " + hex(offset) + " overlap the key tree");
    }
    for (unsigned number = 0; number < count; ++number) {
        if (!fits(offset, kBlockHeaderSize, m_bytes.size())) {
            return fail(offset, "data block " + std::to_string(number) + " at " + hex(offset) +
                                    " lies past the end of the file");
        }
        if (m_bytes.compare(offset, kBlockSignature.size(), kBlockSignature) != 0) {
            return fail(offset, "no data block (RGDB) at " + hex(offset));
        }
        size_t size = read32(m_bytes, offset + 4);
        if (size < kBlockHeaderSize || !fits(offset, size, m_bytes.size())) {
            return fail(offset + 4, "data block " + std::to_string(number) + " at " + hex(offset) +
                                        " runs past the end of the file");
        }
        if (!readDataBlock(offset, size, static_cast<uint16_t>(number))) {
            return false;
        }
        m_blocks.push_back(Block{offset, size});
        offset += size;
    }
    // Windows numbers a block's entries mostly in their order, so the list
    // is often sorted already.
    auto byId = [](const DataEntry& a, const DataEntry& b) { return a.id < b.id; };
    if (!std::is_sorted(m_dataEntries.begin(), m_dataEntries.end(), byId)) {
        std::sort(m_dataEntries.begin(), m_dataEntries.end(), byId);
    }
    auto twice =
        std::adjacent_find(m_dataEntries.begin(), m_dataEntries.end(),
                           [](const DataEntry& a, const DataEntry& b) { return a.id == b.id; });
    if (twice != m_dataEntries.end()) {
        return fail((twice + 1)->offset + 4,
                    "two data entries are numbered " + std::to_string(twice->id & 0xFFFF) +
                        " in data block " + std::to_string(twice->id >> 16));
    }
    return true;
}

bool CregFile::readDataBlock(size_t offset, size_t size, uint16_t number) {
    size_t entry = offset + kBlockHeaderSize;
    size_t end = offset + size;
    while (entry < end) {
        if (end - entry < kDataEntryHeaderSize) {
            return fail(entry, "the data entry at " + hex(entry) + " runs past its block");
        }
        size_t entrySize = read32(m_bytes, entry);
        if (entrySize < kDataEntryHeaderSize || entrySize > end - entry) {
            return fail(entry, "the data entry at " + hex(entry) + " has the size " +
                                   hex(entrySize) + ", which does not fit its block");
        }
        if (!readDataEntry(entry, entrySize, offset, number)) {
            return false;
        }
        entry += entrySize;
    }
    return true;
}

// Checks the shape of one data entry: its name and every value lie inside the
// bytes it uses, which lie inside the entry.
bool CregFile::readDataEntry(size_t offset, size_t size, size_t block, uint16_t number) {
    uint16_t entryNumber = read16(m_bytes, offset + 4);
    if (entryNumber == kFreeEntry) {
        return true;
    }
    size_t used = read32(m_bytes, offset + 8);
    if (used < kDataEntryHeaderSize || used > size) {
        return fail(offset + 8, "the data entry at " + hex(offset) + " uses " + hex(used) +
                                    " bytes of its " + hex(size));
    }
    ByteReader entry(m_bytes, offset, used);
    entry.skip(kDataEntryHeaderSize);
    if (!entry.skip(read16(m_bytes, offset + 12))) {
        return fail(offset + 12, "the key name at " + hex(offset + kDataEntryHeaderSize) +
                                     " runs past its data entry");
    }
    unsigned values = read16(m_bytes, offset + 14);
    for (unsigned i = 0; i < values; ++i) {
        size_t at = offset + entry.offset();
        uint32_t type = 0;
        uint16_t nameSize = 0;
        uint16_t dataSize = 0;
        if (!entry.u32(type) || !entry.skip(4) || !entry.u16(nameSize) || !entry.u16(dataSize) ||
            !entry.skip(size_t{nameSize} + dataSize)) {
            return fail(at, "value " + std::to_string(i) + " at " + hex(at) +
                                " runs past its data entry");
        }
    }
    m_dataEntries.push_back(
        DataEntry{static_cast<uint32_t>(number) << 16 | entryNumber, offset, block});
    return true;
}

bool CregFile::isInTree(uint32_t relative) const {
    return relative >= kTreeHeaderSize && fits(relative, kKeyEntrySize, m_treeSize);
}

bool CregFile::readKeyTree(size_t rootEntry) {
    m_covered.assign(m_treeSize, 0);
    m_starts.assign(m_treeSize, 0);
    if (!addKey(rootEntry, 0)) {
        return false;
    }
    // Depth first without recursion: each key on the stack is followed by
    // the chain of its subkeys.
    std::vector<size_t> pending = {0};
    while (!pending.empty()) {
        size_t parent = pending.back();
        pending.pop_back();
        size_t parentEntry = m_keys[parent].treeEntry;
        uint32_t child = read32(m_bytes, parentEntry + 16);
        size_t link = parentEntry + 16;
        while (child != kNone) {
            if (!isInTree(child)) {
                return fail(link, "the key entry at " + hex(parentEntry) + " links to " +
                                      hex(child) + ", which is no key entry of the tree");
            }
            size_t index = m_keys.size();
            if (!addKey(child, parent)) {
                return false;
            }
            m_keys[parent].subkeys.push_back(index);
            pending.push_back(index);
            parentEntry = kTreeOffset + child;
            link = parentEntry + 20;
            child = read32(m_bytes, link);
        }
    }
    return true;
}

// An entry reached twice is a loop; one that shares bytes with another is
// no entry of a sound tree either.
bool CregFile::addKey(size_t relative, size_t parent) {
    if (m_starts[relative]) {
        return fail(kTreeOffset + relative,
                    "the key tree loops back to the entry at " + hex(kTreeOffset + relative));
    }
    if (std::memchr(&m_covered[relative], 1, kKeyEntrySize) != nullptr) {
        return fail(kTreeOffset + relative, "the key entry at " + hex(kTreeOffset + relative) +
                                                " overlaps another key entry");
    }
    // A key linked into the tree and on the free list at once would be given
    // out twice; no change to such a file is safe.
    if (read32(m_bytes, kTreeOffset + relative) == kFreeKeyMark) {
        return fail(kTreeOffset + relative, "the key entry at " + hex(kTreeOffset + relative) +
                                                " is linked into the tree but marked free");
    }
    m_starts[relative] = 1;
    std::memset(&m_covered[relative], 1, kKeyEntrySize);
    Key key{};
    key.parent = parent;
    key.treeEntry = kTreeOffset + relative;
    if (!readKeyData(key, key.treeEntry)) {
        return false;
    }
    m_keys.push_back(std::move(key));
    return true;
}

// A key entry names its data entry by entry and block number; both 0xFFFF
// means a key without name or values.
bool CregFile::readKeyData(Key& key, size_t entry) {
    uint16_t entryNumber = read16(m_bytes, entry + 24);
    uint16_t blockNumber = read16(m_bytes, entry + 26);
    if (entryNumber == kFreeEntry && blockNumber == kFreeEntry) {
        return true;
    }
    uint32_t id = static_cast<uint32_t>(blockNumber) << 16 | entryNumber;
    auto found =
        std::lower_bound(m_dataEntries.begin(), m_dataEntries.end(), id,
                         [](const DataEntry& e, uint32_t wanted) { return e.id < wanted; });
    if (found == m_dataEntries.end() || found->id != id) {
        return fail(entry + 24, "the key entry at " + hex(entry) + " names data entry " +
                                    std::to_string(entryNumber) + " of block " +
                                    std::to_string(blockNumber) + ", which does not exist");
    }
    if (found->taken) {
        return fail(entry + 24, "two keys share data entry " + std::to_string(entryNumber) +
                                    " of block " + std::to_string(blockNumber));
    }
    found->taken = true;
    key.data = found->offset;
    key.block = found->block;
    key.blockIndex = blockNumber;
    // The shape was checked when the block was read, so no read below fails.
    size_t offset = found->offset;
    key.name = std::string_view(m_bytes).substr(offset + kDataEntryHeaderSize,
                                                read16(m_bytes, offset + 12));
    return true;
}

std::vector<CregFile::Value> CregFile::values(size_t key) const {
    std::vector<Value> values;
    if (!m_keys[key].data) {
        return values;
    }
    size_t offset = *m_keys[key].data;
    ByteReader fields(m_bytes, offset, read32(m_bytes, offset + 8));
    fields.skip(kDataEntryHeaderSize + read16(m_bytes, offset + 12));
    unsigned count = read16(m_bytes, offset + 14);
    std::string_view text;
    for (unsigned i = 0; i < count; ++i) {
        Value value{};
        uint16_t nameSize = 0;
        uint16_t dataSize = 0;
        fields.u32(value.type);
        fields.skip(4);
        fields.u16(nameSize);
        fields.u16(dataSize);
        fields.bytes(nameSize, text);
        value.name = text;
        fields.bytes(dataSize, text);
        value.data = text;
        values.push_back(std::move(value));
    }
    return values;
}

std::vector<size_t> CregFile::findKeys(const RegistryKeyPath& path) const {
    if (m_keys.empty()) {
        return {};
    }
    std::vector<size_t> level = {0};
    for (const std::string& name : path) {
        std::vector<size_t> next;
        for (size_t key : level) {
            for (size_t subkey : m_keys[key].subkeys) {
                if (ansiCodePage().equalNoCase(m_keys[subkey].name, name)) {
                    next.push_back(subkey);
                }
            }
        }
        level = std::move(next);
    }
    return level;
}

std::optional<std::string> CregFile::stringValue(const RegistryKeyPath& path,
                                                 std::string_view name) const {
    for (size_t key : findKeys(path)) {
        for (const Value& value : values(key)) {
            if (value.type == kStringType && ansiCodePage().equalNoCase(value.name, name)) {
                return value.data.substr(0, value.data.find('\0'));
            }
        }
    }
    return std::nullopt;
}

} // namespace emu::kernel
