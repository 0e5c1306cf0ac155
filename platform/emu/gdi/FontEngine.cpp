#include "platform/emu/gdi/FontEngine.h"

#include "platform/emu/gdi/EditionFaces.h"
#include "platform/emu/gdi/FontconfigLibrary.h"
#include "platform/emu/kernel/CodePage.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iostream>
#include <stdexcept>

namespace emu::gdi {

namespace {

constexpr size_t kFaceCacheLimit = 64;
constexpr const char kSansSerifFamily[] = "MS Sans Serif";
constexpr const char kDebianSansSerif[] = "/usr/share/wine/fonts/sserife.fon";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The faces Windows 95 sets in "MS Sans Serif"; "MS Shell Dlg" is its alias
// for dialogs.
bool isSansSerif(const std::string& windowsName) {
    const std::string lower = lowerCase(windowsName);
    return lower == "ms sans serif" || lower == "ms shell dlg";
}

// Windows raster faces that have no outline equivalent under their own name.
std::string hostFamily(const std::string& windowsName) {
    const std::string lower = lowerCase(windowsName);
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

// fontconfig takes names in UTF-8; a logical font's are in the machine's
// ANSI code page.
std::string utf8Name(const std::string& ansiName) {
    const std::u32string characters =
        kernel::ansiCodePage().toUtf32(ansiName, false).value_or(std::u32string());
    std::string utf8;
    for (const char32_t c : characters) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else if (c < 0x800) {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            utf8 += static_cast<char>(0xE0 | (c >> 12));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            utf8 += static_cast<char>(0xF0 | (c >> 18));
            utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

// A face of the Japanese, Chinese or Korean editions asks for the families
// that stand for it in its language; any other face for itself.
HostFaceRequest hostRequest(const std::string& windowsName) {
    if (auto edition = EditionFaces::hostRequest(windowsName)) {
        return *edition;
    }
    return HostFaceRequest{{hostFamily(windowsName)}, ""};
}

std::shared_ptr<void> openLibrary() {
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        throw std::runtime_error("FreeType cannot be initialised");
    }
    return std::shared_ptr<void>(library,
                                 [](void* lib) { FT_Done_FreeType(static_cast<FT_Library>(lib)); });
}

// The file of a bitmap font fontconfig knows under the family name, if any.
std::string fontconfigFile(const FontconfigLibrary& fc, FcConfig* config, const char* family) {
    FcPattern* pattern = fc.PatternBuild(nullptr, FC_FAMILY, FcTypeString, family, FC_SCALABLE,
                                         FcTypeBool, FcFalse, nullptr);
    FcObjectSet* objects = fc.ObjectSetBuild(FC_FILE, nullptr);
    FcFontSet* found = pattern && objects ? fc.FontList(config, pattern, objects) : nullptr;
    std::string file;
    for (int i = 0; found && i < found->nfont && file.empty(); ++i) {
        FcChar8* name = nullptr;
        if (fc.PatternGetString(found->fonts[i], FC_FILE, 0, &name) == FcResultMatch && name) {
            file = reinterpret_cast<const char*>(name);
        }
    }
    if (found) {
        fc.FontSetDestroy(found);
    }
    if (objects) {
        fc.ObjectSetDestroy(objects);
    }
    if (pattern) {
        fc.PatternDestroy(pattern);
    }
    return file;
}

// What the answers of fontconfig come from (see FontMatchCache).
std::vector<std::string> fontconfigSources(const FontconfigLibrary& fc, FcConfig* config) {
    std::vector<std::string> sources;
    auto take = [&sources, &fc](FcStrList* list, bool withFolder) {
        if (list == nullptr) {
            return;
        }
        for (FcChar8* item; (item = fc.StrListNext(list)) != nullptr;) {
            const std::string path = reinterpret_cast<const char*>(item);
            sources.push_back(path);
            const size_t slash = path.rfind('/');
            if (withFolder && slash != std::string::npos && slash > 0) {
                sources.push_back(path.substr(0, slash));
            }
        }
        fc.StrListDone(list);
    };
    take(fc.ConfigGetConfigFiles(config), true);
    take(fc.ConfigGetConfigDirs(config), false);
    take(fc.ConfigGetFontDirs(config), false);
    for (std::string& place : FontMatchCache::userConfigPlaces()) {
        sources.push_back(std::move(place));
    }
    std::sort(sources.begin(), sources.end());
    sources.erase(std::unique(sources.begin(), sources.end()), sources.end());
    return sources;
}

// One line for a request: the families, the language if any, then two words
// from fixed sets.
std::string matchRequest(const HostFaceRequest& request, bool bold, bool italic) {
    std::string line;
    for (const std::string& family : request.families) {
        line += (line.empty() ? "" : ",") + family;
    }
    if (!request.language.empty()) {
        line += ":lang=" + request.language;
    }
    return line + (bold ? ":bold" : ":regular") + (italic ? ":italic" : ":roman");
}

} // namespace

FontEngine::FontEngine() : FontEngine(std::vector<std::string>{kDebianSansSerif}) {
    m_askFontconfig = true;
    m_matches = FontMatchCache(FontMatchCache::defaultPath());
}

FontEngine::FontEngine(std::vector<std::string> sansSerifFiles)
    : m_library(openLibrary()), m_sansSerifFiles(std::move(sansSerifFiles)), m_matches("") {}

FontEngine::~FontEngine() = default;

std::string FontEngine::faceName(const LOGFONTA& logical) {
    const char* name = logical.lfFaceName;
    const void* nul = std::memchr(name, '\0', LF_FACESIZE);
    const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - name)
                              : static_cast<size_t>(LF_FACESIZE);
    return std::string(name, length);
}

const FontconfigLibrary* FontEngine::fontconfig() {
    if (!m_fontconfigSought) {
        m_fontconfigSought = true;
        std::string error;
        m_fontconfig = FontconfigLibrary::load(error);
        if (m_fontconfig == nullptr) {
            std::cerr << "corvane: fontconfig cannot be loaded (" << error
                      << "); faces other than the bitmap \"MS Sans Serif\" are not found\n";
        }
    }
    return m_fontconfig;
}

void* FontEngine::config() {
    if (!m_config) {
        const FontconfigLibrary* fc = fontconfig();
        FcConfig* loaded = fc != nullptr ? fc->InitLoadConfigAndFonts() : nullptr;
        if (!loaded) {
            return nullptr;
        }
        auto destroy = fc->ConfigDestroy;
        m_config.reset(loaded, [destroy](void* c) { destroy(static_cast<FcConfig*>(c)); });
    }
    return m_config.get();
}

std::optional<RasterFontFile> FontEngine::findSansSerif() {
    for (const std::string& file : m_sansSerifFiles) {
        if (auto found = RasterFontFile::read(m_library.get(), file)) {
            return found;
        }
    }
    auto* config = static_cast<FcConfig*>(m_askFontconfig ? this->config() : nullptr);
    const std::string known =
        config ? fontconfigFile(*m_fontconfig, config, kSansSerifFamily) : std::string();
    return known.empty() ? std::nullopt : RasterFontFile::read(m_library.get(), known);
}

// Searched for once. Without it the dialogs still work, set in fontconfig's
// sans-serif, but their sizes are no longer Windows 95's: say so once.
const RasterFontFile* FontEngine::sansSerif() {
    if (!m_sansSerifSought) {
        m_sansSerifSought = true;
        m_sansSerif = findSansSerif();
        if (!m_sansSerif) {
            std::cerr << "corvane: the bitmap font \"MS Sans Serif\" (" << kDebianSansSerif
                      << ", package fonts-wine) was not found; dialogs and message boxes are "
                         "set in a substitute and their sizes differ from Windows 95\n";
        }
    }
    return m_sansSerif ? &*m_sansSerif : nullptr;
}

bool FontEngine::findFile(const HostFaceRequest& request, bool bold, bool italic, Match& match) {
    const std::string line = matchRequest(request, bold, italic);
    if (const auto kept = m_matches.find(line)) {
        match.file = kept->file;
        match.index = kept->index;
        match.bold = kept->weight >= FC_WEIGHT_BOLD;
        return true;
    }
    if (!askFontconfig(request, bold, italic, match)) {
        return false;
    }
    m_matches.store(line,
                    FontMatchCache::Answer{match.file, match.index,
                                           match.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR},
                    fontconfigSources(*m_fontconfig, static_cast<FcConfig*>(config())));
    return true;
}

bool FontEngine::askFontconfig(const HostFaceRequest& request, bool bold, bool italic,
                               Match& match) {
    auto* config = static_cast<FcConfig*>(this->config());
    if (!config) {
        return false;
    }
    // A configuration came from the library, so it is loaded.
    const FontconfigLibrary& fc = *m_fontconfig;
    FcPattern* pattern = fc.PatternCreate();
    if (!pattern) {
        return false;
    }
    for (const std::string& family : request.families) {
        fc.PatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    if (!request.language.empty()) {
        fc.PatternAddString(pattern, FC_LANG,
                            reinterpret_cast<const FcChar8*>(request.language.c_str()));
    }
    fc.PatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    fc.PatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    fc.PatternAddBool(pattern, FC_SCALABLE, FcTrue);
    fc.ConfigSubstitute(config, pattern, FcMatchPattern);
    fc.DefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* found = fc.FontMatch(config, pattern, &result);
    fc.PatternDestroy(pattern);
    if (!found) {
        return false;
    }
    FcChar8* file = nullptr;
    int weight = FC_WEIGHT_REGULAR;
    const bool ok = fc.PatternGetString(found, FC_FILE, 0, &file) == FcResultMatch && file;
    if (ok) {
        match.file = reinterpret_cast<const char*>(file);
        fc.PatternGetInteger(found, FC_INDEX, 0, &match.index);
        fc.PatternGetInteger(found, FC_WEIGHT, 0, &weight);
        match.bold = weight >= FC_WEIGHT_BOLD;
    }
    fc.PatternDestroy(found);
    return ok;
}

std::shared_ptr<FontFace> FontEngine::face(const LOGFONTA& logical) {
    std::shared_ptr<FontFace> named = namedFace(logical);
    const UINT codePage = kernel::ansiCodePage().number();
    const char* editionFace = EditionFaces::uiFace(codePage);
    const bool editionCharSet = logical.lfCharSet == DEFAULT_CHARSET ||
                                logical.lfCharSet == EditionFaces::charSet(codePage);
    if (editionFace == nullptr || !editionCharSet ||
        (named && named->hasGlyph(EditionFaces::sampleCharacter(codePage)))) {
        return named;
    }
    LOGFONTA edition = logical;
    std::memset(edition.lfFaceName, 0, LF_FACESIZE);
    std::strncpy(edition.lfFaceName, editionFace, LF_FACESIZE - 1);
    std::shared_ptr<FontFace> substitute = namedFace(edition);
    return substitute ? substitute : named;
}

std::shared_ptr<FontFace> FontEngine::namedFace(const LOGFONTA& logical) {
    const std::string name = utf8Name(faceName(logical));
    const bool bitmap = isSansSerif(name) && sansSerif() != nullptr;
    const HostFaceRequest request =
        bitmap ? HostFaceRequest{{kSansSerifFamily}, ""} : hostRequest(name);
    const Key key{matchRequest(request, false, false),
                  logical.lfHeight,
                  logical.lfWeight >= FW_BOLD,
                  logical.lfItalic != 0,
                  logical.lfUnderline != 0,
                  logical.lfStrikeOut != 0};
    const auto hit = m_faces.find(key);
    if (hit != m_faces.end()) {
        return hit->second;
    }
    std::shared_ptr<FontFace> face = bitmap ? bitmapFace(logical) : outlineFace(request, logical);
    if (!face) {
        return nullptr;
    }
    if (m_faces.size() >= kFaceCacheLimit) {
        m_faces.clear();
    }
    m_faces.emplace(key, face);
    return face;
}

// The bitmap font has no bold design: Windows thickens the regular one.
std::shared_ptr<FontFace> FontEngine::bitmapFace(const LOGFONTA& logical) {
    const RasterFontFile& file = *sansSerif();
    const RasterFontFile::Strike& strike = file.pick(logical.lfHeight);
    try {
        return std::make_shared<FontFace>(m_library, file.path(), strike.faceIndex, logical,
                                          logical.lfWeight >= FW_BOLD);
    } catch (const std::runtime_error&) {
        return nullptr;
    }
}

std::shared_ptr<FontFace> FontEngine::outlineFace(const HostFaceRequest& request,
                                                  const LOGFONTA& logical) {
    const bool bold = logical.lfWeight >= FW_BOLD;
    Match match;
    if (!findFile(request, bold, logical.lfItalic != 0, match)) {
        return nullptr;
    }
    try {
        return std::make_shared<FontFace>(m_library, match.file, match.index, logical,
                                          bold && !match.bold);
    } catch (const std::runtime_error&) {
        return nullptr;
    }
}

} // namespace emu::gdi
