// The HKEY_LOCAL_MACHINE hive as Windows 95 keeps it: the binary registry
// file (SYSTEM.DAT), all numbers little-endian.
//
//   file header, 32 bytes   "CREG", minor and major version (0, 1), offset of
//                           the first data block, checksum, number of data
//                           blocks, flags
//   key tree, at 0x20       "RGKN", its size, the offset of the root key's
//                           entry, the first free entry, flags, checksum;
//                           then 28-byte key entries, each naming its parent,
//                           first subkey and next sibling (offsets from the
//                           start of "RGKN", 0xFFFFFFFF for none) and the data
//                           entry that holds its name and values (an entry
//                           number and a data block number). Windows grows the
//                           tree in chunks and leaves slack at their ends, so
//                           entries sit wherever a link says, not in one grid.
//   data blocks             "RGDB", its size, unused bytes, flags, number,
//                           first free entry, highest and first free entry
//                           number, checksum; then entries that tile the rest
//                           of the block: each has its size, its number
//                           (0xFFFF: free space, anywhere in the block), the
//                           bytes in use, the name and the values
//
// The reader checks every offset and size against the file before it uses
// it, reaches key entries only by following links from the root (a deleted
// key left in the file is never seen), walks without recursion and refuses a
// file whose tree loops, whose entries overlap or that shares a data entry
// between keys, so that a model it gives out can be changed safely. It keeps
// the file's bytes; CregWriter makes a changed copy of them and CregCheck
// judges the rest of the structure (counters, checksums, free lists).
// platform/emu/kernel/README.md says where each fact comes from.
#pragma once

#include "platform/emu/kernel/RegistryFile.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

class CregFile {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFF;
    static constexpr uint16_t kFreeEntry = 0xFFFF;
    static constexpr uint32_t kFreeKeyMark = 0x80000000; // first field of a free key entry
    static constexpr uint32_t kChecksumKept = 0x4;       // flag bit of header, tree and block
    static constexpr size_t kHeaderSize = 0x20;
    static constexpr size_t kTreeOffset = 0x20;
    static constexpr size_t kTreeHeaderSize = 0x20;
    static constexpr size_t kKeyEntrySize = 28;
    static constexpr size_t kBlockHeaderSize = 0x20;
    static constexpr size_t kDataEntryHeaderSize = 20;
    static constexpr size_t kValueHeaderSize = 12;

    struct Value {
        uint32_t type;
        std::string name;
        std::string data;
    };

    struct Key {
        std::string name;
        size_t parent;               // index into keys(); the root's is its own
        std::vector<size_t> subkeys; // indexes into keys(), in the file's order
        size_t treeEntry;            // file offset of its key entry
        std::optional<size_t> data;  // file offset of its data entry
        size_t block;                // file offset of that entry's data block
        size_t blockIndex;           // its place among blocks()
    };

    struct Block {
        size_t offset; // in the file
        size_t size;
    };

    // Whether the bytes start as a file of this format does.
    static bool hasSignature(std::string_view bytes);

    // Reads the file. On failure the model is empty and error() says why.
    explicit CregFile(std::string bytes);

    const std::optional<std::string>& error() const { return m_error; }

    // Takes these keys out of the tree after a CregWriter deleted them, with
    // bytes its result: their subkeys stay in keys() but no link reaches
    // them any more. Spares reading the changed file again.
    void dropKeys(const std::vector<size_t>& keys, std::string bytes);
    // The file offset the error is about.
    size_t errorOffset() const { return m_errorOffset; }
    const std::string& bytes() const { return m_bytes; }

    // keys()[0] is the root (HKEY_LOCAL_MACHINE itself).
    const std::vector<Key>& keys() const { return m_keys; }
    const std::vector<Block>& blocks() const { return m_blocks; }
    size_t treeSize() const { return m_treeSize; }

    // The values of keys()[key], in the file's order, decoded from its data
    // entry when asked for (a large hive is read without them).
    std::vector<Value> values(size_t key) const;

    // Every key at that path below the root, names compared without regard to
    // case; more than one only where sibling names differ only in case.
    std::vector<size_t> findKeys(const RegistryKeyPath& path) const;

    // The text of a string value (REG_SZ, up to its first NUL) of the key at
    // that path, value names compared without regard to case; nullopt when
    // there is no such key or value, or the value is no string.
    std::optional<std::string> stringValue(const RegistryKeyPath& path,
                                           std::string_view name) const;

    // Little-endian fields of the bytes; the caller has checked the range.
    static uint16_t read16(std::string_view bytes, size_t offset);
    // An offset or number as the findings and errors show it: 0x1f4.
    static std::string hex(size_t value);
    static uint32_t read32(std::string_view bytes, size_t offset);

    // The sum of the little-endian 32-bit words of the range (a last partial
    // word padded with zeros); a range whose checksum is kept sums to 0.
    static uint32_t wordSum(std::string_view bytes, size_t offset, size_t size);

private:
    struct DataEntry {
        uint32_t id; // data block number << 16 | entry number
        size_t offset;
        size_t block;
        bool taken = false;
    };

    void parse();
    bool readHeader(size_t& treeSize, size_t& rootEntry);
    bool readDataBlocks();
    bool readDataBlock(size_t offset, size_t size, uint16_t number);
    bool readDataEntry(size_t offset, size_t size, size_t block, uint16_t number);
    bool readKeyTree(size_t rootEntry);
    bool addKey(size_t entry, size_t parent);
    bool readKeyData(Key& key, size_t entry);
    bool isInTree(uint32_t relative) const;
    bool fail(size_t offset, std::string reason);

    std::string m_bytes;
    std::optional<std::string> m_error;
    size_t m_errorOffset = 0;
    std::vector<Key> m_keys;
    std::vector<Block> m_blocks;
    std::vector<DataEntry> m_dataEntries; // sorted by id once read
    size_t m_treeSize = 0;
    std::vector<unsigned char> m_covered; // per byte of the tree: 1 inside a key entry read
    std::vector<unsigned char> m_starts;  // per byte of the tree: 1 where a key entry read starts
};

} // namespace emu::kernel
