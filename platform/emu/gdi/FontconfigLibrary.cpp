#include "platform/emu/gdi/FontconfigLibrary.h"

#include "platform/emu/hostsupport/HostLibrary.h"

namespace emu::gdi {

namespace {

struct Loaded {
    FontconfigLibrary functions;
    bool complete = false;
    std::string error;
};

Loaded loadLibrary() {
    Loaded loaded;
    hostsupport::HostLibrary library;
    if (!library.open(FontconfigLibrary::kFileName, loaded.error)) {
        return loaded;
    }
    FontconfigLibrary& fc = loaded.functions;
    library.resolve("FcInitLoadConfigAndFonts", fc.InitLoadConfigAndFonts);
    library.resolve("FcConfigDestroy", fc.ConfigDestroy);
    library.resolve("FcConfigGetConfigFiles", fc.ConfigGetConfigFiles);
    library.resolve("FcConfigGetConfigDirs", fc.ConfigGetConfigDirs);
    library.resolve("FcConfigGetFontDirs", fc.ConfigGetFontDirs);
    library.resolve("FcConfigSubstitute", fc.ConfigSubstitute);
    library.resolve("FcDefaultSubstitute", fc.DefaultSubstitute);
    library.resolve("FcStrListNext", fc.StrListNext);
    library.resolve("FcStrListDone", fc.StrListDone);
    library.resolve("FcPatternBuild", fc.PatternBuild);
    library.resolve("FcPatternCreate", fc.PatternCreate);
    library.resolve("FcPatternDestroy", fc.PatternDestroy);
    library.resolve("FcPatternAddString", fc.PatternAddString);
    library.resolve("FcPatternAddInteger", fc.PatternAddInteger);
    library.resolve("FcPatternAddBool", fc.PatternAddBool);
    library.resolve("FcPatternGetString", fc.PatternGetString);
    library.resolve("FcPatternGetInteger", fc.PatternGetInteger);
    library.resolve("FcObjectSetBuild", fc.ObjectSetBuild);
    library.resolve("FcObjectSetDestroy", fc.ObjectSetDestroy);
    library.resolve("FcFontList", fc.FontList);
    library.resolve("FcFontSetDestroy", fc.FontSetDestroy);
    library.resolve("FcFontMatch", fc.FontMatch);
    loaded.complete = library.complete(loaded.error);
    return loaded;
}

} // namespace

const FontconfigLibrary* FontconfigLibrary::load(std::string& error) {
    static const Loaded loaded = loadLibrary();
    if (!loaded.complete) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

} // namespace emu::gdi
