// The fontconfig functions the font engine calls, taken from the fontconfig
// library the first time a face name has no kept answer (FontMatchCache).
// The executable does not link fontconfig: a run whose answers are all kept,
// and the command-line answers, start without it and the XML parser it
// brings.
#pragma once

#include "platform/emu/hostsupport/HostLibrary.h"

#include <fontconfig/fontconfig.h>

#include <string>

namespace emu::gdi {

struct FontconfigLibrary {
    // The library's file name as the dynamic loader looks it up (its soname).
    static constexpr const char* kFileName = "libfontconfig.so.1";

    // The functions, loaded once per process and kept for its life; nullptr,
    // with the loader's reason in error, when the library or one of the
    // functions is missing.
    static const FontconfigLibrary* load(std::string& error) {
        return hostsupport::loadOnce<FontconfigLibrary>(error);
    }
    // Looks every function up in the opened library.
    void resolveAll(hostsupport::HostLibrary& library);

    decltype(&FcInitLoadConfigAndFonts) InitLoadConfigAndFonts = nullptr;
    decltype(&FcConfigDestroy) ConfigDestroy = nullptr;
    decltype(&FcConfigGetConfigFiles) ConfigGetConfigFiles = nullptr;
    decltype(&FcConfigGetConfigDirs) ConfigGetConfigDirs = nullptr;
    decltype(&FcConfigGetFontDirs) ConfigGetFontDirs = nullptr;
    decltype(&FcConfigSubstitute) ConfigSubstitute = nullptr;
    decltype(&FcDefaultSubstitute) DefaultSubstitute = nullptr;
    decltype(&FcStrListNext) StrListNext = nullptr;
    decltype(&FcStrListDone) StrListDone = nullptr;
    decltype(&FcPatternBuild) PatternBuild = nullptr;
    decltype(&FcPatternCreate) PatternCreate = nullptr;
    decltype(&FcPatternDestroy) PatternDestroy = nullptr;
    decltype(&FcPatternAddString) PatternAddString = nullptr;
    decltype(&FcPatternAddInteger) PatternAddInteger = nullptr;
    decltype(&FcPatternAddBool) PatternAddBool = nullptr;
    decltype(&FcPatternGetString) PatternGetString = nullptr;
    decltype(&FcPatternGetInteger) PatternGetInteger = nullptr;
    decltype(&FcObjectSetBuild) ObjectSetBuild = nullptr;
    decltype(&FcObjectSetDestroy) ObjectSetDestroy = nullptr;
    decltype(&FcFontList) FontList = nullptr;
    decltype(&FcFontSetDestroy) FontSetDestroy = nullptr;
    decltype(&FcFontMatch) FontMatch = nullptr;
};

} // namespace emu::gdi
