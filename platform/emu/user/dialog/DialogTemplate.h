// A dialog template (DLGTEMPLATE and its DLGITEMTEMPLATEs) read from the bytes
// a program hands to CreateDialogIndirectParamA. Strings are UTF-16 in the
// template and ANSI here; every read is checked against the size given, so a
// malformed template is refused rather than read past.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>
#include <vector>

namespace emu::user {

class DialogTemplate {
public:
    // Windows 95 dialogs hold at most 255 controls.
    static constexpr size_t kMaxItems = 255;
    static constexpr size_t kMaxText = 1024;

    struct Item {
        DWORD style = 0;
        DWORD exStyle = 0;
        short x = 0;
        short y = 0;
        short cx = 0;
        short cy = 0;
        WORD id = 0;
        // A class ordinal (0x0080 "Button" ...) is given as the class's name.
        std::string className;
        std::string text;
        std::vector<unsigned char> creationData;
    };

    static std::optional<DialogTemplate> parse(const unsigned char* data, size_t size);

    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0;
    short y = 0;
    short cx = 0;
    short cy = 0;
    // Empty for the standard dialog class.
    std::string className;
    std::string caption;
    bool hasFont = false;
    WORD pointSize = 0;
    std::string faceName;
    std::vector<Item> items;
};

} // namespace emu::user
