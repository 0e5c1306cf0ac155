// Finds fonts for logical fonts: fontconfig picks the file (so a Windows face
// name maps to a metric-compatible face, and a missing face to a substitute),
// FreeType renders it. Faces are cached by everything that shapes them.
#pragma once

#include "platform/emu/gdi/FontFace.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace emu::gdi {

class FontEngine {
public:
    FontEngine();
    ~FontEngine();
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    // The face for a logical font; nullptr when no usable font file exists.
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

    bool findFile(const std::string& family, bool bold, bool italic, Match& match);

    std::shared_ptr<void> m_library;
    // The fontconfig configuration (FcConfig), loaded on first use and
    // released with the engine.
    std::shared_ptr<void> m_config;
    std::map<Key, std::shared_ptr<FontFace>> m_faces;
};

} // namespace emu::gdi
