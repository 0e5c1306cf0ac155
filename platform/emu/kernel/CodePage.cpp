#include "platform/emu/kernel/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace emu::kernel {

namespace {

constexpr UINT kWestern = 1252;
constexpr UINT kOemUs = 437;
constexpr UINT kJapanese = 932;
constexpr UINT kSimplifiedChinese = 936;
constexpr UINT kKorean = 949;
constexpr UINT kTraditionalChinese = 950;

constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Code page 1252's capitals: a-z, the accented small letters 0xE0-0xFE (but
// the division sign 0xF7), and s, oe, z with caron and y with diaeresis.
unsigned char upper1252(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return static_cast<unsigned char>(c - 0x20);
    }
    switch (c) {
    case 0x9A: // s with caron
    case 0x9C: // oe ligature
    case 0x9E: // z with caron
        return static_cast<unsigned char>(c - 0x10);
    case 0xFF: // y with diaeresis
        return 0x9F;
    default:
        return c;
    }
}

bool inRange(unsigned char c, unsigned low, unsigned high) {
    return c >= low && c <= high;
}

// The lead bytes of the double-byte code pages, as their CPINFO gives them.
bool leadByteOf(UINT number, unsigned char c) {
    switch (number) {
    case kJapanese:
        return inRange(c, 0x81, 0x9F) || inRange(c, 0xE0, 0xFC);
    case kSimplifiedChinese:
    case kKorean:
    case kTraditionalChinese:
        return inRange(c, 0x81, 0xFE);
    default:
        return false;
    }
}

// The bytes that may follow a lead byte. None is below 0x40, so a NUL, a
// blank, '=', ';' or a line end is never a trail byte; '\\', '[', ']' and '|'
// are in 932, 936 and 950, not in 949.
bool trailByteOf(UINT number, unsigned char c) {
    switch (number) {
    case kJapanese:
        return inRange(c, 0x40, 0x7E) || inRange(c, 0x80, 0xFC);
    case kSimplifiedChinese:
        return inRange(c, 0x40, 0x7E) || inRange(c, 0x80, 0xFE);
    case kKorean:
        return inRange(c, 0x41, 0x5A) || inRange(c, 0x61, 0x7A) || inRange(c, 0x81, 0xFE);
    case kTraditionalChinese:
        return inRange(c, 0x40, 0x7E) || inRange(c, 0xA1, 0xFE);
    default:
        return false;
    }
}

// glibc's name of each code page's table; README.md says how they differ
// from Windows' own.
const char* iconvName(UINT number) {
    switch (number) {
    case kOemUs:
        return "CP437";
    case kJapanese:
        return "CP932";
    case kSimplifiedChinese:
        return "CP936";
    case kKorean:
        return "CP949";
    case kTraditionalChinese:
        return "CP950";
    default:
        return nullptr;
    }
}

// One of glibc's converters, closed when done.
class Converter {
public:
    Converter(const char* to, const char* from) : m_handle(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) {
            iconv_close(m_handle);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return m_handle != reinterpret_cast<iconv_t>(-1); }

    // The whole of input converted, or nothing: false when any of it has no
    // conversion or stops short.
    bool convert(const char* input, size_t size, std::string& output) {
        iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
        char buffer[16];
        char* in = const_cast<char*>(input);
        char* out = buffer;
        size_t inLeft = size;
        size_t outLeft = sizeof buffer;
        if (iconv(m_handle, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1) ||
            inLeft != 0 || iconv(m_handle, nullptr, nullptr, &out, &outLeft) != 0) {
            return false;
        }
        output.assign(buffer, static_cast<size_t>(out - buffer));
        return true;
    }

private:
    iconv_t m_handle;
};

char32_t littleEndian32(const std::string& bytes) {
    char32_t value = 0;
    for (size_t i = 4; i-- > 0;) {
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    }
    return value;
}

} // namespace

struct CodePage::Tables {
    unsigned char upper[256];
    unsigned char lower[256];
    // The conversions, read when first asked for (a machine that only walks
    // text never reads glibc's double-byte tables).
    std::once_flag read;
    char32_t single[256];
    // Lead byte times 256 plus trail byte; empty in a single-byte code page.
    std::vector<char32_t> pairs;
    // Unicode to the byte (below 0x100) or lead and trail byte.
    std::unordered_map<char32_t, unsigned> encoding;
};

namespace {

// The folding of a single-byte code page with a table from glibc: the small
// letters of Latin-1's range (U+00E0-U+00FE but the division sign) fold to
// the byte of their capital where the code page has one, and a-z to A-Z.
void foldLatinLetters(const char32_t (&single)[256], unsigned char (&upper)[256]) {
    for (unsigned c = 0x80; c < 256; ++c) {
        char32_t u = single[c];
        if (u < 0xE0 || u > 0xFE || u == 0xF7) {
            continue;
        }
        for (unsigned capital = 0x80; capital < 256; ++capital) {
            if (single[capital] == u - 0x20) {
                upper[c] = static_cast<unsigned char>(capital);
                break;
            }
        }
    }
}

} // namespace

CodePage::CodePage(UINT number)
    : m_number(number), m_doubleByte(leadByteOf(number, 0x81)), m_tables(new Tables()) {
    Tables& t = *m_tables;
    for (unsigned c = 0; c < 256; ++c) {
        t.upper[c] = static_cast<unsigned char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
        if (number == kWestern) {
            t.upper[c] = upper1252(static_cast<unsigned char>(c));
        }
    }
    if (number != kWestern && !m_doubleByte) {
        foldLatinLetters(conversions().single, t.upper);
    }
    for (unsigned c = 0; c < 256; ++c) {
        t.lower[c] = static_cast<unsigned char>(c);
    }
    for (unsigned c = 0; c < 256; ++c) {
        if (t.upper[c] != c) {
            t.lower[t.upper[c]] = static_cast<unsigned char>(c);
        }
    }
}

const CodePage::Tables& CodePage::conversions() const {
    std::call_once(m_tables->read, [this] { readConversions(); });
    return *m_tables;
}

void CodePage::readConversions() const {
    Tables& t = *m_tables;
    for (unsigned c = 0; c < 256; ++c) {
        t.single[c] = c < 0x80 ? c : kInvalid;
    }
    if (m_number == kWestern) {
        for (unsigned c = 0x80; c < 256; ++c) {
            t.single[c] = c < 0xA0 ? kCp1252High[c - 0x80] : c;
        }
        for (unsigned c = 0; c < 256; ++c) {
            t.encoding.emplace(t.single[c], c);
        }
        return;
    }
    Converter decoder("UTF-32LE", iconvName(m_number));
    Converter encoder(iconvName(m_number), "UTF-32LE");
    std::string out;
    for (unsigned c = 0x80; c < 256 && decoder.ok(); ++c) {
        char byte = static_cast<char>(c);
        if (!isLeadByte(static_cast<unsigned char>(c)) && decoder.convert(&byte, 1, out) &&
            out.size() == 4) {
            t.single[c] = littleEndian32(out);
        }
    }
    if (m_doubleByte) {
        t.pairs.assign(0x10000, kInvalid);
        for (unsigned lead = 0x81; lead < 256 && decoder.ok(); ++lead) {
            for (unsigned trail = 0x40; trail < 256 && isLeadByte(static_cast<unsigned char>(lead));
                 ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                if (isTrailByte(static_cast<unsigned char>(trail)) &&
                    decoder.convert(pair, 2, out) && out.size() == 4) {
                    t.pairs[lead << 8 | trail] = littleEndian32(out);
                }
            }
        }
    }
    // Where several bytes map to one character, the table's own way back
    // decides which one a character becomes.
    auto learn = [&](char32_t u) {
        if (u == kInvalid || t.encoding.count(u) != 0 || !encoder.ok()) {
            return;
        }
        std::string in(4, '\0');
        for (size_t i = 0; i < 4; ++i) {
            in[i] = static_cast<char>(u >> (8 * i) & 0xFF);
        }
        if (encoder.convert(in.data(), in.size(), out) && (out.size() == 1 || out.size() == 2)) {
            unsigned code = static_cast<unsigned char>(out[0]);
            if (out.size() == 2) {
                code = code << 8 | static_cast<unsigned char>(out[1]);
            }
            t.encoding.emplace(u, code);
        }
    };
    for (char32_t u : t.single) {
        learn(u);
    }
    for (char32_t u : t.pairs) {
        learn(u);
    }
}

CodePage::~CodePage() {
    delete m_tables;
}

const CodePage* CodePage::find(UINT number) {
    static std::mutex mutex;
    static std::unordered_map<UINT, std::unique_ptr<CodePage>> built;
    if (number != kWestern && iconvName(number) == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<CodePage>& page = built[number];
    if (!page) {
        page.reset(new CodePage(number));
    }
    return page.get();
}

const CodePage& CodePage::windows1252() {
    static const CodePage* page = find(kWestern);
    return *page;
}

bool CodePage::isAnsiChoice(UINT number) {
    return number == kWestern || leadByteOf(number, 0x81);
}

UINT CodePage::oemPartner(UINT ansiNumber) {
    return ansiNumber == kWestern ? kOemUs : ansiNumber;
}

bool CodePage::isLeadByte(unsigned char c) const {
    return m_doubleByte && leadByteOf(m_number, c);
}

bool CodePage::isTrailByte(unsigned char c) const {
    return m_doubleByte && trailByteOf(m_number, c);
}

size_t CodePage::charLength(std::string_view text, size_t pos) const {
    if (pos >= text.size()) {
        return 0;
    }
    if (pos + 1 < text.size() && isLeadByte(static_cast<unsigned char>(text[pos])) &&
        isTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
        return 2;
    }
    return 1;
}

size_t CodePage::previousChar(std::string_view text, size_t pos) const {
    pos = std::min(pos, text.size());
    if (!m_doubleByte) {
        return pos == 0 ? 0 : pos - 1;
    }
    size_t start = 0;
    for (size_t at = 0; at < pos;) {
        start = at;
        at += charLength(text, at);
    }
    return start;
}

size_t CodePage::find(std::string_view text, char c, size_t from) const {
    if (!m_doubleByte) {
        return text.find(c, from);
    }
    for (size_t at = 0; at < text.size(); at += charLength(text, at)) {
        if (at >= from && text[at] == c) {
            return at;
        }
    }
    return std::string_view::npos;
}

size_t CodePage::findLast(std::string_view text, char c, size_t end) const {
    if (!m_doubleByte) {
        if (end == 0) {
            return std::string_view::npos;
        }
        return text.rfind(c, end == std::string_view::npos ? end : end - 1);
    }
    size_t found = std::string_view::npos;
    for (size_t at = 0; at < text.size() && at < end; at += charLength(text, at)) {
        if (text[at] == c) {
            found = at;
        }
    }
    return found;
}

bool CodePage::endsWith(std::string_view text, char c) const {
    return !text.empty() && text.back() == c && previousChar(text, text.size()) == text.size() - 1;
}

char32_t CodePage::decode(std::string_view text, size_t pos, size_t& length) const {
    length = charLength(text, pos);
    if (length == 2) {
        return conversions().pairs[static_cast<unsigned char>(text[pos]) << 8 |
                                   static_cast<unsigned char>(text[pos + 1])];
    }
    return length == 0 ? kInvalid : toUnicode(static_cast<unsigned char>(text[pos]));
}

char32_t CodePage::toUnicode(unsigned char c) const {
    return isLeadByte(c) ? kInvalid : conversions().single[c];
}

std::optional<std::u32string> CodePage::toUtf32(std::string_view text, bool strict) const {
    std::u32string result;
    size_t length = 0;
    for (size_t at = 0; at < text.size(); at += length) {
        char32_t u = decode(text, at, length);
        if (u == kInvalid) {
            if (strict) {
                return std::nullopt;
            }
            continue;
        }
        result += u;
    }
    return result;
}

std::optional<std::u16string> CodePage::toUtf16(std::string_view text, bool strict) const {
    std::optional<std::u32string> wide = toUtf32(text, strict);
    if (!wide) {
        return std::nullopt;
    }
    std::u16string result;
    for (char32_t u : *wide) {
        if (u >= 0x10000) {
            result += static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
            result += static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
        } else {
            result += static_cast<char16_t>(u);
        }
    }
    return result;
}

std::optional<std::string> CodePage::fromUtf32(std::u32string_view text) const {
    std::string result;
    for (char32_t u : text) {
        const std::unordered_map<char32_t, unsigned>& encoding = conversions().encoding;
        auto hit = encoding.find(u);
        if (hit == encoding.end()) {
            return std::nullopt;
        }
        if (hit->second > 0xFF) {
            result += static_cast<char>(hit->second >> 8);
        }
        result += static_cast<char>(hit->second & 0xFF);
    }
    return result;
}

std::optional<std::string> CodePage::fromUtf16(std::u16string_view text) const {
    std::u32string wide;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t u = text[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            u = 0x10000 + ((u - 0xD800) << 10) + (text[++i] - 0xDC00);
        } else if (u >= 0xD800 && u < 0xE000) {
            return std::nullopt;
        }
        wide += u;
    }
    return fromUtf32(wide);
}

unsigned char CodePage::upper(unsigned char c) const {
    return m_tables->upper[c];
}

unsigned char CodePage::lower(unsigned char c) const {
    return m_tables->lower[c];
}

namespace {

// The text with each single-byte character mapped through fold.
std::string foldText(const CodePage& page, std::string_view text, const unsigned char* fold) {
    std::string result(text);
    for (size_t at = 0, length = 0; at < text.size(); at += length) {
        length = page.charLength(text, at);
        if (length == 1) {
            result[at] = static_cast<char>(fold[static_cast<unsigned char>(text[at])]);
        }
    }
    return result;
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace

std::string CodePage::upper(std::string_view text) const {
    return foldText(*this, text, m_tables->upper);
}

std::string CodePage::lower(std::string_view text) const {
    return foldText(*this, text, m_tables->lower);
}

int CodePage::compareNoCase(std::string_view a, std::string_view b) const {
    // Folding keeps every character's length, so the folded texts are compared
    // byte by byte as they are made; each text keeps its own character bounds.
    size_t common = std::min(a.size(), b.size());
    size_t nextA = 0;
    size_t nextB = 0;
    for (size_t i = 0; i < common; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (i == nextA) {
            nextA += charLength(a, i);
            ca = nextA == i + 1 ? m_tables->upper[ca] : ca;
        }
        if (i == nextB) {
            nextB += charLength(b, i);
            cb = nextB == i + 1 ? m_tables->upper[cb] : cb;
        }
        if (ca != cb) {
            return sign(ca - cb);
        }
    }
    return sign(static_cast<int>(a.size() > common) - static_cast<int>(b.size() > common));
}

bool CodePage::equalNoCase(std::string_view a, std::string_view b) const {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

int CodePage::compare(std::string_view a, std::string_view b) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        int ca = static_cast<unsigned char>(a[i]);
        int cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) {
            return sign(ca - cb);
        }
    }
    return sign(static_cast<int>(a.size() > common) - static_cast<int>(b.size() > common));
}

namespace {

std::atomic<const CodePage*> g_ansi{nullptr};
std::atomic<const CodePage*> g_oem{nullptr};

} // namespace

const CodePage& ansiCodePage() {
    const CodePage* page = g_ansi.load();
    return page != nullptr ? *page : CodePage::windows1252();
}

const CodePage& oemCodePage() {
    const CodePage* page = g_oem.load();
    return page != nullptr ? *page : *CodePage::find(kOemUs);
}

void useCodePages(const CodePage& ansi, const CodePage& oem) {
    g_ansi.store(&ansi);
    g_oem.store(&oem);
}

} // namespace emu::kernel
