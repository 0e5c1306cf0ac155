#include "platform/emu/kernel/RegistryFile.h"
#include "platform/emu/kernel/CodePage.h"

#include <cctype>
#include <set>

namespace emu::kernel {

namespace {

constexpr std::string_view kRootName = "HKEY_LOCAL_MACHINE";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    return trimRight(text);
}

// Registry and module names match without regard to case, as file names do.
bool sameName(std::string_view a, std::string_view b) {
    return ansiCodePage().equalNoCase(a, b);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && sameName(text.substr(0, prefix.size()), prefix);
}

// Whether key is ancestor itself or lies below it.
bool isWithin(const RegistryKeyPath& key, const RegistryKeyPath& ancestor) {
    if (ancestor.empty() || key.size() < ancestor.size()) {
        return false;
    }
    for (size_t i = 0; i < ancestor.size(); ++i) {
        if (!sameName(key[i], ancestor[i])) {
            return false;
        }
    }
    return true;
}

bool isHexDigits(std::string_view text, size_t minimum, size_t maximum) {
    if (text.size() < minimum || text.size() > maximum) {
        return false;
    }
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return true;
}

// The position just after the closing quote of the quoted text that starts at
// text[0]; npos when it is not closed. A backslash escapes the next character.
size_t endOfQuoted(std::string_view text) {
    for (size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// Checks a list of bytes ("01,02, ff"); a final backslash says the list goes on
// in the next line, and only then may the list end with a comma.
bool isHexList(std::string_view text, bool& continues) {
    text = trimRight(text);
    continues = !text.empty() && text.back() == '\\';
    if (continues) {
        text.remove_suffix(1);
    }
    text = trim(text);
    if (text.empty()) {
        return true;
    }
    while (true) {
        size_t comma = text.find(',');
        std::string_view byte = trim(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return isHexDigits(byte, 1, 2) || (byte.empty() && continues);
        }
        if (!isHexDigits(byte, 1, 2)) {
            return false;
        }
        text = text.substr(comma + 1);
        if (trim(text).empty()) {
            return continues;
        }
    }
}

// The data after "name"=: nullopt when it has a known shape, else the reason.
// continues tells whether it is a byte list that goes on in the next line.
std::optional<std::string> checkData(std::string_view data, bool& continues) {
    continues = false;
    if (!data.empty() && data.front() == '"') {
        size_t end = endOfQuoted(data);
        if (end == std::string_view::npos) {
            return "a string value without its closing quote";
        }
        if (!trim(data.substr(end)).empty()) {
            return "text after a string value";
        }
        return std::nullopt;
    }
    if (startsWithNoCase(data, "dword:")) {
        if (!isHexDigits(trimRight(data.substr(6)), 1, 8)) {
            return "a dword value that is not 1 to 8 hexadecimal digits";
        }
        return std::nullopt;
    }
    if (startsWithNoCase(data, "hex")) {
        size_t colon = data.find(':');
        std::string_view kind = data.substr(3, colon == std::string_view::npos ? 0 : colon - 3);
        bool typed = kind.size() >= 3 && kind.front() == '(' && kind.back() == ')' &&
                     isHexDigits(kind.substr(1, kind.size() - 2), 1, 8);
        if (colon == std::string_view::npos || !(kind.empty() || typed)) {
            return "a hex value without \"hex:\" or \"hex(n):\"";
        }
        if (!isHexList(data.substr(colon + 1), continues)) {
            return "a hex value with something other than bytes and commas";
        }
        return std::nullopt;
    }
    return "a value of unknown type";
}

// The text inside a quoted text that ends at end, each escaped character
// taken as itself.
std::string unquote(std::string_view quoted, size_t end) {
    std::string text;
    for (size_t i = 1; i + 1 < end; ++i) {
        if (quoted[i] == '\\') {
            ++i;
        }
        text += quoted[i];
    }
    return text;
}

} // namespace

// Walks the text line by line; each line comes with its own line ending so
// that the blocks put together give back the text exactly.
class RegistryFile::LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}

    // The next line without its ending (and without a CR before LF).
    std::optional<std::string_view> next() {
        if (m_pos >= m_text.size()) {
            return std::nullopt;
        }
        size_t newline = m_text.find('\n', m_pos);
        size_t end = newline == std::string_view::npos ? m_text.size() : newline + 1;
        m_raw = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        ++m_number;
        std::string_view line = m_raw;
        if (!line.empty() && line.back() == '\n') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }

    std::string_view raw() const { return m_raw; }
    int number() const { return m_number; }

private:
    std::string_view m_text;
    std::string_view m_raw;
    size_t m_pos = 0;
    int m_number = 0;
};

std::optional<RegistryKeyPath> splitRegistryKeyPath(std::string_view path) {
    // A '\\' that trails a lead byte is part of a name.
    const CodePage& page = ansiCodePage();
    RegistryKeyPath names;
    while (true) {
        size_t slash = page.find(path, '\\');
        std::string_view name = path.substr(0, slash);
        if (name.empty()) {
            return std::nullopt;
        }
        names.emplace_back(name);
        if (slash == std::string_view::npos) {
            return names;
        }
        path = path.substr(slash + 1);
    }
}

RegistryFile::RegistryFile(std::string_view text) {
    parse(text);
}

void RegistryFile::parse(std::string_view text) {
    LineReader lines(text);
    auto first = lines.next();
    if (!first || trimRight(*first) != "REGEDIT4") {
        fail(1, "the first line is not \"REGEDIT4\"");
        return;
    }
    m_blocks.push_back(Block{{}, std::string(lines.raw())});
    while (auto line = lines.next()) {
        if (!parseLine(lines, *line)) {
            return;
        }
    }
}

bool RegistryFile::parseLine(LineReader& lines, std::string_view line) {
    std::string_view content = trim(line);
    if (content.empty() || content.front() == ';') {
        m_blocks.back().text += lines.raw();
        return true;
    }
    if (content.front() == '[') {
        if (auto reason = startBlock(content)) {
            fail(lines.number(), *reason);
            return false;
        }
        m_blocks.back().text += lines.raw();
        return true;
    }
    if (content.front() == '"' || content.front() == '@') {
        return readValue(lines, content);
    }
    fail(lines.number(), "a line that is neither a key, a value nor blank");
    return false;
}

// Opens the block of a key header; the reason when the header is malformed.
std::optional<std::string> RegistryFile::startBlock(std::string_view header) {
    if (!ansiCodePage().endsWith(header, ']')) {
        return "a key header without ']'";
    }
    std::string_view name = header.substr(1, header.size() - 2);
    if (!startsWithNoCase(name, kRootName) ||
        (name.size() > kRootName.size() && name[kRootName.size()] != '\\')) {
        return "a key outside HKEY_LOCAL_MACHINE";
    }
    RegistryKeyPath key;
    if (name.size() > kRootName.size()) {
        auto split = splitRegistryKeyPath(name.substr(kRootName.size() + 1));
        if (!split) {
            return "a key header with an empty key name";
        }
        key = std::move(*split);
    }
    m_blocks.push_back(Block{std::move(key), {}});
    return std::nullopt;
}

bool RegistryFile::readValue(LineReader& lines, std::string_view line) {
    if (m_blocks.size() < 2) {
        fail(lines.number(), "a value before the first key header");
        return false;
    }
    size_t nameEnd = line.front() == '@' ? 1 : endOfQuoted(line);
    if (nameEnd == std::string_view::npos || nameEnd >= line.size() || line[nameEnd] != '=') {
        fail(lines.number(), "a value line without a quoted name followed by '='");
        return false;
    }
    bool continues = false;
    if (auto reason = checkData(line.substr(nameEnd + 1), continues)) {
        fail(lines.number(), *reason);
        return false;
    }
    m_blocks.back().text += lines.raw();
    while (continues) {
        auto next = lines.next();
        if (!next) {
            fail(lines.number(), "a hex value that goes on past the end of the file");
            return false;
        }
        if (!isHexList(*next, continues)) {
            fail(lines.number(), "a continuation line with something other than bytes and commas");
            return false;
        }
        m_blocks.back().text += lines.raw();
    }
    return true;
}

void RegistryFile::fail(int line, std::string reason) {
    m_error = ParseError{line, std::move(reason)};
    m_blocks.clear();
}

bool RegistryFile::hasKey(const RegistryKeyPath& key) const {
    for (const Block& block : m_blocks) {
        if (isWithin(block.key, key)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> RegistryFile::stringValue(const RegistryKeyPath& key,
                                                     std::string_view name) const {
    std::optional<std::string> found;
    for (const Block& block : m_blocks) {
        if (block.key.size() != key.size() || !isWithin(block.key, key)) {
            continue;
        }
        LineReader lines(block.text);
        while (auto line = lines.next()) {
            std::string_view content = trim(*line);
            size_t nameEnd = content.empty() || content.front() != '"' ? std::string_view::npos
                                                                       : endOfQuoted(content);
            if (nameEnd == std::string_view::npos || nameEnd >= content.size() ||
                content[nameEnd] != '=' || !sameName(unquote(content, nameEnd), name)) {
                continue;
            }
            std::string_view data = content.substr(nameEnd + 1);
            size_t dataEnd =
                !data.empty() && data.front() == '"' ? endOfQuoted(data) : std::string_view::npos;
            found = dataEnd == std::string_view::npos ? std::nullopt
                                                      : std::optional(unquote(data, dataEnd));
        }
    }
    return found;
}

std::vector<RegistryKeyPath> RegistryFile::keyPaths() const {
    std::vector<RegistryKeyPath> paths;
    std::set<std::string> seen; // each path upper-cased, names ended by a backslash
    for (const Block& block : m_blocks) {
        std::string folded;
        for (size_t depth = 1; depth <= block.key.size(); ++depth) {
            folded += ansiCodePage().upper(block.key[depth - 1]);
            folded += '\\';
            if (seen.insert(folded).second) {
                paths.emplace_back(block.key.begin(), block.key.begin() + depth);
            }
        }
    }
    return paths;
}

int RegistryFile::deleteKey(const RegistryKeyPath& key) {
    if (m_error) {
        return 0;
    }
    size_t before = m_blocks.size();
    std::vector<Block> kept;
    for (Block& block : m_blocks) {
        if (!isWithin(block.key, key)) {
            kept.push_back(std::move(block));
        }
    }
    m_blocks = std::move(kept);
    return static_cast<int>(before - m_blocks.size());
}

std::string RegistryFile::text() const {
    std::string out;
    for (const Block& block : m_blocks) {
        out += block.text;
    }
    return out;
}

} // namespace emu::kernel
