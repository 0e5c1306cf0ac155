#include "tests/e2e/windows/PeImage.h"

#include <functional>

namespace corvane_test {

namespace {

struct Section {
    unsigned long virtualAddress;
    unsigned long virtualSize;
    unsigned long rawOffset;
    unsigned long rawSize;
};

class Bytes {
public:
    explicit Bytes(const std::vector<unsigned char>& bytes) : m_bytes(bytes) {}

    bool has(size_t at, size_t count) const {
        return at <= m_bytes.size() && m_bytes.size() - at >= count;
    }
    unsigned long u16(size_t at) const {
        return has(at, 2) ? (m_bytes[at] | (m_bytes[at + 1] << 8)) : 0;
    }
    unsigned long u32(size_t at) const { return u16(at) | (u16(at + 2) << 16); }
    unsigned long long u64(size_t at) const {
        return u32(at) | (static_cast<unsigned long long>(u32(at + 4)) << 32);
    }
    std::string text(size_t at) const {
        std::string result;
        while (has(at, 1) && m_bytes[at] != 0) {
            result += static_cast<char>(m_bytes[at++]);
        }
        return result;
    }
    const std::vector<unsigned char>& all() const { return m_bytes; }

private:
    const std::vector<unsigned char>& m_bytes;
};

class Reader {
public:
    Reader(const std::vector<unsigned char>& bytes, std::string& why) : m_in(bytes), m_why(why) {}

    std::optional<PeImage> read() {
        PeImage image;
        if (m_in.u16(0) != 0x5A4D) {
            return fail("no MZ header");
        }
        const size_t pe = m_in.u32(0x3C);
        if (!m_in.has(pe, 24) || m_in.u32(pe) != 0x00004550) {
            return fail("no PE signature");
        }
        image.machine = m_in.u16(pe + 4);
        const size_t sectionCount = m_in.u16(pe + 6);
        const size_t optionalSize = m_in.u16(pe + 20);
        const size_t optional = pe + 24;
        const unsigned magic = m_in.u16(optional);
        if (magic != 0x10B && magic != 0x20B) {
            return fail("unknown optional header");
        }
        image.pe32Plus = magic == 0x20B;
        image.subsystemMajorOffset = optional + 48;
        image.subsystemMajor = m_in.u16(optional + 48);
        image.subsystemMinor = m_in.u16(optional + 50);
        image.subsystem = m_in.u16(optional + 68);
        const size_t directories = optional + (image.pe32Plus ? 112 : 96);
        const size_t directoryCount = m_in.u32(directories - 4);
        const size_t sections = optional + optionalSize;
        if (!m_in.has(sections, sectionCount * 40)) {
            return fail("section table runs past the end");
        }
        for (size_t i = 0; i < sectionCount; ++i) {
            const size_t s = sections + 40 * i;
            m_sections.push_back(
                {m_in.u32(s + 12), m_in.u32(s + 8), m_in.u32(s + 20), m_in.u32(s + 16)});
        }
        if (directoryCount > 1 && !readImports(m_in.u32(directories + 8), image)) {
            return std::nullopt;
        }
        if (directoryCount > 2 && m_in.u32(directories + 16) != 0 &&
            !readResources(m_in.u32(directories + 16), image)) {
            return std::nullopt;
        }
        return image;
    }

private:
    std::nullopt_t fail(const std::string& why) {
        m_why = why;
        return std::nullopt;
    }

    // The file offset of an address in the loaded image; 0 when no section
    // holds it.
    size_t offsetOf(unsigned long rva) const {
        for (const Section& s : m_sections) {
            if (rva >= s.virtualAddress && rva - s.virtualAddress < s.rawSize) {
                return s.rawOffset + (rva - s.virtualAddress);
            }
        }
        return 0;
    }

    bool readImports(unsigned long rva, PeImage& image) {
        size_t descriptor = offsetOf(rva);
        if (rva != 0 && descriptor == 0) {
            fail("import table outside every section");
            return false;
        }
        for (; rva != 0 && m_in.has(descriptor, 20) && m_in.u32(descriptor + 12) != 0;
             descriptor += 20) {
            const size_t dllName = offsetOf(m_in.u32(descriptor + 12));
            unsigned long thunks = m_in.u32(descriptor);
            if (thunks == 0) {
                thunks = m_in.u32(descriptor + 16);
            }
            size_t thunk = offsetOf(thunks);
            const size_t width = image.pe32Plus ? 8 : 4;
            for (;; thunk += width) {
                if (!m_in.has(thunk, width)) {
                    fail("import thunks run past the end");
                    return false;
                }
                const unsigned long long value = image.pe32Plus ? m_in.u64(thunk) : m_in.u32(thunk);
                if (value == 0) {
                    break;
                }
                PeImport entry;
                entry.dll = m_in.text(dllName);
                entry.dllNameOffset = dllName;
                const unsigned long long byOrdinal = image.pe32Plus ? (1ull << 63) : 0x80000000ull;
                if ((value & byOrdinal) != 0) {
                    entry.ordinal = static_cast<unsigned>(value & 0xFFFF);
                } else {
                    entry.nameOffset = offsetOf(static_cast<unsigned long>(value)) + 2;
                    entry.function = m_in.text(entry.nameOffset);
                }
                image.imports.push_back(entry);
            }
        }
        return true;
    }

    // A directory entry's name or id: a number, or (high bit set) an offset
    // into the resource section of a counted UTF-16 text.
    void nameOf(size_t base, unsigned long field, unsigned& number, std::string& text) const {
        if ((field & 0x80000000u) == 0) {
            number = static_cast<unsigned>(field);
            return;
        }
        const size_t at = base + (field & 0x7FFFFFFFu);
        const unsigned long length = m_in.u16(at);
        for (unsigned long i = 0; i < length; ++i) {
            text += static_cast<char>(m_in.u16(at + 2 + 2 * i));
        }
    }

    bool readResources(unsigned long rva, PeImage& image) {
        const size_t base = offsetOf(rva);
        if (base == 0) {
            fail("resource directory outside every section");
            return false;
        }
        // Three levels: type, name, language; then the data entry.
        PeResource current;
        std::function<bool(size_t, int)> walk = [&](size_t directory, int level) {
            if (level > 2 || !m_in.has(directory, 16)) {
                fail("resource directory runs past the end");
                return false;
            }
            const size_t count = m_in.u16(directory + 12) + m_in.u16(directory + 14);
            for (size_t i = 0; i < count; ++i) {
                const size_t entry = directory + 16 + 8 * i;
                if (!m_in.has(entry, 8)) {
                    fail("resource entries run past the end");
                    return false;
                }
                const unsigned long name = m_in.u32(entry);
                const unsigned long target = m_in.u32(entry + 4);
                if (level == 0) {
                    current.type = 0;
                    current.typeName.clear();
                    nameOf(base, name, current.type, current.typeName);
                } else if (level == 1) {
                    current.name = 0;
                    current.nameText.clear();
                    current.nameEntryOffset = entry;
                    nameOf(base, name, current.name, current.nameText);
                } else {
                    current.language = static_cast<unsigned>(name & 0xFFFF);
                }
                if ((target & 0x80000000u) != 0) {
                    if (!walk(base + (target & 0x7FFFFFFFu), level + 1)) {
                        return false;
                    }
                    continue;
                }
                const size_t dataEntry = base + target;
                const size_t data = offsetOf(m_in.u32(dataEntry));
                const size_t size = m_in.u32(dataEntry + 4);
                if (level != 2 || data == 0 || !m_in.has(data, size)) {
                    fail("a resource's data lies outside the file");
                    return false;
                }
                current.data.assign(m_in.all().begin() + static_cast<std::ptrdiff_t>(data),
                                    m_in.all().begin() + static_cast<std::ptrdiff_t>(data + size));
                image.resources.push_back(current);
            }
            return true;
        };
        return walk(base, 0);
    }

    Bytes m_in;
    std::string& m_why;
    std::vector<Section> m_sections;
};

} // namespace

std::optional<PeImage> PeImage::read(const std::vector<unsigned char>& bytes, std::string& why) {
    return Reader(bytes, why).read();
}

} // namespace corvane_test
