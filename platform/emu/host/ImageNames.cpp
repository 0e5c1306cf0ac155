#include "platform/emu/host/ImageNames.h"

#include "platform/emu/host/Mtools.h"
#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/hostsupport/Utf8.h"
#include "platform/emu/kernel/CodePage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <optional>
#include <regex>
#include <sstream>
#include <vector>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;
using kernel::CodePage;

std::string codePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

std::string named(const CodePage& ansi) {
    return "code page " + std::to_string(ansi.number());
}

// The characters of a name of the work folder (ANSI), one at a time, with
// the bytes each takes; a byte or pair the code page has no character for
// is refused.
template <typename Visit>
Result<void> eachCharacter(std::string_view name, const CodePage& ansi, Visit visit) {
    for (size_t at = 0; at < name.size();) {
        size_t length = 1;
        char32_t c = ansi.decode(name, at, length);
        if (c == CodePage::kInvalid) {
            char text[8];
            std::snprintf(text, sizeof text, "0x%02X",
                          static_cast<unsigned>(static_cast<unsigned char>(name[at])));
            return Failure{std::string("holds the byte ") + text + ", which " + named(ansi) +
                           " of the emulated machine reads as no character"};
        }
        if (isControl(c)) {
            return Failure{"holds the control character " + codePoint(c)};
        }
        Result<void> visited = visit(c, name.substr(at, length));
        if (!visited) {
            return visited;
        }
        at += length;
    }
    return {};
}

// A name of the work folder (ANSI) in UTF-8.
Result<std::string> utf8Of(std::string_view name, const CodePage& ansi) {
    std::string utf8;
    Result<void> walked = eachCharacter(name, ansi, [&](char32_t c, std::string_view) {
        hostsupport::appendUtf8(utf8, c);
        return Result<void>();
    });
    if (!walked) {
        return walked.failure();
    }
    return utf8;
}

// Whether the code page of short names has a place for the character (UTF-8).
bool inShortNameCodePage(const std::string& character, int codePage) {
    iconv_t convert = iconv_open(("CP" + std::to_string(codePage)).c_str(), "UTF-8");
    if (convert == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string from = character;
    char out[8];
    char* in = from.data();
    size_t inLeft = from.size();
    char* outAt = out;
    size_t outLeft = sizeof out;
    bool fits = iconv(convert, &in, &inLeft, &outAt, &outLeft) != static_cast<size_t>(-1);
    iconv_close(convert);
    return fits;
}

bool isLowerAnsi(const CodePage& ansi, unsigned char c) {
    return ansi.upper(c) != c;
}

bool isUpperAnsi(const CodePage& ansi, unsigned char c) {
    for (unsigned lower = 0x61; lower < 0x100; ++lower) {
        if (isLowerAnsi(ansi, static_cast<unsigned char>(lower)) &&
            ansi.upper(static_cast<unsigned char>(lower)) == c) {
            return true;
        }
    }
    return false;
}

// Whether a part of a name mixes small letters and capitals; a double-byte
// character is neither, whatever its trail byte.
bool mixedCase(std::string_view part, const CodePage& ansi) {
    bool lower = false;
    bool upper = false;
    for (size_t at = 0; at < part.size(); at += ansi.charLength(part, at)) {
        if (ansi.charLength(part, at) == 1) {
            auto c = static_cast<unsigned char>(part[at]);
            lower = lower || isLowerAnsi(ansi, c);
            upper = upper || isUpperAnsi(ansi, c);
        }
    }
    return lower && upper;
}

// Whether mtools writes the name (ANSI) as a short name alone: one that has
// the shape of an 8.3 name, with no case mixed within its base or extension.
bool shortNameAlone(std::string_view name, const CodePage& ansi) {
    size_t dot = ansi.find(name, '.');
    std::string_view base = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3 ||
        ansi.find(extension, '.') != std::string_view::npos || mixedCase(base, ansi) ||
        mixedCase(extension, ansi)) {
        return false;
    }
    for (char c : std::string_view(" +,;=[]")) {
        if (ansi.find(name, c) != std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// A line mtools printed in code page tools (UTF-8) as the code page's
// bytes, one a character, as its columns count them; nullopt when a
// character is not of the code page.
std::optional<std::string> toolBytes(std::string_view line, const CodePage& tools) {
    std::u32string text;
    for (size_t at = 0; at < line.size();) {
        std::optional<char32_t> c = hostsupport::nextCodePoint(line, at);
        if (!c) {
            return std::nullopt;
        }
        text += *c;
    }
    return tools.fromUtf32(text);
}

std::string trimmed(const std::string& text) {
    size_t begin = text.find_first_not_of(' ');
    size_t end = text.find_last_not_of(' ');
    return begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
}

// The parts of a path ('/'), empty ones kept.
std::vector<std::string> partsOf(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t slash = path.find('/', start);
        parts.emplace_back(path.substr(start, slash - start));
        if (slash == std::string_view::npos) {
            return parts;
        }
        start = slash + 1;
    }
}

// Walks a path part by part: each part is spelt by the map (keyed by the
// folder as the path spells it and the part) or else by spell.
template <typename Spell>
Result<std::string> spellPath(std::string_view path,
                              const std::map<std::pair<std::string, std::string>, std::string>& map,
                              Spell spell) {
    std::string folder;
    std::string spelt;
    bool first = true;
    for (const std::string& part : partsOf(path)) {
        auto found = map.find({folder, part});
        Result<std::string> name =
            found != map.end() ? Result<std::string>(found->second) : spell(part);
        if (!name) {
            return name;
        }
        folder += (first ? "" : "/") + part;
        spelt += (first ? "" : "/") + *name;
        first = false;
    }
    return spelt;
}

std::string escaped(std::string_view path) {
    std::string result;
    for (char c : path) {
        if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') {
            result += '\\';
        }
        result += c;
    }
    return result;
}

} // namespace

Result<std::string> ImageNames::toAnsi(std::string_view utf8, const CodePage& ansi) {
    std::string spelt;
    for (size_t at = 0; at < utf8.size();) {
        std::optional<char32_t> c = hostsupport::nextCodePoint(utf8, at);
        if (!c) {
            return Failure{"is no UTF-8 text"};
        }
        std::optional<std::string> bytes =
            isControl(*c) ? std::nullopt : ansi.fromUtf32(std::u32string(1, *c));
        if (!bytes || bytes->empty()) {
            return Failure{"holds " + codePoint(*c) + ", a character the emulated machine's " +
                           named(ansi) + " has no place for"};
        }
        // A character that shares its bytes with another (932 spells U+FFE2
        // and U+00AC alike) would make two names one.
        size_t length = 0;
        char32_t back = ansi.decode(*bytes, 0, length);
        if (back != *c || length != bytes->size()) {
            return Failure{"holds " + codePoint(*c) + ", which the emulated machine's " +
                           named(ansi) + " reads back as " + codePoint(back)};
        }
        spelt += *bytes;
    }
    return spelt;
}

Result<std::string> ImageNames::toTool(std::string_view name, const CodePage& ansi, int codePage) {
    std::string lost; // why mtools would not keep a character of a short name
    Result<void> walked = eachCharacter(name, ansi, [&](char32_t c, std::string_view bytes) {
        if (c < 0x80 || !lost.empty()) {
            return Result<void>();
        }
        std::string character;
        hostsupport::appendUtf8(character, c);
        if (bytes.size() > 1) {
            lost = codePoint(c) + ", a double-byte character mtools does not write into a short "
                                  "name as it is";
        } else if (!inShortNameCodePage(character, codePage)) {
            lost = codePoint(c) + ", which code page " + std::to_string(codePage) +
                   ", in which mtools writes the image's short names, has no place for";
        } else if (isLowerAnsi(ansi, static_cast<unsigned char>(bytes[0]))) {
            lost = codePoint(c) + ", a small letter mtools writes as a capital";
        }
        return Result<void>();
    });
    if (!walked) {
        return walked.failure();
    }
    if (!lost.empty() && shortNameAlone(name, ansi)) {
        return Failure{"holds " + lost + ", in a name that would get no long name to keep it"};
    }
    return utf8Of(name, ansi);
}

Result<std::string> ImageNames::toToolPath(std::string_view name, const CodePage& ansi) {
    return utf8Of(name, ansi);
}

int ImageNames::toolCodePage(int shortNameCodePage) {
    const CodePage* names = CodePage::find(static_cast<UINT>(shortNameCodePage));
    return names != nullptr && names->isDoubleByte() ? hostsupport::HostTool::kShortNameCodePage
                                                     : shortNameCodePage;
}

Result<ImageSpelling> ImageNames::spellingOf(const Mtools& image, const CodePage& ansi,
                                             int shortNameCodePage) {
    ImageSpelling spelling;
    spelling.ansi = &ansi;
    const CodePage* names = CodePage::find(static_cast<UINT>(shortNameCodePage));
    const CodePage* tools = CodePage::find(static_cast<UINT>(image.codePage()));
    if (names == nullptr || tools == nullptr || names == tools) {
        return spelling;
    }
    Result<std::string> listing = image.run("mdir", {"-/", "-a", "::/"});
    if (!listing) {
        return listing.failure();
    }
    // "SOFT     TXT         7 2026-12-09  18:21 ": no long name after the time.
    static const std::regex shortOnly(
        R"(^(.{8}) (.{3}) +(<DIR>|[0-9 ]+) +[0-9]{4}-[0-9]{2}-[0-9]{2} +[0-9]{1,2}:[0-9]{2} *$)");
    std::istringstream lines(*listing);
    std::string line;
    std::string folder;
    while (std::getline(lines, line)) {
        if (line.rfind("Directory for ::/", 0) == 0) {
            folder = line.substr(17);
            continue;
        }
        std::optional<std::string> bytes = toolBytes(line, *tools);
        std::smatch match;
        if (!bytes || !std::regex_match(*bytes, match, shortOnly)) {
            continue;
        }
        std::string extension = trimmed(match[2].str());
        std::string name = trimmed(match[1].str()) + (extension.empty() ? "" : "." + extension);
        if (std::none_of(name.begin(), name.end(),
                         [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            continue; // ASCII: the same on both sides
        }
        std::string toolName;
        for (char c : name) {
            hostsupport::appendUtf8(toolName, tools->toUnicode(static_cast<unsigned char>(c)));
        }
        std::string path = folder.empty() ? toolName : folder + "/" + toolName;
        std::optional<std::u32string> text = names->toUtf32(name, true);
        std::string utf8;
        for (char32_t c : text.value_or(U"")) {
            hostsupport::appendUtf8(utf8, c);
        }
        Result<std::string> spelt =
            text ? toAnsi(utf8, ansi)
                 : Result<std::string>(Failure{"reads as no text of code page " +
                                               std::to_string(shortNameCodePage) +
                                               ", that of the installation's short names"});
        Result<std::string> ansiFolder = toAnsiPath(folder, spelling);
        if (!spelt || !ansiFolder) {
            return Failure{"the short name \"" + path + "\" " +
                           (spelt ? ansiFolder.reason() : spelt.reason())};
        }
        spelling.toAnsi[{folder, toolName}] = *spelt;
        spelling.toTool[{*ansiFolder, *spelt}] = toolName;
    }
    return spelling;
}

Result<std::string> ImageNames::toAnsiPath(std::string_view path, const ImageSpelling& spelling) {
    return spellPath(path, spelling.toAnsi,
                     [&](const std::string& part) { return toAnsi(part, *spelling.ansi); });
}

Result<std::string> ImageNames::toToolPath(std::string_view path, const ImageSpelling& spelling) {
    return spellPath(path, spelling.toTool,
                     [&](const std::string& part) { return utf8Of(part, *spelling.ansi); });
}

std::string ImageNames::literal(std::string_view path) {
    return "::/" + escaped(path);
}

std::string ImageNames::literalNew(std::string_view path) {
    size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return "::/" + std::string(path);
    }
    return "::/" + escaped(path.substr(0, slash + 1)) + std::string(path.substr(slash + 1));
}

bool ImageNames::sameName(std::string_view a, std::string_view b, const CodePage& ansi) {
    return ansi.equalNoCase(a, b);
}

std::string ImageNames::folded(std::string_view name, const CodePage& ansi) {
    return ansi.upper(name);
}

} // namespace emu::host
