// How one image's names are spelt on the work folder's side and on mtools'
// side (ImageNames carries them). mtools 4.0.32 garbles names when its code
// page is a double-byte one (it appends '_' to names it did not change, "My
// Documents_"), so an image whose short names are in 932, 936, 949 or 950 is
// read by mtools in 437. An entry named by its short name alone whose bytes
// are not ASCII is then spelt by mtools in 437 ("ソフト.TXT", 83 5C 83 74 83
// 67, as "â\âtâg.TXT") and by the work folder in the installation's code
// page: such entries are listed here, found when the drive is opened
// (ImageNames::spellingOf).
#pragma once

#include "platform/emu/kernel/CodePage.h"

#include <map>
#include <string>
#include <utility>

namespace emu::host {

struct ImageSpelling {
    const kernel::CodePage* ansi = &kernel::CodePage::windows1252();
    // (folder, name) as mtools spells them (UTF-8) to the name in ansi.
    std::map<std::pair<std::string, std::string>, std::string> toAnsi;
    // (folder, name) in ansi to the name as mtools spells it.
    std::map<std::pair<std::string, std::string>, std::string> toTool;
};

} // namespace emu::host
