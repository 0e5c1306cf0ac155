#include "platform/emu/host/ImageNames.h"

#include "platform/emu/hostsupport/HostTool.h"
#include "platform/emu/kernel/CodePage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <iconv.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace emu::host {

namespace {

using hostsupport::Failure;
using hostsupport::Result;
// Names are carried in code page 1252 whatever code page the machine runs
// in; a name 1252 cannot hold is refused.
const kernel::CodePage& ansi1252() {
    return kernel::CodePage::windows1252();
}

std::string codePoint(char32_t c) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(c));
    return text;
}

// The next code point of UTF-8 text at `at`, which moves past it; nullopt
// for a byte sequence that is no UTF-8 (overlong forms and surrogates too).
std::optional<char32_t> nextCodePoint(std::string_view text, size_t& at) {
    auto lead = static_cast<unsigned char>(text[at]);
    size_t extra = 0;
    if (lead >= 0xC2 && lead < 0xE0) {
        extra = 1;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        extra = 2;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        extra = 3;
    } else if (lead >= 0x80) {
        return std::nullopt;
    }
    if (text.size() - at <= extra) {
        return std::nullopt;
    }
    char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
    for (size_t i = 1; i <= extra; ++i) {
        auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        c = c << 6 | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
        return std::nullopt;
    }
    at += 1 + extra;
    return c;
}

// Every character of the ANSI code page lies below U+10000.
void appendUtf8(std::string& text, char32_t c) {
    if (c < 0x80) {
        text += static_cast<char>(c);
    } else if (c < 0x800) {
        text += static_cast<char>(0xC0 | c >> 6);
        text += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        text += static_cast<char>(0xE0 | c >> 12);
        text += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0);
}

// The byte of the ANSI code page for c; nullopt when it has none.
std::optional<unsigned char> ansiByte(char32_t c) {
    for (unsigned byte = 0x20; byte < 0x100; ++byte) {
        if (ansi1252().toUnicode(static_cast<unsigned char>(byte)) == c) {
            return static_cast<unsigned char>(byte);
        }
    }
    return std::nullopt;
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

bool isLowerAnsi(unsigned char c) {
    return ansi1252().upper(c) != c;
}

bool isUpperAnsi(unsigned char c) {
    for (unsigned lower = 0x61; lower < 0x100; ++lower) {
        if (isLowerAnsi(static_cast<unsigned char>(lower)) &&
            ansi1252().upper(static_cast<unsigned char>(lower)) == c) {
            return true;
        }
    }
    return false;
}

bool mixedCase(std::string_view part) {
    bool lower = false;
    bool upper = false;
    for (char c : part) {
        lower = lower || isLowerAnsi(static_cast<unsigned char>(c));
        upper = upper || isUpperAnsi(static_cast<unsigned char>(c));
    }
    return lower && upper;
}

// Whether mtools writes the name (ANSI) as a short name alone: one that has
// the shape of an 8.3 name, with no case mixed within its base or extension.
bool shortNameAlone(std::string_view name) {
    size_t dot = name.find('.');
    std::string_view base = name.substr(0, dot);
    std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot + 1);
    return !base.empty() && base.size() <= 8 && extension.size() <= 3 &&
           extension.find('.') == std::string_view::npos &&
           name.find_first_of(" +,;=[]") == std::string_view::npos && !mixedCase(base) &&
           !mixedCase(extension);
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

Result<std::string> ImageNames::toAnsi(std::string_view utf8) {
    std::string ansi;
    for (size_t at = 0; at < utf8.size();) {
        std::optional<char32_t> c = nextCodePoint(utf8, at);
        if (!c) {
            return Failure{"is no UTF-8 text"};
        }
        std::optional<unsigned char> byte = isControl(*c) ? std::nullopt : ansiByte(*c);
        if (!byte) {
            return Failure{"holds " + codePoint(*c) +
                           ", a character the emulated machine's code page 1252 has no place for"};
        }
        ansi += static_cast<char>(*byte);
    }
    return ansi;
}

Result<std::string> ImageNames::toTool(std::string_view ansi, int codePage) {
    std::string utf8;
    std::string lost; // why mtools would not keep a character of a short name
    for (char byte : ansi) {
        auto ansiByte = static_cast<unsigned char>(byte);
        char32_t c = ansi1252().toUnicode(ansiByte);
        if (isControl(c)) {
            return Failure{"holds the control character " + codePoint(c)};
        }
        std::string character;
        appendUtf8(character, c);
        if (c >= 0x80 && lost.empty()) {
            if (!inShortNameCodePage(character, codePage)) {
                lost = codePoint(c) + ", which code page " + std::to_string(codePage) +
                       " of the image's short names has no place for";
            } else if (isLowerAnsi(ansiByte)) {
                lost = codePoint(c) + ", a small letter mtools writes as a capital";
            }
        }
        utf8 += character;
    }
    if (!lost.empty() && shortNameAlone(ansi)) {
        return Failure{"holds " + lost + ", in a name that would get no long name to keep it"};
    }
    return utf8;
}

Result<std::string> ImageNames::toToolPath(std::string_view ansi) {
    std::string utf8;
    for (char byte : ansi) {
        char32_t c = ansi1252().toUnicode(static_cast<unsigned char>(byte));
        if (isControl(c)) {
            return Failure{"holds the control character " + codePoint(c)};
        }
        appendUtf8(utf8, c);
    }
    return utf8;
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

bool ImageNames::sameName(std::string_view a, std::string_view b) {
    return ansi1252().equalNoCase(a, b);
}

std::string ImageNames::folded(std::string_view ansi) {
    return ansi1252().upper(ansi);
}

Result<void> ImageNames::respellTree(const std::string& root) {
    // (host folder, the same folder as mtools spells it below root)
    std::vector<std::pair<std::string, std::string>> pending = {{root, ""}};
    while (!pending.empty()) {
        auto [folder, spelt] = pending.back();
        pending.pop_back();
        DIR* dir = opendir(folder.c_str());
        if (dir == nullptr) {
            return Failure{"cannot read " + folder + ": " + std::strerror(errno)};
        }
        std::vector<std::string> names;
        while (const dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
        std::vector<std::pair<std::string, std::string>> respelt; // (ANSI, UTF-8)
        for (const std::string& name : names) {
            std::string path = spelt.empty() ? name : spelt + "/" + name;
            Result<std::string> ansi = toAnsi(name);
            if (!ansi) {
                return Failure{"the name \"" + path + "\" " + ansi.reason()};
            }
            for (const auto& [other, otherName] : respelt) {
                if (sameName(other, *ansi)) {
                    return Failure{"the names \"" + path + "\" and \"" + otherName +
                                   "\" are one name to Windows, which does not tell case apart"};
                }
            }
            respelt.emplace_back(*ansi, name);
            std::string from = folder + "/" + name;
            std::string to = folder + "/" + *ansi;
            if (*ansi != name && rename(from.c_str(), to.c_str()) != 0) {
                return Failure{"cannot rename " + from + ": " + std::strerror(errno)};
            }
            struct stat info {};
            if (lstat(to.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
                pending.emplace_back(to, path);
            }
        }
    }
    return {};
}

} // namespace emu::host
