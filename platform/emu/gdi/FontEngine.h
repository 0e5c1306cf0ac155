// Finds fonts for logical fonts and renders them with FreeType. "MS Sans
// Serif", the type of dialogs, message boxes, buttons and captions, is
// Windows' own bitmap font (sserife.fon from fonts-wine), so that dialog units
// and text extents come out as on Windows 95; every other face is picked by
// fontconfig (so a Windows face name maps to a metric-compatible face, and a
// missing face to a substitute); the faces of the Japanese, Chinese and
// Korean editions are asked for as EditionFaces says. Face names are in the
// machine's ANSI code page. Faces are cached by everything that shapes them.
#pragma once

#include "platform/emu/gdi/EditionFaces.h"
#include "platform/emu/gdi/FontFace.h"
#include "platform/emu/gdi/FontMatchCache.h"
#include "platform/emu/gdi/RasterFontFile.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace emu::gdi {

struct FontconfigLibrary;

class FontEngine {
public:
    // Looks for the bitmap "MS Sans Serif" where Debian's fonts-wine puts it,
    // then among the fonts fontconfig knows; keeps fontconfig's answers in
    // the user's cache folder.
    FontEngine();
    // Looks for it in `sansSerifFiles` only, in order; asks fontconfig every
    // time.
    explicit FontEngine(std::vector<std::string> sansSerifFiles);
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // The face for a logical font; nullptr when no usable font file exists.
    // On a machine of a double-byte code page a font of its edition's
    // character set (or DEFAULT_CHARSET) whose face lacks the edition's
    // characters gets the edition's face, as Windows' font mapper puts the
    // character set before the face name.
    std::shared_ptr<FontFace> face(const LOGFONTA& logical);

    // The face name of a logical font: at most LF_FACESIZE bytes, cut at the
    // first NUL, whether or not the field holds one.
    static std::string faceName(const LOGFONTA& logical);

private:
    struct Match {
        std::string file;
        int index = 0;
        bool bold = false;
    };
    using Key = std::tuple<std::string, LONG, bool, bool, bool, bool>;

    // The kept answer, else fontconfig's (then kept).
    bool findFile(const HostFaceRequest& request, bool bold, bool italic, Match& match);
    bool askFontconfig(const HostFaceRequest& request, bool bold, bool italic, Match& match);
    // The fontconfig library, loaded on first use; nullptr, said once on
    // stderr, when it cannot be.
    const FontconfigLibrary* fontconfig();
    void* config(); // FcConfig, loaded on first use; nullptr without fontconfig
    const RasterFontFile* sansSerif();
    std::optional<RasterFontFile> findSansSerif();
    // The face the logical font names, or its substitute.
    std::shared_ptr<FontFace> namedFace(const LOGFONTA& logical);
    std::shared_ptr<FontFace> bitmapFace(const LOGFONTA& logical);
    std::shared_ptr<FontFace> outlineFace(const HostFaceRequest& request, const LOGFONTA& logical);

    std::shared_ptr<void> m_library;
    // The fontconfig configuration (FcConfig), loaded on first use and
    // released with the engine.
    std::shared_ptr<void> m_config;
    const FontconfigLibrary* m_fontconfig = nullptr;
    bool m_fontconfigSought = false;
    std::vector<std::string> m_sansSerifFiles;
    bool m_askFontconfig = false;
    bool m_sansSerifSought = false;
    std::optional<RasterFontFile> m_sansSerif;
    std::map<Key, std::shared_ptr<FontFace>> m_faces;
    FontMatchCache m_matches;
};

} // namespace emu::gdi
