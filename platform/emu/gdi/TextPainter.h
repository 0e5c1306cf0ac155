// Measures and draws Windows-1252 text in one font face. Glyphs are set
// pixel for pixel (no anti-aliasing), so drawing the same text twice at the
// same place in TRANSPARENT mode changes nothing.
#pragma once

#include "platform/emu/gdi/FontFace.h"
#include "platform/emu/gdi/Rasteriser.h"

#include <string_view>

namespace emu::gdi {

struct TextColours {
    COLORREF text = 0;       // a colour of the display
    COLORREF background = 0; // a colour of the display
    bool opaque = false;     // fill the text cells with the background first
};

class TextPainter {
public:
    explicit TextPainter(FontFace& face) : m_face(face) {}

    int advance(unsigned char c);
    int width(std::string_view text);
    int cellHeight() const { return m_face.cellHeight(); }

    // Draws `text` with the top-left corner of its cell at logical (x, y);
    // the character at `underlined` (if any) gets a mnemonic underline.
    void draw(Rasteriser& out, int x, int y, std::string_view text, const TextColours& colours,
              int underlined = -1);

private:
    void drawGlyphs(Rasteriser& out, int x, int y, std::string_view text, COLORREF colour);
    void rule(Rasteriser& out, int x, int cellTop, int offset, int width, COLORREF colour);

    FontFace& m_face;
};

} // namespace emu::gdi
