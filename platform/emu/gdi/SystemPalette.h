// The colours a display of a given depth can show. Palette devices (8 bits and
// fewer) have a hardware palette; on 8 bits its 20 static colours stay put and
// the other 236 entries are taken by the foreground logical palette. Deeper
// displays reduce colours to their pixel format.
#pragma once

#include "platform/win32.h"

#include <unordered_map>
#include <vector>

namespace emu::gdi {

class SystemPalette {
public:
    explicit SystemPalette(int depth);

    bool isPaletteDevice() const { return !m_entries.empty(); }
    // Hardware palette size (256, 16 or 2); 0 on a direct-colour display.
    int size() const { return static_cast<int>(m_entries.size()); }
    // Entries no logical palette can change.
    int staticCount() const { return m_staticCount; }

    // The colour the display really shows for `colour`.
    COLORREF nearest(COLORREF colour);

    // Realises a logical palette in the foreground. Returns how many of its
    // entries took a hardware entry they did not have before.
    UINT realize(const std::vector<PALETTEENTRY>& entries);

    // The 20 static colours of a 256-colour display, in hardware order.
    static const std::vector<COLORREF>& staticColours();

private:
    COLORREF reduce(COLORREF colour) const;
    COLORREF nearestEntry(COLORREF colour) const;
    void resetFreeEntries();

    int m_depth;
    int m_staticCount = 0;
    std::vector<COLORREF> m_entries;
    std::vector<bool> m_used;
    std::vector<PALETTEENTRY> m_realized;
    std::unordered_map<COLORREF, COLORREF> m_cache;
};

} // namespace emu::gdi
