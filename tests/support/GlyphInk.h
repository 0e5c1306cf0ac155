// Tells a glyph drawn on the emulated screen from a face's missing-glyph box.
// A box is an outline: every inked pixel of its cell lies within two pixels
// of the ink's bounding rectangle, however thick a synthesised bold makes
// its strokes. A Chinese, Japanese or Korean glyph has strokes across its
// middle, so ink lies inside that ring.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

namespace corvane_test {

struct GlyphInk {
    int ink = 0;      // pixels of the ink colour in the cell
    int interior = 0; // of them, those more than two pixels inside their bounds
    bool drawn() const { return interior >= 4; }
    bool missingBox() const { return ink > 0 && interior == 0; }
};

// The ink of one colour in a rectangle of the screen.
GlyphInk glyphInk(const RECT& cell, COLORREF ink);

// The cells of the characters of ANSI text (in the machine's code page, a
// double-byte character one cell) drawn from left at rows top to bottom in
// the font, measured with GetTextExtentPoint32A as the drawing measures them.
struct CharacterCell {
    std::string character; // its bytes
    RECT cell;
};
std::vector<CharacterCell> characterCells(HFONT font, const std::string& text, int left, int top,
                                          int bottom);

} // namespace corvane_test
