// Tells a glyph drawn on the emulated screen from a face's missing-glyph
// shape. That shape is the face's own (an empty rectangle, a rectangle with a
// cross...): a face draws it for a lone lead byte, so a test draws one to
// learn it, then compares each character cell's ink with it. A cell with no
// ink inside the two-pixel ring along its ink's bounds is an outline, never
// a glyph of these scripts either.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

namespace corvane_test {

struct GlyphInk {
    int ink = 0;      // pixels of the ink colour in the cell
    int interior = 0; // of them, those more than two pixels inside their bounds
    // The ink within its bounds, row after row.
    int width = 0;
    int height = 0;
    std::vector<bool> shape;

    bool sameShape(const GlyphInk& other) const {
        return width == other.width && height == other.height && shape == other.shape;
    }
    // A glyph with strokes inside its bounds that is not the missing-glyph shape.
    bool drawnUnlike(const GlyphInk& missing) const { return interior >= 4 && !sameShape(missing); }
};

// The ink of one colour in a rectangle of the screen.
GlyphInk glyphInk(const RECT& cell, COLORREF ink);

// The face's missing-glyph shape: a lone lead byte of the machine's code page
// drawn in black on white in the font at the top-left of spot (which it
// paints over).
GlyphInk missingGlyph(HFONT font, char leadByte, const RECT& spot);

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
