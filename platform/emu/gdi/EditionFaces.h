// The faces the Japanese, Chinese and Korean editions of Windows 95 name,
// and what fontconfig is asked for each: the Debian families that stand for
// them, in order, then a generic family in the edition's language, so that a
// machine without those families still gets a face that has the edition's
// characters. The edition of a double-byte code page also sets its captions,
// menus and message boxes in a face of its own instead of "MS Sans Serif",
// and its font mapper gives a logical font of the edition's character set
// (DEFAULT_CHARSET there) a face that has its characters.
#pragma once

#include "platform/win32.h"

#include <optional>
#include <string>
#include <vector>

namespace emu::gdi {

struct HostFaceRequest {
    std::vector<std::string> families; // fontconfig families, the first preferred
    std::string language;              // fontconfig's language tag: "ja", "zh-tw"...
};

class EditionFaces {
public:
    // The request for a face name (UTF-8) that one of those editions ships,
    // under its localised or its English name, Latin letters in any case;
    // nothing for another face.
    static std::optional<HostFaceRequest> hostRequest(const std::string& windowsName);

    // The user-interface face of the edition of a double-byte ANSI code page
    // (932, 936, 949, 950), as that code page's bytes; nullptr for another
    // code page, whose edition uses "MS Sans Serif".
    static const char* uiFace(UINT codePage);
    // Its height: 9 points at the display's 96 dots per inch.
    static constexpr LONG kUiFaceHeight = -12;

    // The character set of that code page's edition (Shift JIS, GB 2312,
    // Hangul, Big5), which DEFAULT_CHARSET stands for there; 0 for another
    // code page.
    static BYTE charSet(UINT codePage);
    // A character every face with the edition's characters has (a kana, a
    // Han character, a Hangul syllable); 0 for another code page.
    static char32_t sampleCharacter(UINT codePage);
};

} // namespace emu::gdi
