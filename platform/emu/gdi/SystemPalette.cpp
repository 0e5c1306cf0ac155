#include "platform/emu/gdi/SystemPalette.h"

#include <algorithm>
#include <limits>

namespace emu::gdi {

namespace {

constexpr int kFirstStaticHalf = 10;
constexpr size_t kCacheLimit = 4096;

const std::vector<COLORREF>& vgaColours() {
    static const std::vector<COLORREF> colours = {
        RGB(0, 0, 0),       RGB(128, 0, 0),   RGB(0, 128, 0),   RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128), RGB(0, 128, 128), RGB(192, 192, 192),
        RGB(128, 128, 128), RGB(255, 0, 0),   RGB(0, 255, 0),   RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255), RGB(0, 255, 255), RGB(255, 255, 255)};
    return colours;
}

int distance(COLORREF a, COLORREF b) {
    const int dr = GetRValue(a) - GetRValue(b);
    const int dg = GetGValue(a) - GetGValue(b);
    const int db = GetBValue(a) - GetBValue(b);
    return dr * dr + dg * dg + db * db;
}

// Widens an n-bit channel to 8 bits the way display hardware does: the top
// bits repeat into the low ones, so full intensity stays 255.
BYTE widen(int value, int bits) {
    const int shifted = value << (8 - bits);
    return static_cast<BYTE>(shifted | (shifted >> bits));
}

COLORREF toColour(const PALETTEENTRY& e) {
    return RGB(e.peRed, e.peGreen, e.peBlue);
}

bool sameEntries(const std::vector<PALETTEENTRY>& a, const std::vector<PALETTEENTRY>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](const auto& x, const auto& y) { return toColour(x) == toColour(y); });
}

} // namespace

const std::vector<COLORREF>& SystemPalette::staticColours() {
    static const std::vector<COLORREF> colours = {
        RGB(0, 0, 0),       RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(128, 128, 0),
        RGB(0, 0, 128),     RGB(128, 0, 128),   RGB(0, 128, 128),   RGB(192, 192, 192),
        RGB(192, 220, 192), RGB(166, 202, 240), RGB(255, 251, 240), RGB(160, 160, 164),
        RGB(128, 128, 128), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(255, 255, 0),
        RGB(0, 0, 255),     RGB(255, 0, 255),   RGB(0, 255, 255),   RGB(255, 255, 255)};
    return colours;
}

SystemPalette::SystemPalette(int depth) : m_depth(depth) {
    if (depth == 8) {
        const auto& fixed = staticColours();
        m_entries.assign(256, RGB(0, 0, 0));
        m_used.assign(256, false);
        std::copy(fixed.begin(), fixed.begin() + kFirstStaticHalf, m_entries.begin());
        std::copy(fixed.begin() + kFirstStaticHalf, fixed.end(), m_entries.end() - 10);
        m_staticCount = static_cast<int>(fixed.size());
    } else if (depth == 4) {
        m_entries = vgaColours();
        m_staticCount = 16;
    } else if (depth == 1) {
        m_entries = {RGB(0, 0, 0), RGB(255, 255, 255)};
        m_staticCount = 2;
    }
}

COLORREF SystemPalette::reduce(COLORREF colour) const {
    const int r = GetRValue(colour);
    const int g = GetGValue(colour);
    const int b = GetBValue(colour);
    if (m_depth == 16) {
        return RGB(widen(r >> 3, 5), widen(g >> 2, 6), widen(b >> 3, 5));
    }
    if (m_depth == 15) {
        return RGB(widen(r >> 3, 5), widen(g >> 3, 5), widen(b >> 3, 5));
    }
    return colour & 0x00FFFFFF;
}

COLORREF SystemPalette::nearestEntry(COLORREF colour) const {
    COLORREF best = m_entries.front();
    int bestDistance = std::numeric_limits<int>::max();
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const bool available = i < static_cast<size_t>(kFirstStaticHalf) ||
                               i >= m_entries.size() - kFirstStaticHalf || m_used.empty() ||
                               m_used[i];
        if (!available) {
            continue;
        }
        const int d = distance(colour, m_entries[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = m_entries[i];
            if (d == 0) {
                break;
            }
        }
    }
    return best;
}

COLORREF SystemPalette::nearest(COLORREF colour) {
    colour &= 0x00FFFFFF;
    if (!isPaletteDevice()) {
        return reduce(colour);
    }
    const auto hit = m_cache.find(colour);
    if (hit != m_cache.end()) {
        return hit->second;
    }
    const COLORREF shown = nearestEntry(colour);
    if (m_cache.size() >= kCacheLimit) {
        m_cache.clear();
    }
    m_cache.emplace(colour, shown);
    return shown;
}

void SystemPalette::resetFreeEntries() {
    std::fill(m_used.begin(), m_used.end(), false);
    m_cache.clear();
}

UINT SystemPalette::realize(const std::vector<PALETTEENTRY>& entries) {
    if (m_used.empty() || sameEntries(entries, m_realized)) {
        return 0;
    }
    resetFreeEntries();
    m_realized = entries;
    UINT added = 0;
    size_t next = kFirstStaticHalf;
    const size_t lastFree = m_entries.size() - kFirstStaticHalf;
    for (const PALETTEENTRY& e : entries) {
        const COLORREF c = toColour(e);
        if (nearestEntry(c) == c || next >= lastFree) {
            continue;
        }
        m_entries[next] = c;
        m_used[next] = true;
        ++next;
        ++added;
    }
    return added;
}

} // namespace emu::gdi
