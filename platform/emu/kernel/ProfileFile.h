// The text of one INI-syntax profile file, parsed once into lines and
// sections, with the lookups of the Win32 profile functions and the rewrite of
// one section that keeps every other byte of the file. A ^Z byte at the start
// of a line ends the text that reads see, as DOS text tools take it; it and
// everything after it stay at the end of the file through every write.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {

class ProfileFile {
public:
    enum class Kind { Blank, Comment, Header, Entry, Bare };

    // One line of the file. Offsets index the file's text; the views point
    // into it. For a header, key is the section name; for a bare line (text
    // without '='), key is the whole trimmed text.
    struct Line {
        std::size_t begin = 0;
        std::size_t end = 0; // just past the line end, or the end of the text
        Kind kind = Kind::Blank;
        std::string_view key;
        std::string_view value;
    };

    // A section's header line and the body lines after it, up to the next
    // header or the end of the file: line indexes [firstLine, endLine).
    struct Section {
        std::string_view name;
        std::size_t headerLine = 0;
        std::size_t firstLine = 0;
        std::size_t endLine = 0;
    };

    explicit ProfileFile(std::string text);
    // Views into the text must stay valid, so the object never moves.
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    const std::string& text() const { return m_text; }
    const std::vector<Line>& lines() const { return m_lines; }
    const std::vector<Section>& sections() const { return m_sections; }

    // The first section of that name, or nullptr.
    const Section* findSection(std::string_view name) const;
    // The first entry of that key in the section, or nullptr.
    const Line* findEntry(const Section& section, std::string_view key) const;

    // The whole file with the first section of that name holding exactly
    // newLines, or with the section appended when the file has none.
    std::string withSectionReplaced(std::string_view name,
                                    const std::vector<std::string_view>& newLines) const;

    // Section and key names compare without regard to letter case, folded as
    // lstrcmpiA folds the Windows ANSI code page.
    static bool namesMatch(std::string_view a, std::string_view b);

private:
    struct Splice {
        std::size_t begin;
        std::size_t end;
        std::size_t firstNewLine;
    };

    void parse();
    void addLine(std::size_t begin, std::size_t contentEnd, std::size_t end);
    std::vector<std::size_t> dataLines(const Section& section) const;
    Splice spliceFor(const Section& section, const std::vector<std::string_view>& newLines) const;
    // Whether a section read returns line as exactly text.
    static bool readsAs(const Line& line, std::string_view text);
    std::string_view lineEnding() const;
    std::string withSectionAppended(std::string_view name,
                                    const std::vector<std::string_view>& newLines) const;

    std::string m_text;
    // Where the text that readers see ends: at an end-of-file mark, or at
    // the end of the file.
    std::size_t m_textEnd = 0;
    std::vector<Line> m_lines;
    std::vector<Section> m_sections;
};

} // namespace emu::kernel
