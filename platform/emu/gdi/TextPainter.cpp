#include "platform/emu/gdi/TextPainter.h"

#include "platform/emu/kernel/CodePage.h"

#include <algorithm>

namespace emu::gdi {

namespace {

constexpr int kMaxCoordinate = 1 << 28;
constexpr size_t kMaxLength = 1 << 16;

bool reasonable(int v) {
    return v > -kMaxCoordinate && v < kMaxCoordinate;
}

} // namespace

TextPainter::TextPainter(FontFace& face) : TextPainter(face, kernel::ansiCodePage()) {}

size_t TextPainter::charLength(std::string_view text, size_t pos) const {
    return m_codePage.charLength(text, pos);
}

// A byte or pair the code page leaves unmapped asks the face for a code point
// it has no glyph for: the face's missing-glyph shape stands for it.
const Glyph& TextPainter::glyphAt(std::string_view text, size_t pos, size_t& length) {
    return m_face.glyph(m_codePage.decode(text, pos, length));
}

int TextPainter::advance(std::string_view text, size_t pos) {
    size_t length = 0;
    return glyphAt(text, pos, length).advance;
}

int TextPainter::width(std::string_view text) {
    int total = 0;
    for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        total += glyphAt(text, pos, length).advance;
    }
    return total;
}

void TextPainter::draw(Rasteriser& out, int x, int y, std::string_view text,
                       const TextColours& colours, int underlined) {
    // Text that far out is off every screen; its widths would overflow.
    if (!reasonable(x) || !reasonable(y) || text.size() > kMaxLength) {
        return;
    }
    const int total = width(text);
    if (colours.opaque) {
        out.fill(RECT{x, y, x + total, y + cellHeight()}, colours.background, R2_COPYPEN);
    }
    drawGlyphs(out, x, y, text, colours.text);
    if (m_face.underline()) {
        rule(out, x, y, m_face.ascent() + 1, total, colours.text);
    }
    if (m_face.strikeOut()) {
        rule(out, x, y, m_face.ascent() - m_face.ascent() / 3, total, colours.text);
    }
    if (underlined >= 0 && static_cast<size_t>(underlined) < text.size()) {
        const auto at = static_cast<size_t>(underlined);
        const int start = x + width(text.substr(0, at));
        rule(out, start, y, m_face.ascent() + 1, advance(text, at), colours.text);
    }
}

void TextPainter::drawGlyphs(Rasteriser& out, int x, int y, std::string_view text,
                             COLORREF colour) {
    const int baseline = y + m_face.ascent();
    int penX = x;
    for (size_t pos = 0, length = 0; pos < text.size(); pos += length) {
        const Glyph& g = glyphAt(text, pos, length);
        if (!g.ink.empty()) {
            out.mask(penX + g.left, baseline - g.top, g.width, g.height, g.ink.data(), colour);
        }
        penX += g.advance;
    }
}

void TextPainter::rule(Rasteriser& out, int x, int cellTop, int offset, int width,
                       COLORREF colour) {
    // Kept inside the cell, where an opaque background has been painted.
    const int row = cellTop + std::clamp(offset, 0, std::max(cellHeight() - 1, 0));
    out.fill(RECT{x, row, x + width, row + 1}, colour, R2_COPYPEN);
}

} // namespace emu::gdi
