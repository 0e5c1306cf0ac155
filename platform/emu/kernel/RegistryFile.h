// The HKEY_LOCAL_MACHINE hive as a REGEDIT4 text file:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\Enum\ROOT\X]
//   "name"="text"
//   @="default"
//   "n"=dword:0000001a
//   "b"=hex:01,02,03
//
// A hex value may go on in the next lines: each line but the last ends with
// a backslash.
//
// The model keeps the file as the text it read, cut into one block per key
// header (the header, its value lines and the blank lines after them), so a
// deletion removes whole blocks and every other byte stays as it was. Values
// are checked for their shape but never interpreted.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

// A key path below HKEY_LOCAL_MACHINE, one name per level ("Enum", "ROOT", "X").
using RegistryKeyPath = std::vector<std::string>;

// Splits "Enum\ROOT\X" into its names; nullopt for an empty path or an empty
// name anywhere (a leading, doubled or trailing backslash), so that no
// malformed path can come to mean the root or a whole parent key.
std::optional<RegistryKeyPath> splitRegistryKeyPath(std::string_view path);

class RegistryFile {
public:
    struct ParseError {
        int line; // 1-based
        std::string reason;
    };

    // Reads the text of a REGEDIT4 file. On failure the model is unusable and
    // error() says which line is wrong and why.
    explicit RegistryFile(std::string_view text);

    const std::optional<ParseError>& error() const { return m_error; }

    // Whether the key exists: it has a header of its own, or a subkey has one
    // (a header names all its parent keys implicitly, as REGEDIT does).
    bool hasKey(const RegistryKeyPath& key) const;

    // The text of a string value ("name"="text", escapes undone) of the key
    // at that path, names compared without regard to case; nullopt when the
    // key has no such value or it is no string. The last line that sets it
    // counts, as REGEDIT would import it.
    std::optional<std::string> stringValue(const RegistryKeyPath& key, std::string_view name) const;

    // Every key in the file, each parent a header names implicitly included,
    // once each (names compared without regard to case), in the file's order.
    std::vector<RegistryKeyPath> keyPaths() const;

    // Removes the key and all its subkeys; returns how many headers went.
    // Names match without regard to case.
    int deleteKey(const RegistryKeyPath& key);

    // The whole file as text: what was read, less the deleted blocks.
    std::string text() const;

private:
    struct Block {
        RegistryKeyPath key; // empty for the lines before the first header
        std::string text;
    };

    class LineReader;

    void parse(std::string_view text);
    bool parseLine(LineReader& lines, std::string_view line);
    std::optional<std::string> startBlock(std::string_view header);
    bool readValue(LineReader& lines, std::string_view line);
    void fail(int line, std::string reason);

    std::vector<Block> m_blocks;
    std::optional<ParseError> m_error;
};

} // namespace emu::kernel
