// The names of a disk image's entries on their three sides: on the disk
// (long names in UTF-16, short names in the OEM code page), as mtools
// spells them (UTF-8, HostTool's locale) and in the drive's work folder,
// where the emulated machine reads them byte for byte in its ANSI code page
// (1252, kernel/CodePage). A name is carried from one side to another only
// when it comes back the same; otherwise it is refused with the reason, so
// that two names never become one.
#pragma once

#include "platform/emu/hostsupport/Result.h"

#include <string>
#include <string_view>

namespace emu::host {

class ImageNames {
public:
    // A name as mtools prints it (UTF-8), spelt in the ANSI code page.
    // Refused when it is no UTF-8 or holds a character the code page has no
    // place for, or a control character.
    static hostsupport::Result<std::string> toAnsi(std::string_view utf8);

    // A name of the work folder (ANSI) as mtools takes it (UTF-8). Refused
    // when mtools would not write it exactly: in a name that fits a short
    // name, and so gets no long name, a character outside codePage, that of
    // the short names ("€.TXT" becomes "E.TXT") or a small letter outside ASCII
    // ("ä.txt" becomes "Ä.txt"); or a control character.
    static hostsupport::Result<std::string> toTool(std::string_view ansi, int codePage);

    // A path of the work folder (ANSI) as mtools spells it, for an entry
    // the image holds already: nothing is made of its names, so any name
    // but one with a control character comes back the same.
    static hostsupport::Result<std::string> toToolPath(std::string_view ansi);

    // A path of the image ("WINDOWS/INF/A[1].INF", UTF-8) as mtools looks it
    // up, "::/" in front and every character it reads as a pattern ("*", "?",
    // "[", "]" and the backslash) escaped, so it names that entry and no other.
    static std::string literal(std::string_view path);
    // The same for a folder mmd makes: mtools takes the last name as given
    // and looks up only the folders above it.
    static std::string literalNew(std::string_view path);

    // Whether the work folder's names a and b (ANSI) are one name to the
    // emulated machine, which matches names without regard to case.
    static bool sameName(std::string_view a, std::string_view b);
    // The name as the machine tells names apart: sameName(a, b) exactly when
    // folded(a) == folded(b).
    static std::string folded(std::string_view ansi);

    // Renames every entry below root, copied out by mtools in UTF-8, to its
    // ANSI spelling. Refused, naming the entry (UTF-8, relative to root),
    // when a name has no ANSI spelling or two names of one folder become one
    // name to the machine; root is then to be thrown away.
    static hostsupport::Result<void> respellTree(const std::string& root);
};

} // namespace emu::host
