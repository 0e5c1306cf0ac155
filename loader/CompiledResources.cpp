#include "loader/CompiledResources.h"

namespace loader {

namespace {

const unsigned kStringType = 6;
const unsigned kDialogType = 5;
const char* const kClipType = "AVI";

class Reader {
public:
    Reader(const unsigned char* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    bool word(size_t at, unsigned& value) const {
        if (at > m_size || m_size - at < 2) {
            return false;
        }
        value = static_cast<unsigned>(m_bytes[at] | (m_bytes[at + 1] << 8));
        return true;
    }
    bool dword(size_t at, unsigned long& value) const {
        unsigned low = 0;
        unsigned high = 0;
        if (!word(at, low) || !word(at + 2, high)) {
            return false;
        }
        value = static_cast<unsigned long>(low) | (static_cast<unsigned long>(high) << 16);
        return true;
    }
    // A type or name field: 0xFFFF and a number, or a NUL-terminated UTF-16
    // text. Moves at past it.
    bool name(size_t& at, ResourceName& result) const {
        unsigned first = 0;
        if (!word(at, first)) {
            return false;
        }
        if (first == 0xFFFF) {
            at += 2;
            result.text.clear();
            return word(at, result.number) && (at += 2, true);
        }
        result.number = 0;
        result.text.clear();
        for (unsigned unit = first; unit != 0;) {
            result.text += unit < 0x100 ? static_cast<char>(unit) : '?';
            at += 2;
            if (!word(at, unit)) {
                return false;
            }
        }
        at += 2;
        return true;
    }
    size_t size() const { return m_size; }
    const unsigned char* at(size_t offset) const { return m_bytes + offset; }

private:
    const unsigned char* m_bytes;
    size_t m_size;
};

size_t alignedToDword(size_t offset) {
    return (offset + 3) & ~static_cast<size_t>(3);
}

// The strings of one block: sixteen counted UTF-16 texts, the ids
// 16 * (block - 1) to 16 * (block - 1) + 15. Empty texts are no entries.
bool addStringBlock(const CompiledResource& block, std::map<UINT, std::string>& strings,
                    std::string& why) {
    if (block.name.number == 0) {
        why = "a string-table block without a number";
        return false;
    }
    Reader reader(block.data.data(), block.data.size());
    size_t at = 0;
    for (unsigned i = 0; i < 16; ++i) {
        unsigned length = 0;
        if (!reader.word(at, length) || (reader.size() - at - 2) / 2 < length) {
            why = "string-table block " + std::to_string(block.name.number) + " is cut short";
            return false;
        }
        at += 2;
        std::string text;
        for (unsigned k = 0; k < length; ++k, at += 2) {
            unsigned unit = 0;
            reader.word(at, unit);
            text += unit < 0x100 ? static_cast<char>(unit) : '?';
        }
        if (!text.empty()) {
            strings[(block.name.number - 1) * 16 + i] = std::move(text);
        }
    }
    return true;
}

template <typename Table>
bool addOnce(Table& table, const CompiledResource& entry, const char* what, std::string& why) {
    if (!entry.name.text.empty()) {
        why = std::string(what) + " \"" + entry.name.text + "\" is named, not numbered";
        return false;
    }
    if (!table.emplace(entry.name.number, entry.data).second) {
        why = std::string(what) + " " + std::to_string(entry.name.number) + " is there twice";
        return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<CompiledResource>> readCompiledResources(const unsigned char* bytes,
                                                                   size_t size, std::string& why) {
    Reader reader(bytes, size);
    std::vector<CompiledResource> entries;
    size_t offset = 0;
    while (offset < size) {
        unsigned long dataSize = 0;
        unsigned long headerSize = 0;
        if (!reader.dword(offset, dataSize) || !reader.dword(offset + 4, headerSize) ||
            headerSize < 8 || headerSize > size - offset || dataSize > size - offset - headerSize) {
            why = "resource header at offset " + std::to_string(offset) + " runs past the end";
            return std::nullopt;
        }
        CompiledResource entry;
        size_t at = offset + 8;
        if (!reader.name(at, entry.type) || !reader.name(at, entry.name)) {
            why = "resource names at offset " + std::to_string(offset) + " run past the end";
            return std::nullopt;
        }
        // Data version (4 bytes) and memory flags (2) precede the language.
        at = alignedToDword(at) + 6;
        if (at + 2 > offset + headerSize || !reader.word(at, entry.language)) {
            why = "resource header at offset " + std::to_string(offset) + " is too short";
            return std::nullopt;
        }
        const size_t data = offset + headerSize;
        entry.data.assign(reader.at(data), reader.at(data) + dataSize);
        const bool opening = entries.empty() && offset == 0 && dataSize == 0 &&
                             entry.type.text.empty() && entry.type.number == 0;
        if (!opening) {
            entries.push_back(std::move(entry));
        }
        offset = alignedToDword(data + dataSize);
    }
    return entries;
}

std::optional<emu::kernel::ModuleResources>
moduleResourcesFrom(const std::vector<CompiledResource>& entries, std::string& why) {
    emu::kernel::ModuleResources resources;
    for (const CompiledResource& entry : entries) {
        bool fine = true;
        if (entry.type.text.empty() && entry.type.number == kStringType) {
            fine = addStringBlock(entry, resources.strings, why);
        } else if (entry.type.text.empty() && entry.type.number == kDialogType) {
            fine = addOnce(resources.dialogs, entry, "dialog", why);
        } else if (entry.type.text == kClipType) {
            fine = addOnce(resources.clips, entry, "clip", why);
        }
        if (!fine) {
            return std::nullopt;
        }
    }
    return resources;
}

} // namespace loader
