#include "tests/support/GlyphInk.h"

#include "platform/emu/gdi/ScreenAccess.h"

#include <algorithm>
#include <climits>

namespace corvane_test {

namespace {

constexpr int kRing = 2;

} // namespace

GlyphInk glyphInk(const RECT& cell, COLORREF ink) {
    const auto& screen = emu::gdi::screen();
    std::vector<POINT> inked;
    RECT bounds{INT_MAX, INT_MAX, INT_MIN, INT_MIN}; // the outermost inked pixels
    for (int y = std::max<int>(cell.top, 0); y < std::min<int>(cell.bottom, screen.height()); ++y) {
        for (int x = std::max<int>(cell.left, 0); x < std::min<int>(cell.right, screen.width());
             ++x) {
            if (screen.pixel(x, y) == ink) {
                inked.push_back(POINT{x, y});
                bounds = RECT{std::min<LONG>(bounds.left, x), std::min<LONG>(bounds.top, y),
                              std::max<LONG>(bounds.right, x), std::max<LONG>(bounds.bottom, y)};
            }
        }
    }
    GlyphInk result;
    result.ink = static_cast<int>(inked.size());
    if (inked.empty()) {
        return result;
    }
    result.width = bounds.right - bounds.left + 1;
    result.height = bounds.bottom - bounds.top + 1;
    result.shape.assign(static_cast<size_t>(result.width) * result.height, false);
    for (const POINT& p : inked) {
        result.shape[static_cast<size_t>(p.y - bounds.top) * result.width + (p.x - bounds.left)] =
            true;
        const bool inside = p.x >= bounds.left + kRing && p.x <= bounds.right - kRing &&
                            p.y >= bounds.top + kRing && p.y <= bounds.bottom - kRing;
        result.interior += inside ? 1 : 0;
    }
    return result;
}

GlyphInk missingGlyph(HFONT font, char leadByte, const RECT& spot) {
    HDC dc = GetDC(nullptr);
    HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
    FillRect(dc, &spot, white);
    DeleteObject(white);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, spot.left, spot.top, &leadByte, 1);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return glyphInk(spot, RGB(0, 0, 0));
}

std::vector<CharacterCell> characterCells(HFONT font, const std::string& text, int left, int top,
                                          int bottom) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    std::vector<CharacterCell> cells;
    int x = left;
    for (const char* at = text.c_str(); *at != '\0';) {
        const char* next = CharNextA(at);
        SIZE prefix{};
        GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(next - text.c_str()), &prefix);
        cells.push_back(
            CharacterCell{std::string(at, next), RECT{x, top, left + prefix.cx, bottom}});
        x = left + prefix.cx;
        at = next;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return cells;
}

} // namespace corvane_test
