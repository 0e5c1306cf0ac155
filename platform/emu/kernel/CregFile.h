// The HKEY_LOCAL_MACHINE hive as Windows 95 keeps it: the binary registry
// file (SYSTEM.DAT), all numbers little-endian.
//
//   file header, 32 bytes   "CREG", minor and major version (0, 1), offset of
//                           the first data block, number of data blocks
//   key tree, at 0x20       "RGKN", its size, the offset of the root key's
//                           entry; then 28-byte key entries, each naming its
//                           parent, first subkey and next sibling (offsets
//                           from the start of "RGKN", 0xFFFFFFFF for none)
//                           and the data entry that holds its name and values
//                           (an entry number and a data block number)
//   data blocks             "RGDB", its size, then entries that tile the rest
//                           of the block: each has its size, its number
//                           (0xFFFF: free space), the bytes in use, the name
//                           and the values (type, name, data)
//
// The reader checks every offset and size against the file before it uses
// it, walks the key tree without recursion and refuses a file whose tree
// loops or shares a data entry between keys, so that a model it gives out can
// be changed safely. It keeps the file's bytes; CregWriter makes a changed
// copy of them.
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
        std::vector<Value> values;
        size_t parent;               // index into keys(); the root's is its own
        std::vector<size_t> subkeys; // indexes into keys(), in the file's order
        size_t treeEntry;            // file offset of its key entry
        std::optional<size_t> data;  // file offset of its data entry
        size_t block;                // file offset of that entry's data block
    };

    // Whether the bytes start as a file of this format does.
    static bool hasSignature(std::string_view bytes);

    // Reads the file. On failure the model is empty and error() says why.
    explicit CregFile(std::string bytes);

    const std::optional<std::string>& error() const { return m_error; }
    const std::string& bytes() const { return m_bytes; }

    // keys()[0] is the root (HKEY_LOCAL_MACHINE itself).
    const std::vector<Key>& keys() const { return m_keys; }

    // Every key at that path below the root, names compared without regard to
    // case; more than one only where sibling names differ only in case.
    std::vector<size_t> findKeys(const RegistryKeyPath& path) const;

    // Little-endian fields of the bytes; the caller has checked the range.
    static uint16_t read16(std::string_view bytes, size_t offset);
    static uint32_t read32(std::string_view bytes, size_t offset);

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
    bool readKeyTree(size_t treeSize, size_t rootEntry);
    bool addKey(size_t entry, size_t parent);
    bool readKeyData(Key& key, size_t entry);
    bool isKeyEntry(uint32_t relative) const;
    bool fail(std::string reason);

    std::string m_bytes;
    std::optional<std::string> m_error;
    std::vector<Key> m_keys;
    std::vector<DataEntry> m_dataEntries; // sorted by id once read
    size_t m_treeSize = 0;
    size_t m_firstEntry = 0;
    std::vector<bool> m_visited; // per key entry slot
};

} // namespace emu::kernel
