#include "platform/emu/gdi/FontconfigLibrary.h"

namespace emu::gdi {

void FontconfigLibrary::resolveAll(hostsupport::HostLibrary& library) {
    library.resolve("FcInitLoadConfigAndFonts", InitLoadConfigAndFonts);
    library.resolve("FcConfigDestroy", ConfigDestroy);
    library.resolve("FcConfigGetConfigFiles", ConfigGetConfigFiles);
    library.resolve("FcConfigGetConfigDirs", ConfigGetConfigDirs);
    library.resolve("FcConfigGetFontDirs", ConfigGetFontDirs);
    library.resolve("FcConfigSubstitute", ConfigSubstitute);
    library.resolve("FcDefaultSubstitute", DefaultSubstitute);
    library.resolve("FcStrListNext", StrListNext);
    library.resolve("FcStrListDone", StrListDone);
    library.resolve("FcPatternBuild", PatternBuild);
    library.resolve("FcPatternCreate", PatternCreate);
    library.resolve("FcPatternDestroy", PatternDestroy);
    library.resolve("FcPatternAddString", PatternAddString);
    library.resolve("FcPatternAddInteger", PatternAddInteger);
    library.resolve("FcPatternAddBool", PatternAddBool);
    library.resolve("FcPatternGetString", PatternGetString);
    library.resolve("FcPatternGetInteger", PatternGetInteger);
    library.resolve("FcObjectSetBuild", ObjectSetBuild);
    library.resolve("FcObjectSetDestroy", ObjectSetDestroy);
    library.resolve("FcFontList", FontList);
    library.resolve("FcFontSetDestroy", FontSetDestroy);
    library.resolve("FcFontMatch", FontMatch);
}

} // namespace emu::gdi
