#include "platform/emu/gdi/RasterFontFile.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_WINFONTS_H

#include <algorithm>
#include <cstdlib>

namespace emu::gdi {

namespace {

// Windows' size when a logical font asks for height 0.
constexpr LONG kDefaultCellHeight = 16;

std::optional<RasterFontFile::Strike> readStrike(FT_Library library, const std::string& path,
                                                 long index) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), index, &face) != 0) {
        return std::nullopt;
    }
    FT_WinFNT_HeaderRec header{};
    std::optional<RasterFontFile::Strike> strike;
    if (!FT_IS_SCALABLE(face) && FT_Get_WinFNT_Header(face, &header) == 0) {
        strike = RasterFontFile::Strike{static_cast<int>(index), header.pixel_height,
                                        header.pixel_height - header.internal_leading};
    }
    FT_Done_Face(face);
    return strike;
}

long faceCount(FT_Library library, const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(library, path.c_str(), -1, &face) != 0) {
        return 0;
    }
    const long count = face->num_faces;
    FT_Done_Face(face);
    return count;
}

} // namespace

std::optional<RasterFontFile> RasterFontFile::read(void* library, const std::string& path) {
    auto* freetype = static_cast<FT_Library>(library);
    RasterFontFile file;
    file.m_path = path;
    const long count = faceCount(freetype, path);
    for (long index = 0; index < count; ++index) {
        if (auto strike = readStrike(freetype, path, index)) {
            file.m_strikes.push_back(*strike);
        }
    }
    if (file.m_strikes.empty()) {
        return std::nullopt;
    }
    std::sort(file.m_strikes.begin(), file.m_strikes.end(),
              [](const Strike& a, const Strike& b) { return a.cellHeight < b.cellHeight; });
    return file;
}

const RasterFontFile::Strike& RasterFontFile::pick(LONG logicalHeight) const {
    const LONG wanted = logicalHeight == 0 ? kDefaultCellHeight : std::labs(logicalHeight);
    const bool byCharacter = logicalHeight < 0;
    const Strike* chosen = &m_strikes.front();
    for (const Strike& strike : m_strikes) {
        const int height = byCharacter ? strike.characterHeight : strike.cellHeight;
        if (height <= wanted) {
            chosen = &strike;
        }
    }
    return *chosen;
}

} // namespace emu::gdi
