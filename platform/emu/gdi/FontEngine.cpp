#include "platform/emu/gdi/FontEngine.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace emu::gdi {

namespace {

constexpr size_t kFaceCacheLimit = 64;

// Windows raster faces that have no outline equivalent under their own name.
std::string hostFamily(const std::string& windowsName) {
    std::string lower = windowsName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower.empty() || lower == "system" || lower == "ms sans serif" || lower == "ms shell dlg") {
        return "sans-serif";
    }
    if (lower == "courier" || lower == "fixedsys" || lower == "terminal") {
        return "monospace";
    }
    if (lower == "ms serif") {
        return "serif";
    }
    return windowsName;
}

std::shared_ptr<void> openLibrary() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        throw std::runtime_error("FreeType cannot be initialised");
    }
    return std::shared_ptr<void>(library,
                                 [](void* lib) { FT_Done_FreeType(static_cast<FT_Library>(lib)); });
}

} // namespace

FontEngine::FontEngine() : m_library(openLibrary()) {}

FontEngine::~FontEngine() = default;

std::string FontEngine::faceName(const LOGFONTA& logical) {
    const char* name = logical.lfFaceName;
    const void* nul = std::memchr(name, '\0', LF_FACESIZE);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - name)
                              : static_cast<size_t>(LF_FACESIZE);
    return std::string(name, length);
}

bool FontEngine::findFile(const std::string& family, bool bold, bool italic, Match& match) {
    if (!m_config) {
        FcConfig* loaded = FcInitLoadConfigAndFonts();
        if (!loaded) {
            return false;
        }
        m_config.reset(loaded, [](void* c) { FcConfigDestroy(static_cast<FcConfig*>(c)); });
    }
    auto* config = static_cast<FcConfig*>(m_config.get());
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) {
        return false;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!found) {
        return false;
    }
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR;
    const bool ok = FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        match.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(found, FC_INDEX, 0, &match.index);
        FcPatternGetInteger(found, FC_WEIGHT, 0, &weight);
        match.bold = weight >= FC_WEIGHT_BOLD;
    }
    FcPatternDestroy(found);
    return ok;
}

std::shared_ptr<FontFace> FontEngine::face(const LOGFONTA& logical) {
    const bool bold = logical.lfWeight >= FW_BOLD;
    const bool italic = logical.lfItalic != 0;
    const std::string family = hostFamily(faceName(logical));
    const Key key{family, logical.lfHeight,         bold,
                  italic, logical.lfUnderline != 0, logical.lfStrikeOut != 0};
    const auto hit = m_faces.find(key);
    if (hit != m_faces.end()) {
        return hit->second;
    }
    Match match;
    if (!findFile(family, bold, italic, match)) {
        return nullptr;
    }
    std::shared_ptr<FontFace> face;
    try {
        face = std::make_shared<FontFace>(m_library, match.file, match.index, logical,
                                          bold && !match.bold);
    } catch (const std::runtime_error&) {
        return nullptr;
    }
    if (m_faces.size() >= kFaceCacheLimit) {
        m_faces.clear();
    }
    m_faces.emplace(key, face);
    return face;
}

} // namespace emu::gdi
