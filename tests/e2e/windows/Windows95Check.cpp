#include "tests/e2e/windows/Windows95Check.h"

#include "resources/resource.h"

#include <algorithm>
#include <fstream>

namespace corvane_test {

namespace {

// The DLLs every Windows 95 release has: the system's own, and the C
// runtime DLL of the first releases, which have no msvcrt.dll.
const char* const kWindows95Dlls[] = {"KERNEL32.DLL", "USER32.DLL",   "GDI32.DLL",
                                      "ADVAPI32.DLL", "COMCTL32.DLL", "CRTDLL.DLL"};

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// The text of string id from the image's string-table blocks; empty when
// there is none.
std::string stringOf(const PeImage& image, unsigned id) {
    for (const PeResource& r : image.resources) {
        if (!r.typeName.empty() || r.type != 6 || r.name != id / 16 + 1) {
            continue;
        }
        size_t at = 0;
        for (unsigned i = 0; at + 2 <= r.data.size(); ++i) {
            const size_t length = r.data[at] | (r.data[at + 1] << 8);
            at += 2;
            if (i == id % 16) {
                std::string text;
                for (size_t k = 0; k < length && at + 2 * k + 1 < r.data.size(); ++k) {
                    text += static_cast<char>(r.data[at + 2 * k]);
                }
                return text;
            }
            at += 2 * length;
        }
    }
    return "";
}

bool hasResource(const PeImage& image, unsigned type, const std::string& typeName, unsigned name) {
    return std::any_of(image.resources.begin(), image.resources.end(), [&](const PeResource& r) {
        return r.type == type && upper(r.typeName) == typeName && r.nameText.empty() &&
               r.name == name && !r.data.empty();
    });
}

} // namespace

std::set<std::string> readWindows95Functions(const std::string& path) {
    std::set<std::string> functions;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') {
            functions.insert(line);
        }
    }
    return functions;
}

std::vector<std::string> windows95Faults(const PeImage& image,
                                         const std::set<std::string>& functions) {
    std::vector<std::string> faults;
    if (image.machine != 0x14C) {
        faults.push_back("machine is not i386");
    }
    if (image.subsystemMajor > 4 || (image.subsystemMajor == 4 && image.subsystemMinor > 0)) {
        faults.push_back("subsystem version " + std::to_string(image.subsystemMajor) + "." +
                         std::to_string(image.subsystemMinor) + " is above 4.0");
    }
    for (const PeImport& i : image.imports) {
        const std::string dll = upper(i.dll);
        if (std::find(std::begin(kWindows95Dlls), std::end(kWindows95Dlls), dll) ==
            std::end(kWindows95Dlls)) {
            faults.push_back("imports from " + i.dll + ", which Windows 95 does not have");
        } else if (i.function.empty()) {
            faults.push_back("imports ordinal " + std::to_string(i.ordinal) + " of " + i.dll);
        } else if (functions.count(dll + " " + i.function) == 0) {
            faults.push_back("imports " + i.dll + " " + i.function +
                             ", which is not in the list of what Windows 95 implements");
        }
    }
    for (unsigned id : {IDS_NO_LAYOUT, IDS_QUIT, IDS_FILES_MISSING, IDS_RESTART, IDS_MAKER,
                        IDS_NO_UNINSTALL, IDS_REBOOT_FAILED, IDS_UPDATE_INCOMPLETE, IDS_WIN95_ONLY,
                        IDS_REGISTRY_FAILED, IDS_UNINSTALL_INCOMPLETE, IDS_LOCK_FAILED,
                        IDS_LOCK_BUSY, IDS_LOCK_WAIT, AFX_IDS_APP_TITLE}) {
        if (stringOf(image, id).empty()) {
            faults.push_back("string " + std::to_string(id) + " is missing");
        }
    }
    if (!hasResource(image, 5, "", IDD_PROGRESS)) {
        faults.push_back("dialog 130 is missing");
    }
    if (!hasResource(image, 0, "AVI", IDR_CLIP)) {
        faults.push_back("clip 132 is missing");
    }
    return faults;
}

} // namespace corvane_test
