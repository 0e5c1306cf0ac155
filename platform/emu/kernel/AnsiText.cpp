#include "platform/emu/kernel/AnsiText.h"

#include <algorithm>

namespace emu::kernel {

namespace {

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
