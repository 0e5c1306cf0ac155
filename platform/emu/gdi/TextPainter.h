// Measures and draws text of the machine's ANSI code page in one font face:
// each character one glyph, a double-byte character (lead and trail byte)
// as much as a single-byte one. Glyphs are set pixel for pixel (no
// anti-aliasing), so drawing the same text twice at the same place in
// TRANSPARENT mode changes nothing.
#pragma once

#include "platform/emu/gdi/FontFace.h"
#include "platform/emu/gdi/Rasteriser.h"

#include <string_view>

namespace emu::kernel {
class CodePage;
}

namespace emu::gdi {

struct TextColours {
    COLORREF text = 0;       // a colour of the display
    COLORREF background = 0; // a colour of the display
    bool opaque = false;     // fill the text cells with the background first
};

class TextPainter {
public:
    // Text in the running machine's ANSI code page.
    explicit TextPainter(FontFace& face);
    TextPainter(FontFace& face, const kernel::CodePage& codePage)
        : m_face(face), m_codePage(codePage) {}

    // The bytes of the character at pos: 2 for a double-byte one, 0 at the end.
    size_t charLength(std::string_view text, size_t pos) const;
    // The advance of the character at pos.
    int advance(std::string_view text, size_t pos);
    int width(std::string_view text);
    int cellHeight() const { return m_face.cellHeight(); }

    // Draws `text` with the top-left corner of its cell at logical (x, y);
    // the character starting at byte `underlined` (if any) gets a mnemonic
    // underline.
    void draw(Rasteriser& out, int x, int y, std::string_view text, const TextColours& colours,
              int underlined = -1);

private:
    // The glyph of the character at pos, and its length in bytes.
    const Glyph& glyphAt(std::string_view text, size_t pos, size_t& length);
    void drawGlyphs(Rasteriser& out, int x, int y, std::string_view text, COLORREF colour);
    void rule(Rasteriser& out, int x, int cellTop, int offset, int width, COLORREF colour);

    FontFace& m_face;
    const kernel::CodePage& m_codePage;
};

} // namespace emu::gdi
