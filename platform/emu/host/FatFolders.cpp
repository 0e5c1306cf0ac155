#include "platform/emu/host/FatFolders.h"

#include "platform/emu/hostsupport/PositionedRead.h"
#include "platform/emu/hostsupport/Utf8.h"
#include "platform/emu/kernel/ByteReader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iconv.h>
#include <map>
#include <unistd.h>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;
using kernel::ByteReader;

constexpr unsigned char kReadOnly = 0x01;
constexpr unsigned char kHidden = 0x02;
constexpr unsigned char kSystem = 0x04;
constexpr unsigned char kVolumeLabel = 0x08;
constexpr unsigned char kFolder = 0x10;
constexpr unsigned char kLongNamePart = 0x0F;
// Windows NT's marks, which mtools honours, of an 8.3 name shown in small
// letters: its name part, its extension.
constexpr unsigned char kSmallName = 0x08;
constexpr unsigned char kSmallExtension = 0x10;

// UTF-16 up to its first NUL, in UTF-8; false for a lone surrogate.
bool utf16ToUtf8(const std::u16string& text, std::string& utf8) {
    for (size_t i = 0; i < text.size() && text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            return false;
        }
        hostsupport::appendUtf8(utf8, c);
    }
    return true;
}

// The bytes of a short name in the OEM code page, in UTF-8.
class OemNames {
public:
    explicit OemNames(int codePage)
        : m_convert(iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str())) {}
    ~OemNames() {
        if (valid()) {
            iconv_close(m_convert);
        }
    }
    OemNames(const OemNames&) = delete;
    OemNames& operator=(const OemNames&) = delete;

    bool valid() const { return m_convert != reinterpret_cast<iconv_t>(-1); }

    bool toUtf8(std::string bytes, std::string& utf8) {
        iconv(m_convert, nullptr, nullptr, nullptr, nullptr);
        char out[64];
        char* in = bytes.data();
        size_t inLeft = bytes.size();
        char* outAt = out;
        size_t outLeft = sizeof out;
        if (iconv(m_convert, &in, &inLeft, &outAt, &outLeft) == static_cast<size_t>(-1) ||
            iconv(m_convert, nullptr, nullptr, &outAt, &outLeft) == static_cast<size_t>(-1)) {
            return false;
        }
        utf8.assign(out, static_cast<size_t>(outAt - out));
        return true;
    }

private:
    iconv_t m_convert;
};

std::string hex(const unsigned char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += i == 0 ? "" : " ";
        text += pair;
    }
    return text;
}

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The part of an 8.3 name without its padding blanks.
std::string trimmedPart(const unsigned char* bytes, size_t size) {
    while (size > 0 && bytes[size - 1] == ' ') {
        --size;
    }
    return std::string(reinterpret_cast<const char*>(bytes), size);
}

unsigned char shortNameSum(const unsigned char* name) {
    unsigned char sum = 0;
    for (int i = 0; i < 11; ++i) {
        sum = static_cast<unsigned char>(((sum & 1) << 7) + (sum >> 1) + name[i]);
    }
    return sum;
}

std::int64_t entryTime(const unsigned char* entry) {
    unsigned time = ByteReader::le16(entry + 22);
    unsigned date = ByteReader::le16(entry + 24);
    std::tm local{};
    local.tm_year = static_cast<int>(date >> 9) + 80;
    local.tm_mon = static_cast<int>(date >> 5 & 0x0F) - 1;
    local.tm_mday = static_cast<int>(date & 0x1F);
    local.tm_hour = static_cast<int>(time >> 11);
    local.tm_min = static_cast<int>(time >> 5 & 0x3F);
    local.tm_sec = static_cast<int>(time & 0x1F) * 2;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

// The long name being gathered from the parts before a short entry: the
// last part comes first, numbered highest, each with the short name's sum.
class LongName {
public:
    void reset() { m_expected = 0; }

    void add(const unsigned char* part) {
        unsigned order = part[0] & 0x1F;
        if ((part[0] & 0x40) != 0) {
            m_chars.assign(static_cast<size_t>(order) * 13, u'\0');
            m_sum = part[13];
            m_expected = order;
        } else if (order == 0 || order + 1 != m_expected || part[13] != m_sum) {
            m_expected = 0;
            return;
        }
        if (order == 0) {
            m_expected = 0;
            return;
        }
        static constexpr int kOffsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int i = 0; i < 13; ++i) {
            m_chars[(order - 1) * 13 + static_cast<size_t>(i)] =
                static_cast<char16_t>(ByteReader::le16(part + kOffsets[i]));
        }
        m_expected = order;
    }

    // The long name of the short entry that follows the parts, when they
    // are whole and belong to it.
    bool of(const unsigned char* shortEntry, std::u16string& name) {
        bool whole = m_expected == 1 && shortNameSum(shortEntry) == m_sum;
        m_expected = 0;
        if (!whole) {
            return false;
        }
        name = m_chars;
        return !name.empty() && name[0] != 0;
    }

private:
    std::u16string m_chars;
    unsigned char m_sum = 0;
    unsigned m_expected = 0; // the order of the part gathered last; 0: none
};

// The entry of the short entry e, named by the long name gathered before
// it or by its short name; its path is its name alone.
Result<FatEntry> entryOf(const unsigned char* e, LongName& longName, OemNames& oem, int oemCodePage,
                         bool fat32) {
    unsigned char name[11];
    std::memcpy(name, e, sizeof name);
    if (name[0] == 0x05) {
        name[0] = 0xE5; // a first byte 0xE5 is kept as 0x05
    }
    std::string base = trimmedPart(name, 8);
    std::string extension = trimmedPart(name + 8, 3);
    FatEntry entry;
    entry.shortBytes = extension.empty() ? base : base + "." + extension;
    if (!oem.toUtf8(entry.shortBytes, entry.shortName)) {
        return Failure{"the short name " + hex(name, sizeof name) + " is no name of code page " +
                       std::to_string(oemCodePage)};
    }
    std::u16string wide;
    std::string shown;
    if (longName.of(e, wide)) {
        entry.hasLongName = true;
        if (!utf16ToUtf8(wide, shown)) {
            return Failure{"the long name of " + entry.shortName + " is no UTF-16"};
        }
    } else {
        std::string shownBase;
        std::string shownExtension;
        oem.toUtf8(base, shownBase);
        oem.toUtf8(extension, shownExtension);
        if ((e[12] & kSmallName) != 0) {
            shownBase = asciiLower(shownBase);
        }
        if ((e[12] & kSmallExtension) != 0) {
            shownExtension = asciiLower(shownExtension);
        }
        shown = shownExtension.empty() ? shownBase : shownBase + "." + shownExtension;
    }
    if (shown.empty() || shown.find('/') != std::string::npos) {
        return Failure{"the entry " + entry.shortName + " has a name no folder can hold"};
    }
    entry.path = shown;
    unsigned char attributes = e[11];
    entry.folder = (attributes & kFolder) != 0;
    entry.readOnly = (attributes & kReadOnly) != 0;
    entry.hidden = (attributes & kHidden) != 0;
    entry.system = (attributes & kSystem) != 0;
    entry.firstCluster = ByteReader::le16(e + 26);
    if (fat32) {
        entry.firstCluster |= static_cast<std::uint32_t>(ByteReader::le16(e + 20)) << 16;
    }
    entry.size = entry.folder ? 0 : ByteReader::le32(e + 28);
    entry.modified = entryTime(e);
    return entry;
}

} // namespace

Result<std::vector<FatEntry>> FatFolders::read(const FatLayout& layout, const std::string& file,
                                               int oemCodePage) {
    OemNames oem(oemCodePage);
    if (!oem.valid()) {
        return Failure{"this host cannot read code page " + std::to_string(oemCodePage)};
    }
    Result<std::vector<FatDirectory>> directories = layout.directories(file);
    if (!directories) {
        return directories.failure();
    }
    // A folder's first cluster to its path; the root first, and each folder
    // listed after the one that holds it.
    std::map<std::uint32_t, std::string> folders;
    std::vector<FatEntry> entries;
    for (const FatDirectory& directory : *directories) {
        std::string folder;
        if (!directory.clusters.empty() &&
            !(layout.isFat32() && directory.clusters.front() == layout.rootCluster())) {
            auto found = folders.find(directory.clusters.front());
            if (found == folders.end()) {
                return Failure{"a folder of " + file + " is held by no folder"};
            }
            folder = found->second;
        }
        const std::string where = folder.empty() ? "the root folder" : "the folder " + folder;
        LongName longName;
        const std::string& bytes = directory.entries;
        for (size_t at = 0; at + 32 <= bytes.size(); at += 32) {
            const auto* e = reinterpret_cast<const unsigned char*>(bytes.data()) + at;
            unsigned char attributes = e[11];
            if (e[0] == 0) {
                break;
            }
            if (e[0] == 0xE5) {
                longName.reset();
                continue;
            }
            if (attributes == kLongNamePart) {
                longName.add(e);
                continue;
            }
            if ((attributes & kVolumeLabel) != 0 || (e[0] == '.' && (attributes & kFolder) != 0)) {
                longName.reset();
                continue;
            }
            Result<FatEntry> entry = entryOf(e, longName, oem, oemCodePage, layout.isFat32());
            if (!entry) {
                return Failure{entry.reason() + " in " + where + " of " + file};
            }
            entry->path = folder.empty() ? entry->path : folder + "/" + entry->path;
            if (entry->folder) {
                if (entry->firstCluster < layout.firstCluster() ||
                    entry->firstCluster > layout.lastCluster() ||
                    (layout.isFat32() && entry->firstCluster == layout.rootCluster()) ||
                    !folders.emplace(entry->firstCluster, entry->path).second) {
                    return Failure{"the folder " + entry->path + " of " + file +
                                   " starts at no cluster of its own"};
                }
            }
            entries.push_back(std::move(*entry));
        }
    }
    return entries;
}

Result<void> FatFolders::copyFile(const FatLayout& layout, int image, std::uint32_t firstCluster,
                                  std::uint32_t size, int to) {
    std::uint64_t left = size;
    std::uint64_t written = 0;
    std::vector<std::uint32_t> chain =
        size == 0 ? std::vector<std::uint32_t>{} : layout.chain(firstCluster);
    std::string bytes;
    for (std::uint32_t cluster : chain) {
        if (left == 0) {
            break;
        }
        ByteRange range = layout.cluster(cluster);
        bytes.resize(static_cast<size_t>(std::min<std::uint64_t>(range.length, left)));
        if (!hostsupport::readExactly(image, range.offset, bytes.data(), bytes.size())) {
            return Failure{std::string("cannot read the image: ") +
                           (errno == 0 ? "it ends early" : std::strerror(errno))};
        }
        for (size_t done = 0; done < bytes.size();) {
            ssize_t put = pwrite(to, bytes.data() + done, bytes.size() - done,
                                 static_cast<off_t>(written + done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return Failure{std::string("cannot write the copy: ") + std::strerror(errno)};
            }
            done += static_cast<size_t>(put);
        }
        written += bytes.size();
        left -= bytes.size();
    }
    if (left != 0) {
        return Failure{"its cluster chain ends " + std::to_string(left) + " bytes before its size"};
    }
    return {};
}

} // namespace emu::host
