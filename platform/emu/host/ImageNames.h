// The names of a disk image's entries on their three sides: on the disk
// (long names in UTF-16, short names in the OEM code page), as mtools
// spells them (UTF-8, HostTool's locale) and in the drive's work folder,
// where the emulated machine reads them byte for byte in its ANSI code page
// (kernel/CodePage: 1252, or 932, 936, 949 or 950, whose double-byte
// characters may hold a trail byte '\\', '[' or ']'), the installation's
// (InstallationCodePage). A name is carried from one side to another only
// when it comes back the same; otherwise it is refused with the reason, so
// that two names never become one.
#pragma once

#include "platform/emu/host/ImageSpelling.h"
#include "platform/emu/hostsupport/Result.h"
#include "platform/emu/kernel/CodePage.h"

#include <string>
#include <string_view>

namespace emu::host {

class Mtools;

class ImageNames {
public:
    // A name as mtools prints it (UTF-8), spelt in the ANSI code page ansi.
    // Refused when it is no UTF-8 or holds a character the code page has no
    // place for (or spells like another), or a control character.
    static hostsupport::Result<std::string> toAnsi(std::string_view utf8,
                                                   const kernel::CodePage& ansi);

    // A name of the work folder (in ansi) as mtools takes it (UTF-8).
    // Refused when mtools would not write it exactly: in a name that fits a
    // short name, and so gets no long name, a character outside codePage,
    // the one mtools writes short names in ("€.TXT" becomes "E.TXT"), a
    // small letter outside ASCII ("ä.txt" becomes "Ä.txt") or a double-byte
    // character (mtools in 437 writes "ソフト.TXT" as the short name
    // "___.TXT" with a long name, where Windows writes the short name
    // itself; in 932 it writes "ダミ1.TXT" or cuts the name); or a control
    // character or bytes ansi reads as no character.
    static hostsupport::Result<std::string> toTool(std::string_view name,
                                                   const kernel::CodePage& ansi, int codePage);

    // A path of the work folder (in ansi) as mtools spells it, for an entry
    // the image holds already: nothing is made of its names, so any name
    // but one with a control character (or bytes ansi reads as no
    // character) comes back the same.
    static hostsupport::Result<std::string> toToolPath(std::string_view name,
                                                       const kernel::CodePage& ansi);

    // A path of the image ("WINDOWS/INF/A[1].INF", UTF-8) as mtools looks it
    // up, "::/" in front and every character it reads as a pattern ("*", "?",
    // "[", "]" and the backslash) escaped, so it names that entry and no other.
    static std::string literal(std::string_view path);
    // The same for a folder mmd makes: mtools takes the last name as given
    // and looks up only the folders above it.
    static std::string literalNew(std::string_view path);

    // Whether the work folder's names a and b (in ansi) are one name to the
    // emulated machine, which matches names without regard to case.
    static bool sameName(std::string_view a, std::string_view b, const kernel::CodePage& ansi);
    // The name as the machine tells names apart: sameName(a, b, ansi)
    // exactly when folded(a, ansi) == folded(b, ansi).
    static std::string folded(std::string_view name, const kernel::CodePage& ansi);

    // The spelling of the volume mtools reads (in 437 when shortNameCodePage
    // is a double-byte code page, else in shortNameCodePage) for a work
    // folder in ansi. Refused, naming the entry, when a short name does not
    // read as text of shortNameCodePage or ansi cannot spell it.
    static hostsupport::Result<ImageSpelling>
    spellingOf(const Mtools& image, const kernel::CodePage& ansi, int shortNameCodePage);
    // The code page mtools is given for a volume whose short names are in
    // shortNameCodePage: 437 for a double-byte one, else that one.
    static int toolCodePage(int shortNameCodePage);

    // A path of the image as mtools spells it (UTF-8, '/') in the work
    // folder's spelling; refused as toAnsi refuses.
    static hostsupport::Result<std::string> toAnsiPath(std::string_view path,
                                                       const ImageSpelling& spelling);
    // A path of the work folder as mtools spells it, for an entry the image
    // holds already (toToolPath, and the entries of spelling).
    static hostsupport::Result<std::string> toToolPath(std::string_view path,
                                                       const ImageSpelling& spelling);
};

} // namespace emu::host
