#include "loader/author/ProfileText.h"

#include "common/ProgramLimits.h"
#include "platform/emu/kernel/ProfileFile.h"
#include "platform/win32.h"

namespace loader::author {

namespace {
using emu::kernel::ProfileFile;

bool readWhole(const std::string& windowsPath, std::string& text, bool& tooLarge) {
    HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    tooLarge = high != 0 || size > kLargestInfFile;
    if (tooLarge) {
        CloseHandle(file);
        return false;
    }
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr) != FALSE) && read > 0) {
        // A file that grows while it is read stops at the limit all the same.
        tooLarge = text.size() + read > kLargestInfFile;
        if (tooLarge) {
            ok = false;
            break;
        }
        text.append(buffer, read);
    }
    CloseHandle(file);
    return ok;
}

bool isListed(const ProfileFile::Line& line) {
    return line.kind == ProfileFile::Kind::Entry || line.kind == ProfileFile::Kind::Bare;
}
} // namespace

ProfileText::ProfileText() = default;
ProfileText::~ProfileText() = default;
ProfileText::ProfileText(ProfileText&&) noexcept = default;
ProfileText& ProfileText::operator=(ProfileText&&) noexcept = default;

bool ProfileText::load(const std::string& windowsPath) {
    m_file.reset();
    m_tooLarge = false;
    std::string text;
    if (!readWhole(windowsPath, text, m_tooLarge)) {
        return false;
    }
    m_file = std::make_unique<ProfileFile>(std::move(text));
    return true;
}

int ProfileText::sectionLine(std::string_view section) const {
    if (!m_file) {
        return 0;
    }
    const ProfileFile::Section* found = m_file->findSection(section);
    return found != nullptr ? static_cast<int>(found->headerLine) + 1 : 0;
}

int ProfileText::entryLine(std::string_view section, std::string_view key) const {
    if (!m_file) {
        return 0;
    }
    const ProfileFile::Section* found = m_file->findSection(section);
    if (found == nullptr) {
        return 0;
    }
    const ProfileFile::Line* entry = m_file->findEntry(*found, key);
    if (entry == nullptr) {
        return static_cast<int>(found->headerLine) + 1;
    }
    return static_cast<int>(entry - m_file->lines().data()) + 1;
}

std::vector<ProfileText::ListLine> ProfileText::sectionLines(std::string_view section) const {
    std::vector<ListLine> lines;
    if (!m_file) {
        return lines;
    }
    const ProfileFile::Section* found = m_file->findSection(section);
    if (found == nullptr) {
        return lines;
    }
    for (size_t i = found->firstLine; i < found->endLine; ++i) {
        const ProfileFile::Line& line = m_file->lines()[i];
        if (!isListed(line)) {
            continue;
        }
        std::string text(line.key);
        if (line.kind == ProfileFile::Kind::Entry) {
            text += '=';
            text += line.value;
        }
        lines.push_back({static_cast<int>(i) + 1, text});
    }
    return lines;
}

std::vector<ProfileText::SectionName> ProfileText::sectionNames() const {
    std::vector<SectionName> names;
    if (!m_file) {
        return names;
    }
    for (const ProfileFile::Section& section : m_file->sections()) {
        if (!section.name.empty()) {
            names.push_back({static_cast<int>(section.headerLine) + 1, std::string(section.name)});
        }
    }
    return names;
}

size_t ProfileText::listSize(const std::vector<ListLine>& lines) {
    size_t size = 1;
    for (const ListLine& line : lines) {
        size += line.text.size() + 1;
    }
    return size;
}

size_t ProfileText::listSize(const std::vector<SectionName>& names) {
    size_t size = 1;
    for (const SectionName& name : names) {
        size += name.name.size() + 1;
    }
    return size;
}

} // namespace loader::author
