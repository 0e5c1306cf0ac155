#include "loader/author/DiskTemplate.h"

#include "loader/author/PlaceholderPicture.h"
#include "loader/author/StagingFolder.h"

#include <filesystem>
#include <vector>

namespace loader::author {

namespace {
// The window's size in kLayout, which the pictures take.
const int kWidth = 480;
const int kHeight = 320;

// Windows text files end their lines in CR LF.
std::string windowsLines(const char* text) {
    std::string out;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            out += '\r';
        }
        out += *c;
    }
    return out;
}

bool refuseExisting(const std::string& folder, std::string& error) {
    std::error_code code;
    std::filesystem::file_status status = std::filesystem::status(folder, code);
    if (!std::filesystem::exists(status)) {
        return false;
    }
    if (!std::filesystem::is_directory(status)) {
        error = folder + " exists and is not a folder";
        return true;
    }
    if (!std::filesystem::is_empty(folder, code) || code) {
        error = folder + " exists and is not empty: a new disk is made in a new or empty folder";
        return true;
    }
    return false;
}
} // namespace

const char* const DiskTemplate::kLayout =
    R"(; layout.ini of a new driver disk. Every name in it is a placeholder: the
; maker Tarrow, its TB-5 chipset, the device IDs (vendor 6D2E) and the files.
; Put in your own, then check the disk from its folder with
;   corvane-setup --check --drive C=FOLDER-OF-A-WINDOWS-95-C-DRIVE
; Files this disk names are plain 8.3 names (NAME.EXT) in this folder.

[LAYOUT]
; Outer size of the window in pixels, "width, height"; BITMAP takes the picture's size.
SIZE=480, 320
; Where the menu items stand: LEFT, CENTER or RIGHT.
ALIGNMENT=RIGHT
; Text of the caption, after the program's own title.
CAPTION=TB-5 Chipset Driver Disk

[BITMAP]
; Background on 16-colour displays: an uncompressed BMP of 4 bits per pixel, the window's size.
16=BACK16.BMP
; Background on 256 colours and more: an uncompressed BMP of 8 bits per pixel, the same size.
256=BACK256.BMP

[FONT]
; Height of the menu text in pixels.
Size=20
; Typeface of the menu text.
FaceName=Arial
; Colour "red,green,blue" of the item with the focus or under the mouse.
Focus=255,216,72
; Colour "red,green,blue" of every other item.
NonFocus=236,236,236

[GAPS]
; Pixels from the top of the window's inside to the first item.
VERTICAL=120
; Pixels from the side named by ALIGNMENT to the items.
HORIZONTAL=30
; Pixels between one item and the next.
IN_BETWEEN=12

[MENU]
; N=TEXT,COMMAND, : 100 installs, 101 uninstalls, 4 asks and quits, others only check the files.
1=Install TB-5 drivers,100,
; Puts back the Windows INF files saved by the install.
2=Uninstall drivers,101,
; Asks before the window closes.
3=Quit,4,

[CHECK FILES]
; WINDOWS-INF=FRAGMENT: both must be there, and the INF writable, before a command runs.
MSHDC.INF=TB5IDE.ADD

[COMMON]
; TARGET=FRAGMENT,BACKUP on every Windows 95 release: saves TARGET once as BACKUP, then adds the fragment's lines.
MSHDC.INF=TB5IDE.ADD,MSHDC.TBK

[950]
; Lines as in [COMMON] for the first Windows 95 release only, for example:
; MACHINE.INF=TB5BASE.ADD,MACHINE.TBK

[950A]
; Lines as in [COMMON] for Windows 95 OSR1 only.

[950B]
; Lines as in [COMMON] for Windows 95 OSR2 only.

[USB INF]
; Lines as in [COMMON], used only when the Windows INF folder holds USB.INF, for example:
; USB.INF=TB5USB.ADD,USB.TBK

[UNINSTALL]
; TARGET=BACKUP: copies BACKUP back over TARGET and deletes it; one line for every backup above.
MSHDC.INF=MSHDC.TBK

[ControlFlags]
; Device key below HKEY_LOCAL_MACHINE\Enum to delete after install and uninstall, so Windows finds the device anew.
PCI\VEN_6D2E&DEV_0B51=1

[USB ControlFlags]
; Device keys as above, deleted only when USB.INF is there, for example:
; PCI\VEN_6D2E&DEV_0B52=1
)";

const char* const DiskTemplate::kFragment =
    R"(; Tarrow TB-5 chipset: what its IDE controller adds to Windows' MSHDC.INF.
; Each section's lines are added to the section of that name in the target.
[Std_HDC]
%PCI\VEN_6D2E&DEV_0B51.DeviceDesc%=atadisk_inst,PCI\VEN_6D2E&DEV_0B51

[Strings]
PCI\VEN_6D2E&DEV_0B51.DeviceDesc="Tarrow TB-5 PCI Bus Master IDE Controller"
)";

bool DiskTemplate::create(const std::string& folder, std::ostream& out, std::string& error) {
    if (refuseExisting(folder, error)) {
        return false;
    }
    StagingFolder staging(folder);
    if (!staging.made()) {
        error = staging.error();
        return false;
    }
    struct File {
        const char* name;
        std::string bytes;
    };
    const std::vector<File> files = {
        {"layout.ini", windowsLines(kLayout)},
        {"BACK16.BMP", PlaceholderPicture::bmp(kWidth, kHeight, 4)},
        {"BACK256.BMP", PlaceholderPicture::bmp(kWidth, kHeight, 8)},
        {"TB5IDE.ADD", windowsLines(kFragment)},
    };
    for (const File& file : files) {
        if (!staging.writeFile(file.name, file.bytes, error)) {
            return false;
        }
    }
    if (!staging.commit("", error)) {
        return false;
    }
    out << "new driver disk in " << folder << ":";
    for (const File& file : files) {
        out << " " << file.name;
    }
    out << "\n";
    return true;
}

} // namespace loader::author
