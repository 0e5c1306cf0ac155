// The text of one profile file (layout.ini, a fragment, a Windows INF file)
// read through the emulated machine's file service and parsed by the same
// profile parser that answers the program's profile reads, so that the lines
// a read returns can be traced back to their line numbers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace emu::kernel {
class ProfileFile;
}

namespace loader::author {

class ProfileText {
public:
    // One line of a section as a section read lists it ("key=value", or the
    // bare text of a line without "="), with its 1-based line number.
    struct ListLine {
        int line = 0;
        std::string text;
    };
    struct SectionName {
        int line = 0;
        std::string name;
    };

    ProfileText();
    ~ProfileText();
    ProfileText(ProfileText&&) noexcept;
    ProfileText& operator=(ProfileText&&) noexcept;

    // Reads the file at a Windows path; false when it cannot be opened for
    // reading, and the text is then empty.
    bool load(const std::string& windowsPath);
    bool loaded() const { return m_file != nullptr; }
    // Whether the last load failed on a file over the limit the disk check
    // reads whole (kLargestInfFile).
    bool tooLarge() const { return m_tooLarge; }

    // The header line of the first section of that name; 0 when absent.
    int sectionLine(std::string_view section) const;
    // The line of the first entry of key in the section; else the section's
    // header line; else 0.
    int entryLine(std::string_view section, std::string_view key) const;
    // The section's lines in the order a section read lists them.
    std::vector<ListLine> sectionLines(std::string_view section) const;
    // Every section name in the order a names read lists them.
    std::vector<SectionName> sectionNames() const;
    bool hasSection(std::string_view section) const { return sectionLine(section) != 0; }

    // Bytes of a list as the profile service returns it: every line with its
    // NUL and the closing NUL; 1 for an absent or empty list.
    static size_t listSize(const std::vector<ListLine>& lines);
    static size_t listSize(const std::vector<SectionName>& names);

private:
    std::unique_ptr<emu::kernel::ProfileFile> m_file;
    bool m_tooLarge = false;
};

} // namespace loader::author
