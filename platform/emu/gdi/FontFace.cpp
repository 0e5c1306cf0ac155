#include "platform/emu/gdi/FontFace.h"

#include "platform/emu/kernel/CodePage.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace emu::gdi {

namespace {

// Windows' size when a logical font asks for height 0.
constexpr LONG kDefaultCellHeight = 16;
constexpr LONG kMaxHeight = 1000;
constexpr size_t kGlyphCacheLimit = 2048;

FT_Face asFace(void* face) {
    return static_cast<FT_Face>(face);
}

struct VerticalMetrics {
    long ascent;
    long descent;
};

// The cell of a TrueType font is its Windows ascent plus descent (OS/2
// table); other formats fall back to the general ascender and descender.
VerticalMetrics cellMetrics(FT_Face face) {
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->usWinAscent + os2->usWinDescent > 0) {
        return {os2->usWinAscent, os2->usWinDescent};
    }
    const long ascent = std::max<long>(face->ascender, 1);
    return {ascent, std::max<long>(-face->descender, 0)};
}

// The rendered bitmap as one byte per pixel; nothing for an empty glyph.
void copyInk(const FT_Bitmap& bitmap, Glyph& glyph) {
    if (bitmap.pitch <= 0 || !bitmap.buffer) {
        return;
    }
    glyph.width = static_cast<int>(bitmap.width);
    glyph.height = static_cast<int>(bitmap.rows);
    glyph.ink.assign(static_cast<size_t>(glyph.width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y) {
        const unsigned char* src = bitmap.buffer + static_cast<size_t>(y) * bitmap.pitch;
        for (int x = 0; x < glyph.width; ++x) {
            const bool inked = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                   ? (src[x >> 3] & (0x80 >> (x & 7))) != 0
                                   : src[x] >= 128;
            glyph.ink[static_cast<size_t>(y) * glyph.width + x] = inked ? 1 : 0;
        }
    }
}

// Windows draws a bold it has no design for by setting each glyph twice, the
// second time one pixel to the right, and spaces the characters one pixel
// wider.
void overstrike(Glyph& glyph) {
    const int width = glyph.width + 1;
    std::vector<uint8_t> ink(static_cast<size_t>(width) * glyph.height, 0);
    for (int y = 0; y < glyph.height; ++y) {
        const uint8_t* src = glyph.ink.data() + static_cast<size_t>(y) * glyph.width;
        uint8_t* dst = ink.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < glyph.width; ++x) {
            dst[x] |= src[x];
            dst[x + 1] |= src[x];
        }
    }
    glyph.ink = std::move(ink);
    glyph.width = width;
    glyph.advance += 1;
}

} // namespace

FontFace::FontFace(std::shared_ptr<void> library, const std::string& file, int faceIndex,
                   const LOGFONTA& logical, bool synthesiseBold)
    : m_library(std::move(library)), m_embolden(synthesiseBold),
      m_underline(logical.lfUnderline != 0), m_strikeOut(logical.lfStrikeOut != 0) {
    FT_Face face = nullptr;
    if (FT_New_Face(static_cast<FT_Library>(m_library.get()), file.c_str(), faceIndex, &face) !=
        0) {
        throw std::runtime_error("cannot open font file " + file);
    }
    m_face = face;
    if (FT_IS_SCALABLE(face)) {
        chooseSize(logical.lfHeight);
    } else if (face->num_fixed_sizes > 0 && FT_Select_Size(face, 0) == 0) {
        useBitmapSize();
    } else {
        FT_Done_Face(face);
        m_face = nullptr;
        throw std::runtime_error("font file " + file + " has no usable size");
    }
}

FontFace::~FontFace() {
    if (m_face) {
        FT_Done_Face(asFace(m_face));
    }
}

void FontFace::chooseSize(LONG requestedHeight) {
    FT_Face face = asFace(m_face);
    const VerticalMetrics design = cellMetrics(face);
    const double designCell = static_cast<double>(design.ascent + design.descent);
    LONG height = requestedHeight == 0 ? kDefaultCellHeight : requestedHeight;
    height = std::clamp<LONG>(height, -kMaxHeight, kMaxHeight);
    double emPixels = 0;
    if (height > 0) {
        // A positive height is the cell height: the em is scaled to fit it.
        emPixels = height * face->units_per_EM / designCell;
        m_ascent = static_cast<int>(std::lround(design.ascent * height / designCell));
        m_descent = height - m_ascent;
    } else {
        // A negative height is the character (em) height.
        emPixels = -height;
        const double scale = emPixels / face->units_per_EM;
        m_ascent = static_cast<int>(std::lround(design.ascent * scale));
        m_descent = static_cast<int>(std::lround(design.descent * scale));
    }
    const auto em26 = static_cast<FT_F26Dot6>(std::lround(std::max(emPixels, 1.0) * 64));
    FT_Set_Char_Size(face, 0, em26, 72, 72);
}

void FontFace::useBitmapSize() {
    FT_Face face = asFace(m_face);
    m_bitmap = true;
    m_ascent = static_cast<int>(face->size->metrics.ascender >> 6);
    m_descent = face->available_sizes[0].height - m_ascent;
    // FreeType leaves a Windows bitmap font's code page charmap unselected.
    if (!face->charmap && face->num_charmaps > 0) {
        FT_Set_Charmap(face, face->charmaps[0]);
        m_byteCodes = face->charmap->encoding == FT_ENCODING_NONE;
    }
}

unsigned FontFace::glyphIndex(char32_t codePoint) const {
    FT_Face face = asFace(m_face);
    if (!m_byteCodes) {
        return FT_Get_Char_Index(face, codePoint);
    }
    // Windows' bitmap fonts are set in code page 1252, whatever the
    // machine's: look the glyph up by its byte there.
    const kernel::CodePage& fontCodePage = kernel::CodePage::windows1252();
    for (unsigned byte = 0; byte < 256; ++byte) {
        if (fontCodePage.toUnicode(static_cast<unsigned char>(byte)) == codePoint) {
            return FT_Get_Char_Index(face, byte);
        }
    }
    return 0;
}

const Glyph& FontFace::glyph(char32_t codePoint) {
    const auto hit = m_glyphs.find(codePoint);
    if (hit != m_glyphs.end()) {
        return hit->second;
    }
    if (m_glyphs.size() >= kGlyphCacheLimit) {
        m_glyphs.clear();
    }
    return m_glyphs.emplace(codePoint, render(codePoint)).first->second;
}

Glyph FontFace::render(char32_t codePoint) const {
    Glyph result;
    FT_Face face = asFace(m_face);
    const FT_UInt index = glyphIndex(codePoint);
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) {
        return result;
    }
    FT_GlyphSlot slot = face->glyph;
    if (m_embolden && slot->format == FT_GLYPH_FORMAT_OUTLINE) {
        // A face without a bold design: thicken the outline by 1/24 em.
        const FT_Pos strength = FT_MulFix(face->units_per_EM, face->size->metrics.y_scale) / 24;
        FT_Outline_Embolden(&slot->outline, strength);
        slot->advance.x += strength;
    }
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) {
        return result;
    }
    result.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    result.left = slot->bitmap_left;
    result.top = slot->bitmap_top;
    copyInk(slot->bitmap, result);
    if (m_embolden && m_bitmap) {
        overstrike(result);
    }
    return result;
}

} // namespace emu::gdi
