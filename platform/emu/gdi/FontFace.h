// One font file at one size and weight, rendered in monochrome as Windows 95
// renders screen text: an outline face scaled to the logical height, or one
// size of a bitmap font as it is. Glyphs are rendered once and kept: menus
// redraw every label on each mouse move.
#pragma once

#include "platform/win32.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace emu::gdi {

struct Glyph {
    int advance = 0;
    // Bitmap placement relative to the pen position on the baseline.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // One byte per pixel, 1 where the glyph is inked, row after row.
    std::vector<uint8_t> ink;
};

class FontFace {
public:
    // `library` is the FreeType library (FT_Library) shared by every face; it
    // is kept alive as long as the face. A bitmap face keeps its own size
    // whatever the logical height. `synthesiseBold` thickens a face that has
    // no bold design. Throws std::runtime_error when the file cannot be used.
    FontFace(std::shared_ptr<void> library, const std::string& file, int faceIndex,
             const LOGFONTA& logical, bool synthesiseBold);
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    int ascent() const { return m_ascent; }
    int descent() const { return m_descent; }
    int cellHeight() const { return m_ascent + m_descent; }
    bool underline() const { return m_underline; }
    bool strikeOut() const { return m_strikeOut; }

    const Glyph& glyph(char32_t codePoint);
    // Whether the face has a glyph of its own for the character (not its
    // missing-glyph shape).
    bool hasGlyph(char32_t codePoint) const { return glyphIndex(codePoint) != 0; }

private:
    void chooseSize(LONG requestedHeight);
    void useBitmapSize();
    unsigned glyphIndex(char32_t codePoint) const;
    Glyph render(char32_t codePoint) const;

    std::shared_ptr<void> m_library;
    void* m_face = nullptr; // FT_Face
    bool m_embolden;
    bool m_bitmap = false;
    // A bitmap font's character codes are its code page's bytes, not Unicode.
    bool m_byteCodes = false;
    bool m_underline;
    bool m_strikeOut;
    int m_ascent = 0;
    int m_descent = 0;
    std::unordered_map<char32_t, Glyph> m_glyphs;
};

} // namespace emu::gdi
