#include "platform/emu/kernel/ProfileFile.h"

#include "platform/emu/kernel/CodePage.h"

namespace emu::kernel {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// A DOS end-of-file mark at the start of a line (after blanks) ends the
// text that readers see; what follows it is kept but never read.
bool startsWithEndMark(std::string_view line) {
    std::size_t first = line.find_first_not_of(" \t");
    return first != std::string_view::npos && line[first] == '\x1A';
}

void appendLines(std::string& out, const std::vector<std::string_view>& lines, std::size_t from,
                 std::string_view lineEnd) {
    for (std::size_t i = from; i < lines.size(); ++i) {
        out += lines[i];
        // A reader takes one CR before the LF for part of the line end: a
        // line that ends in CR keeps it only with a CR LF after it.
        out += !lines[i].empty() && lines[i].back() == '\r' ? std::string_view("\r\n") : lineEnd;
    }
}

// Ends the text's last line, when it has no line end, before more is added.
// A last line that ends in CR gets just the LF, or it would read longer.
void endLastLine(std::string& out, std::string_view lineEnd) {
    if (!out.empty() && out.back() != '\n') {
        out += out.back() == '\r' ? std::string_view("\n") : lineEnd;
    }
}

std::size_t totalSize(const std::vector<std::string_view>& lines) {
    std::size_t size = 0;
    for (std::string_view line : lines) {
        size += line.size() + 2;
    }
    return size;
}

} // namespace

ProfileFile::ProfileFile(std::string text) : m_text(std::move(text)) {
    parse();
}

void ProfileFile::parse() {
    std::size_t pos = 0;
    while (pos < m_text.size()) {
        std::size_t lf = m_text.find('\n', pos);
        std::size_t contentEnd = lf == std::string::npos ? m_text.size() : lf;
        std::size_t end = lf == std::string::npos ? m_text.size() : lf + 1;
        if (startsWithEndMark(std::string_view(m_text).substr(pos, contentEnd - pos))) {
            break;
        }
        if (contentEnd > pos && m_text[contentEnd - 1] == '\r') {
            --contentEnd;
        }
        addLine(pos, contentEnd, end);
        pos = end;
    }
    m_textEnd = pos;
    if (!m_sections.empty()) {
        m_sections.back().endLine = m_lines.size();
    }
}

void ProfileFile::addLine(std::size_t begin, std::size_t contentEnd, std::size_t end) {
    std::string_view content(m_text.data() + begin, contentEnd - begin);
    // A NUL byte ends what a reader sees of the line: no value or list entry
    // may carry one, since the callers get them as C strings.
    content = trimmed(content.substr(0, content.find('\0')));
    Line line{begin, end, Kind::Bare, content, {}};
    // A ']' or '=' that trails a lead byte is part of a character, no mark.
    const CodePage& page = ansiCodePage();
    std::size_t close = page.find(content, ']');
    std::size_t equals = page.find(content, '=');
    if (content.empty()) {
        line.kind = Kind::Blank;
    } else if (content.front() == ';') {
        line.kind = Kind::Comment;
    } else if (content.front() == '[' && close != std::string_view::npos) {
        line.kind = Kind::Header;
        line.key = trimmed(content.substr(1, close - 1));
    } else if (equals != std::string_view::npos) {
        line.kind = Kind::Entry;
        line.key = trimmed(content.substr(0, equals));
        line.value = trimmed(content.substr(equals + 1));
    }
    if (line.kind == Kind::Header) {
        if (!m_sections.empty()) {
            m_sections.back().endLine = m_lines.size();
        }
        m_sections.push_back({line.key, m_lines.size(), m_lines.size() + 1, m_lines.size() + 1});
    }
    m_lines.push_back(line);
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const {
    for (const Section& section : m_sections) {
        if (namesMatch(section.name, name)) {
            return &section;
        }
    }
    return nullptr;
}

const ProfileFile::Line* ProfileFile::findEntry(const Section& section,
                                                std::string_view key) const {
    for (std::size_t i = section.firstLine; i < section.endLine; ++i) {
        const Line& line = m_lines[i];
        if (line.kind == Kind::Entry && namesMatch(line.key, key)) {
            return &line;
        }
    }
    return nullptr;
}

std::vector<std::size_t> ProfileFile::dataLines(const Section& section) const {
    std::vector<std::size_t> indexes;
    for (std::size_t i = section.firstLine; i < section.endLine; ++i) {
        if (m_lines[i].kind == Kind::Entry || m_lines[i].kind == Kind::Bare) {
            indexes.push_back(i);
        }
    }
    return indexes;
}

// The bytes to replace and the first new line to write there. The lines are
// written as given; leading lines that a section read already returns as
// given keep the file's own text (blanks, comments and blank lines between
// them included), so that appending to a section rewrites nothing before the
// new lines.
ProfileFile::Splice ProfileFile::spliceFor(const Section& section,
                                           const std::vector<std::string_view>& newLines) const {
    std::vector<std::size_t> data = dataLines(section);
    std::size_t kept = 0;
    while (kept < data.size() && kept < newLines.size() &&
           readsAs(m_lines[data[kept]], newLines[kept])) {
        ++kept;
    }
    if (kept < data.size()) {
        return {m_lines[data[kept]].begin, m_lines[data.back()].end, kept};
    }
    std::size_t after = data.empty() ? section.headerLine : data.back();
    return {m_lines[after].end, m_lines[after].end, kept};
}

bool ProfileFile::readsAs(const Line& line, std::string_view text) {
    if (line.kind == Kind::Bare) {
        return text == line.key;
    }
    std::size_t keySize = line.key.size();
    return text.size() == keySize + 1 + line.value.size() && text.substr(0, keySize) == line.key &&
           text[keySize] == '=' && text.substr(keySize + 1) == line.value;
}

std::string_view ProfileFile::lineEnding() const {
    std::size_t lf = m_text.find('\n');
    if (lf != std::string::npos && (lf == 0 || m_text[lf - 1] != '\r')) {
        return "\n";
    }
    return "\r\n";
}

std::string ProfileFile::withSectionReplaced(std::string_view name,
                                             const std::vector<std::string_view>& newLines) const {
    const Section* section = findSection(name);
    if (section == nullptr) {
        return withSectionAppended(name, newLines);
    }
    Splice splice = spliceFor(*section, newLines);
    std::string_view lineEnd = lineEnding();
    std::string out;
    out.reserve(m_text.size() + totalSize(newLines) + 2);
    out.append(m_text, 0, splice.begin);
    if (splice.firstNewLine < newLines.size()) {
        endLastLine(out, lineEnd);
    }
    appendLines(out, newLines, splice.firstNewLine, lineEnd);
    out.append(m_text, splice.end, std::string::npos);
    return out;
}

std::string ProfileFile::withSectionAppended(std::string_view name,
                                             const std::vector<std::string_view>& newLines) const {
    // The new section goes before an end-of-file mark, which stays last.
    std::string_view lineEnd = lineEnding();
    std::string out(m_text, 0, m_textEnd);
    out.reserve(m_text.size() + name.size() + totalSize(newLines) + 6);
    endLastLine(out, lineEnd);
    out += '[';
    out += name;
    out += ']';
    out += lineEnd;
    appendLines(out, newLines, 0, lineEnd);
    out.append(m_text, m_textEnd, std::string::npos);
    return out;
}

bool ProfileFile::namesMatch(std::string_view a, std::string_view b) {
    return ansiCodePage().equalNoCase(a, b);
}

} // namespace emu::kernel
