#include "platform/emu/kernel/AnsiText.h"

#include <algorithm>

namespace emu::kernel {

namespace {

constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int sign(int value) {
    return (value > 0) - (value < 0);
}

template <typename Map> int compareMapped(std::string_view a, std::string_view b, Map map) {
    size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        int ca = map(static_cast<unsigned char>(a[i]));
        int cb = map(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return sign(ca - cb);
        }
    }
    return sign(static_cast<int>(a.size() > common) - static_cast<int>(b.size() > common));
}

} // namespace

char32_t AnsiText::toUnicode(unsigned char c) {
    return c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : static_cast<char32_t>(c);
}

unsigned char AnsiText::upper(unsigned char c) {
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

int AnsiText::compareNoCase(std::string_view a, std::string_view b) {
    return compareMapped(a, b, [](unsigned char c) { return static_cast<int>(upper(c)); });
}

int AnsiText::compare(std::string_view a, std::string_view b) {
    return compareMapped(a, b, [](unsigned char c) { return static_cast<int>(c); });
}

bool AnsiText::equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNoCase(a, b) == 0;
}

} // namespace emu::kernel
