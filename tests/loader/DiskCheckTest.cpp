// The disk check over small disks that each carry one mistake: every row
// names the findings it must produce (file, line, severity and the words
// that say why), and a disk without mistakes must produce none.
#include "loader/author/DiskCheck.h"
#include "platform/emu/kernel/CregFile.h"
#include "platform/emu/kernel/CregHabits.h"
#include "platform/emu/kernel/CregWriter.h"
#include "tests/support/BmpFile.h"
#include "tests/support/CregSamples.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

using loader::author::CheckReport;
using loader::author::Finding;
using loader::author::Severity;

namespace corvane_test {
namespace {

const Severity E = Severity::Error;
const Severity W = Severity::Warning;
const char* const kInf = "C:\\WINDOWS\\inf\\";

// layout.ini of the clean disk, one entry a line; rows change lines by number.
const char* const kLayoutLines[] = {
    "[LAYOUT]",                 // 1
    "SIZE=300, 200",            // 2
    "ALIGNMENT=LEFT",           // 3
    "CAPTION=Check Disk",       // 4
    "[BITMAP]",                 // 5
    "16=PIC16.BMP",             // 6
    "256=PIC256.BMP",           // 7
    "[FONT]",                   // 8
    "Size=16",                  // 9
    "FaceName=Arial",           // 10
    "Focus=255,0,0",            // 11
    "NonFocus=0,255,0",         // 12
    "[GAPS]",                   // 13
    "VERTICAL=20",              // 14
    "HORIZONTAL=10",            // 15
    "IN_BETWEEN=10",            // 16
    "[MENU]",                   // 17
    "1=Install,100,",           // 18
    "2=Uninstall,101,",         // 19
    "3=Quit,4,",                // 20
    "[CHECK FILES]",            // 21
    "ONE.INF=ONE.QTR",          // 22
    "TWO.INF=TWO.QTR",          // 23
    "[COMMON]",                 // 24
    "ONE.INF=ONE.QTR,ONE.BAK",  // 25
    "[950]",                    // 26
    "TWO.INF=TWO.QTR,TWO.BAK",  // 27
    "[950A]",                   // 28
    "TWO.INF=TWO.QTR,TWO.BAK",  // 29
    "[950B]",                   // 30
    "TWO.INF=TWO.QTR,TWO.BAK",  // 31
    "[USB INF]",                // 32
    "USB.INF=USB.QTR,USB.BAK",  // 33
    "[UNINSTALL]",              // 34
    "ONE.INF=ONE.BAK",          // 35
    "TWO.INF=TWO.BAK",          // 36
    "USB.INF=USB.BAK",          // 37
    "[ControlFlags]",           // 38
    "PCI\\VEN_7E57&DEV_0001=1", // 39
    "[USB ControlFlags]",       // 40
    "PCI\\VEN_7E57&DEV_0002=1", // 41
};

const char kRegistry[] = "REGEDIT4\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0001]\r\n\r\n"
                         "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_7E57&DEV_0002]\r\n";

std::string picture(int bitCount, int width = 300, int height = 200) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = bitCount;
    bmp.palette = {RGB(0, 0, 96), RGB(255, 255, 255)};
    return bmp.bytes();
}

// A section of count lines "key<i>=<filler>" that makes a list of about
// that many bytes per line.
std::string longSection(const std::string& name, int count, int lineLength) {
    std::string text = "[" + name + "]\r\n";
    for (int i = 0; i < count; ++i) {
        std::string key = "k" + std::to_string(i) + "=";
        text += key + std::string(static_cast<size_t>(lineLength) - key.size(), 'x') + "\r\n";
    }
    return text;
}

// An INF file of exactly size bytes: [Devices] as on the clean disk, then
// small sections, then a comment that fills it up.
std::string infOfSize(size_t size) {
    std::string text = "[Devices]\r\nbase=1\r\n";
    for (int i = 0; text.size() + 40 < size; ++i) {
        text += "[Section" + std::to_string(i) + "]\r\nk=1\r\n";
    }
    return text + ";" + std::string(size - text.size() - 3, '-') + "\r\n";
}

// One disk: the clean files, changed by a row, then checked.
class CheckedDisk {
public:
    CheckedDisk() : m_layout(std::begin(kLayoutLines), std::end(kLayoutLines)) {
        m_machine.writeDisk("PIC16.BMP", picture(4));
        m_machine.writeDisk("PIC256.BMP", picture(8));
        m_machine.writeDisk("ONE.QTR", "[Devices]\r\nnew=1\r\n");
        m_machine.writeDisk("TWO.QTR", "[Devices]\r\nrelease=950\r\n");
        m_machine.writeDisk("USB.QTR", "[Devices]\r\nusb=1\r\n");
        for (const char* name : {"ONE.INF", "TWO.INF", "USB.INF"}) {
            m_machine.writeC(std::string("WINDOWS/INF/") + name, "[Devices]\r\nbase=1\r\n");
        }
        m_machine.writeC("WINDOWS/SYSTEM.REG", kRegistry);
    }

    void setLine(int number, const std::string& text) { m_layout.at(number - 1) = text; }
    void appendLine(const std::string& text) { m_layout.push_back(text); }
    void writeDisk(const std::string& name, const std::string& bytes) {
        m_machine.writeDisk(name, bytes);
    }
    // Sparse: the size without the disk space.
    void resizeDisk(const std::string& name, unsigned long long size) {
        std::filesystem::resize_file(m_machine.onDisk(name), size);
    }
    void resizeInf(const std::string& name, unsigned long long size) {
        std::filesystem::resize_file(m_machine.onC("WINDOWS/INF/" + name), size);
    }
    void removeDisk(const std::string& name) { std::filesystem::remove(m_machine.onDisk(name)); }
    void writeInf(const std::string& name, const std::string& text) {
        m_machine.writeC("WINDOWS/INF/" + name, text);
    }
    void removeInf(const std::string& name) {
        std::filesystem::remove(m_machine.onC("WINDOWS/INF/" + name));
    }
    void noLayout() { m_writeLayout = false; }

    CheckReport check() {
        if (m_writeLayout) {
            std::string text;
            for (const std::string& line : m_layout) {
                text += line + "\r\n";
            }
            m_machine.writeDisk("layout.ini", text);
        }
        m_machine.boot();
        return loader::author::checkDisk();
    }

private:
    TestMachine m_machine;
    std::vector<std::string> m_layout;
    bool m_writeLayout = true;
};

struct Expected {
    std::string file;
    int line;
    Severity severity;
    const char* words; // must appear in the finding's text
};

struct Mistake {
    const char* name;
    std::function<void(CheckedDisk&)> make;
    std::vector<Expected> findings;
};

std::string describe(const std::vector<Finding>& findings) {
    std::string text;
    for (const Finding& finding : findings) {
        text += "  " + CheckReport::format(finding) + "\n";
    }
    return text;
}

// Each row's disk must give exactly its findings, in any order.
void checkRows(const std::vector<Mistake>& rows) {
    for (const Mistake& row : rows) {
        SCOPED_TRACE(row.name);
        CheckedDisk disk;
        row.make(disk);
        CheckReport report = disk.check();
        std::vector<Finding> found = report.findings();
        auto order = [](const auto& a, const auto& b) {
            return std::tie(a.file, a.line, a.severity) < std::tie(b.file, b.line, b.severity);
        };
        std::vector<Expected> expected = row.findings;
        std::stable_sort(found.begin(), found.end(), order);
        std::stable_sort(expected.begin(), expected.end(), order);
        ASSERT_EQ(found.size(), expected.size()) << "found:\n" << describe(found);
        for (size_t i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].file, expected[i].file) << describe(found);
            EXPECT_EQ(found[i].line, expected[i].line) << describe(found);
            EXPECT_EQ(found[i].severity, expected[i].severity) << describe(found);
            EXPECT_NE(found[i].text.find(expected[i].words), std::string::npos)
                << CheckReport::format(found[i]) << "\nlacks: " << expected[i].words;
        }
        int errors = static_cast<int>(std::count_if(
            expected.begin(), expected.end(), [](const Expected& e) { return e.severity == E; }));
        EXPECT_EQ(report.exitStatus(), errors > 0 ? 1 : 0);
    }
}

TEST(DiskCheck, ACleanDiskHasNoFindings) {
    CheckedDisk disk;
    CheckReport report = disk.check();
    EXPECT_TRUE(report.findings().empty()) << describe(report.findings());
    EXPECT_EQ(report.text(), "check: 0 errors, 0 warnings\n");
    EXPECT_EQ(report.exitStatus(), 0);
}

TEST(DiskCheck, LayoutSectionsAndValuesTheProgramReadsAs0OrCuts) {
    checkRows({
        {"no layout.ini",
         [](CheckedDisk& d) { d.noLayout(); },
         {{"layout.ini", 0, E, "cannot be opened"}}},
        {"no MENU section",
         [](CheckedDisk& d) { d.setLine(17, "[MENUS]"); },
         {{"layout.ini", 0, E, "[MENU] is missing"}}},
        {"empty GAPS section",
         [](CheckedDisk& d) {
             for (int line = 14; line <= 16; ++line) {
                 d.setLine(line, "; gone");
             }
         },
         {{"layout.ini", 13, W, "[GAPS] is empty"}}},
        {"SIZE without a comma",
         [](CheckedDisk& d) { d.setLine(2, "SIZE=300x200"); },
         {{"layout.ini", 2, E, "has no comma"}, {"layout.ini", 2, E, "0 x 300"}}},
        {"SIZE height not a number",
         [](CheckedDisk& d) { d.setLine(2, "SIZE=300, high"); },
         {{"layout.ini", 2, E, "\" high\" is not a number"}, {"layout.ini", 2, E, "300 x 0"}}},
        {"SIZE height cut",
         [](CheckedDisk& d) { d.setLine(2, "SIZE=300, 200px"); },
         {{"layout.ini", 2, W, "is read as 200"}}},
        {"ALIGNMENT as a number",
         [](CheckedDisk& d) { d.setLine(3, "ALIGNMENT=2"); },
         {{"layout.ini", 3, W, "aligned left"}}},
        {"FONT Size not a number",
         [](CheckedDisk& d) { d.setLine(9, "Size=big"); },
         {{"layout.ini", 9, E, "reads 0"}}},
        {"GAPS value cut",
         [](CheckedDisk& d) { d.setLine(14, "VERTICAL=20px"); },
         {{"layout.ini", 14, W, "is read as 20"}}},
        {"colour with two parts",
         [](CheckedDisk& d) { d.setLine(11, "Focus=255,0"); },
         {{"layout.ini", 11, E, "2 of the 3 parts"}}},
        {"colour part not a number",
         [](CheckedDisk& d) { d.setLine(12, "NonFocus=0,green,0"); },
         {{"layout.ini", 12, E, "green \"green\" is not a number"}}},
        {"colour part over 255",
         [](CheckedDisk& d) { d.setLine(12, "NonFocus=0,300,0"); },
         {{"layout.ini", 12, W, "read as 44"}}},
        {"face name over 31 characters",
         [](CheckedDisk& d) { d.setLine(10, "FaceName=" + std::string(40, 'F')); },
         {{"layout.ini", 10, W, "40 characters"}}},
    });
}

TEST(DiskCheck, PicturesForEachDepthAgainstSize) {
    checkRows({
        {"no 16-colour picture",
         [](CheckedDisk& d) { d.setLine(6, "; none"); },
         {{"layout.ini", 5, E, "no picture for 16-colour"}}},
        {"256-colour picture missing",
         [](CheckedDisk& d) { d.removeDisk("PIC256.BMP"); },
         {{"layout.ini", 7, E, "missing"}}},
        {"24-bit picture",
         [](CheckedDisk& d) { d.writeDisk("PIC256.BMP", picture(24)); },
         {{"layout.ini", 7, E, "24 bits per pixel"}}},
        {"old 12-byte header",
         [](CheckedDisk& d) {
             BmpFile bmp;
             bmp.headerSize = 12;
             d.writeDisk("PIC16.BMP", bmp.bytes());
         },
         {{"layout.ini", 6, E, "12-byte"}}},
        {"not a BMP",
         [](CheckedDisk& d) { d.writeDisk("PIC16.BMP", "GIF89a........"); },
         {{"layout.ini", 6, E, "not a BMP"}}},
        {"picture not the window's size",
         [](CheckedDisk& d) { d.writeDisk("PIC256.BMP", picture(8, 320, 200)); },
         {{"layout.ini", 7, W, "320 x 200"}}},
    });
}

TEST(DiskCheck, MenuLinesCommandsAndPlaces) {
    checkRows({
        {"line without =",
         [](CheckedDisk& d) { d.setLine(19, "Uninstall"); },
         {{"layout.ini", 19, W, "gives no item"}}},
        {"no command number",
         [](CheckedDisk& d) { d.setLine(20, "3=Quit,4"); },
         {{"layout.ini", 20, E, "no command number"}}},
        {"command not a number",
         [](CheckedDisk& d) { d.setLine(20, "3=Quit,four,"); },
         {{"layout.ini", 20, E, "not a number"}}},
        {"duplicate command",
         [](CheckedDisk& d) { d.setLine(19, "2=Again,100,"); },
         {{"layout.ini", 19, W, "already on line 18"}}},
        {"unknown command",
         [](CheckedDisk& d) { d.setLine(19, "2=Far,500,"); },
         {{"layout.ini", 19, E, "outside 1 to 400"}}},
        {"items below the window",
         [](CheckedDisk& d) { d.setLine(14, "VERTICAL=400"); },
         {{"layout.ini", 18, E, "cannot be seen"},
          {"layout.ini", 19, E, "cannot be seen"},
          {"layout.ini", 20, E, "cannot be seen"}}},
        {"items cut by the right edge",
         [](CheckedDisk& d) { d.setLine(15, "HORIZONTAL=280"); },
         {{"layout.ini", 18, W, "cut off"},
          {"layout.ini", 19, W, "cut off"},
          {"layout.ini", 20, W, "cut off"}}},
    });
}

TEST(DiskCheck, FileCheckInstallAndUninstallLines) {
    const std::string two = std::string(kInf) + "TWO.INF";
    checkRows({
        {"file check line without =",
         [](CheckedDisk& d) { d.setLine(22, "ONE.INF"); },
         {{"layout.ini", 22, W, "skips it"}, {"layout.ini", 25, W, "not in [CHECK FILES]"}}},
        {"no CHECK FILES section",
         [](CheckedDisk& d) { d.setLine(21, "[CHECKED]"); },
         {{"layout.ini", 0, W, "[CHECK FILES] is missing"},
          {"layout.ini", 25, W, "not in [CHECK FILES]"},
          {"layout.ini", 27, W, "not in [CHECK FILES]"}}},
        {"install target not in the file check",
         [](CheckedDisk& d) { d.setLine(23, "NULL=TWO.QTR"); },
         {{"layout.ini", 27, W, "read-only"}}},
        {"fragment missing",
         [](CheckedDisk& d) { d.removeDisk("TWO.QTR"); },
         {{"layout.ini", 23, E, "file check fails"},
          {"layout.ini", 27, E, "missing from the disk"},
          {"layout.ini", 29, E, "missing from the disk"},
          {"layout.ini", 31, E, "missing from the disk"}}},
        {"Windows INF file not on the machine",
         [](CheckedDisk& d) { d.removeInf("TWO.INF"); },
         {{"layout.ini", 23, W, "read-only or in use"},
          {"layout.ini", 27, W, "makes it from the fragment"},
          {"layout.ini", 29, W, "makes it from the fragment"},
          {"layout.ini", 31, W, "makes it from the fragment"}}},
        {"install line without backup",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=ONE.QTR"); },
         {{"layout.ini", 25, E, "refuses this line"},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"backup named as its target",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=ONE.QTR,one.inf"); },
         {{"layout.ini", 25, E, "its own target"}, {"layout.ini", 35, W, "nothing for this line"}}},
        {"backup named as another target",
         [](CheckedDisk& d) { d.setLine(33, "USB.INF=USB.QTR,TWO.INF"); },
         {{"layout.ini", 33, E, "the target of line 27"},
          {"layout.ini", 37, W, "nothing for this line"}}},
        {"fragment section the target lacks",
         [](CheckedDisk& d) {
             d.writeDisk("ONE.QTR", "[Devices]\r\nnew=1\r\n[Strings]\r\nA=b\r\n");
         },
         {{"ONE.QTR", 3, W, "appended to it as a new section"}}},
        {"uninstall line without =",
         [](CheckedDisk& d) { d.setLine(36, "TWO.INF"); },
         {{"layout.ini", 36, E, "uninstall is incomplete"}}},
        {"uninstall backup is its target",
         [](CheckedDisk& d) { d.setLine(36, "TWO.INF=TWO.INF"); },
         {{"layout.ini", 36, E, "uninstall would delete TWO.INF"}}},
        {"uninstall backup names another Windows INF file",
         [](CheckedDisk& d) { d.setLine(35, "ONE.INF=TWO.INF"); },
         {{"layout.ini", 35, E,
           "uninstall would copy TWO.INF over ONE.INF and delete TWO.INF, a Windows INF file "
           "that line 27 names"}}},
        {"backup outside the INF directory",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=ONE.QTR,..\\SYSTEM.REG"); },
         {{"layout.ini", 25, E, "\"..\\SYSTEM.REG\" leads out of its folder through \"..\""},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"fragment outside the disk folder",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=\\ONE.QTR,ONE.BAK"); },
         {{"layout.ini", 25, E, "\"\\ONE.QTR\" begins at the root of the drive"},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"uninstall backup is a device",
         [](CheckedDisk& d) { d.setLine(36, "TWO.INF=NUL"); },
         {{"layout.ini", 36, E, "\"NUL\" names a device, not a file"}}},
        {"backup on a drive",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=ONE.QTR,C:\\X"); },
         {{"layout.ini", 25, E, "\"C:\\X\" names a drive"},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"backup leaving the INF directory through a subfolder",
         [](CheckedDisk& d) { d.setLine(36, "TWO.INF=A\\..\\..\\X"); },
         {{"layout.ini", 36, E, "\"A\\..\\..\\X\" leads out of its folder"}}},
        {"target and backup in a subfolder of the INF directory",
         [](CheckedDisk& d) {
             d.writeInf("OTHER/OEM1.INF", "[Devices]\r\nbase=1\r\n");
             d.setLine(22, "OTHER\\OEM1.INF=ONE.QTR");
             d.setLine(25, "OTHER\\OEM1.INF=ONE.QTR,OTHER\\OEM1.BAK");
             d.setLine(35, "other/oem1.inf=OTHER\\OEM1.BAK");
         },
         {}},
        {"blanks around the names after the comma",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF = ONE.QTR , ONE.BAK"); },
         {{"layout.ini", 25, W,
           "the program reads \"ONE.INF=ONE.QTR , ONE.BAK\" as \"ONE.INF=ONE.QTR,ONE.BAK\""}}},
        {"no USB.INF on the machine",
         [](CheckedDisk& d) { d.removeInf("USB.INF"); },
         {{"layout.ini", 33, W, "the install walks no [USB INF] line here"}}},
        {"one backup for two targets",
         [](CheckedDisk& d) { d.setLine(33, "USB.INF=USB.QTR,ONE.BAK"); },
         {{"layout.ini", 33, E, "already the backup of ONE.INF on line 25"},
          {"layout.ini", 37, W, "nothing for this line"}}},
        {"install backup named like a Windows INF file",
         [](CheckedDisk& d) { d.setLine(25, "ONE.INF=ONE.QTR,ONE.OLD.INF"); },
         {{"layout.ini", 25, E,
           "backup \"ONE.OLD.INF\" ends in .INF: Windows would read it as a driver description "
           "of its own: the program refuses this line and the install is incomplete"},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"uninstall backup named like a Windows INF file",
         [](CheckedDisk& d) { d.setLine(36, "TWO.INF=TWO.OLD.INF"); },
         {{"layout.ini", 36, E,
           "uninstall would copy TWO.OLD.INF over TWO.INF and delete TWO.OLD.INF, whose name is "
           "that of a Windows INF file: the program refuses this line and the uninstall is "
           "incomplete"}}},
        {"uninstall backup made of another target",
         [](CheckedDisk& d) { d.setLine(37, "USB.INF=ONE.BAK"); },
         {{"layout.ini", 37, E, "the backup of ONE.INF made by line 25, over USB.INF"}}},
    });
}

TEST(DiskCheck, DeviceLines) {
    checkRows({
        {"device line without =",
         [](CheckedDisk& d) { d.setLine(39, "PCI\\VEN_7E57&DEV_0001"); },
         {{"layout.ini", 39, W, "skips it"}}},
        {"device path naming no key",
         [](CheckedDisk& d) { d.setLine(39, "\\=1"); },
         {{"layout.ini", 39, E, "names no key"}}},
        {"device path the registry takes for no name",
         [](CheckedDisk& d) { d.setLine(39, "PCI\\VEN_7E57&DEV_0001\\=1"); },
         {{"layout.ini", 39, E, "is no key name the registry takes"}}},
        {"device path with a doubled backslash",
         [](CheckedDisk& d) { d.setLine(41, "PCI\\\\VEN_7E57&DEV_0002=1"); },
         {{"layout.ini", 41, E, "is no key name the registry takes"}}},
        {"device key not in the registry",
         [](CheckedDisk& d) { d.setLine(41, "PCI\\VEN_7E57&DEV_0009=1"); },
         {{"layout.ini", 41, W, "not in this machine's registry"}}},
    });
}

TEST(DiskCheck, SectionsOverTheBufferSizesAndTheProfileReadLimit) {
    const std::string two = std::string(kInf) + "TWO.INF";
    checkRows({
        {"layout.ini section over 1,024 bytes",
         [](CheckedDisk& d) {
             for (int i = 0; i < 50; ++i) {
                 d.appendLine("PCI\\VEN_7E57&DEV_0002=1");
             }
         },
         {{"layout.ini", 40, W, "1,024-byte buffer"}}},
        {"fragment section over 4,096 bytes",
         [](CheckedDisk& d) { d.writeDisk("ONE.QTR", "\r\n" + longSection("Devices", 60, 80)); },
         {{"ONE.QTR", 2, W, "4,096-byte buffer"}}},
        // A section over what a profile read returns makes a fragment over
        // 32 KB, which the install refuses whole.
        {"fragment section over what a profile read returns",
         [](CheckedDisk& d) { d.writeDisk("ONE.QTR", longSection("Devices", 400, 100)); },
         {{"layout.ini", 22, E, "\"ONE.QTR\" is over 32 KB: the file check fails"},
          {"layout.ini", 25, E, "40,811 bytes, over 32 KB, more than Windows 95's profile"}}},
        {"fragment of 3 GB",
         [](CheckedDisk& d) {
             d.writeDisk("ONE.QTR", "[Devices]\r\nnew=1\r\n");
             d.resizeDisk("ONE.QTR", 3ull << 30);
         },
         {{"layout.ini", 22, E, "\"ONE.QTR\" is over 32 KB: the file check fails"},
          {"layout.ini", 25, E, "3,221,225,472 bytes, over 32 KB"}}},
        {"Windows INF file of 3 GB",
         [](CheckedDisk& d) { d.resizeInf("ONE.INF", 3ull << 30); },
         {{"layout.ini", 22, E, "ONE.INF\" is over 16 MB: the file check fails"},
          {kInf + std::string("ONE.INF"), 0, E,
           "3,221,225,472 bytes, over 16 MB: the install leaves it as it is"}}},
        {"fragment section names over 256 bytes",
         [](CheckedDisk& d) {
             std::string text;
             for (int i = 0; i < 30; ++i) {
                 text += "[Section" + std::to_string(i) + "]\r\nx=1\r\n";
             }
             d.writeDisk("ONE.QTR", text);
             d.writeInf("ONE.INF", text);
         },
         {{"ONE.QTR", 1, W, "256-byte buffer"}}},
        {"Windows INF section over 30,720 bytes after the merge",
         [](CheckedDisk& d) { d.writeInf("TWO.INF", longSection("Devices", 310, 100)); },
         {{two, 1, W, "30,720-byte buffer"}}},
        // Once for a file that three install lines name.
        {"Windows INF file over 32 KB",
         [](CheckedDisk& d) {
             d.writeInf("TWO.INF", infOfSize(32769));
             d.writeInf("USB.INF", infOfSize(70000));
         },
         {{two, 0, W,
           "is 32,769 bytes, over 32 KB: Windows 95's profile functions may not read or write "
           "this file whole; the program checks its work and leaves the file unchanged if they "
           "do not"},
          {std::string(kInf) + "USB.INF", 0, W, "is 70,000 bytes"}}},
        {"Windows INF file of 32 KB",
         [](CheckedDisk& d) { d.writeInf("TWO.INF", infOfSize(32768)); },
         {}},
    });
}

// A Windows 95 that shows a floppy's short names only finds 8.3 names, and
// the disk holds its files in its own folder.
TEST(DiskCheck, FilesTheLayoutNamesHave8Dot3NamesInTheDisksFolder) {
    const std::string fragment = "[Devices]\r\nnew=1\r\n";
    auto renameFragment = [fragment](CheckedDisk& d, const std::string& name) {
        d.writeDisk(name, fragment);
        d.setLine(22, "ONE.INF=" + name);
        d.setLine(25, "ONE.INF=" + name + ",ONE.BAK");
    };
    checkRows({
        {"fragment with a long name",
         [renameFragment](CheckedDisk& d) { renameFragment(d, "ONEFRAGMENT.QTR"); },
         {{"layout.ini", 22, E, "\"ONEFRAGMENT.QTR\" is no 8.3 name"}}},
        {"fragment with a four-letter extension",
         [renameFragment](CheckedDisk& d) { renameFragment(d, "ONE.QTRX"); },
         {{"layout.ini", 22, E, "is no 8.3 name"}}},
        {"fragment with two dots",
         [renameFragment](CheckedDisk& d) { renameFragment(d, "ONE.Q.TR"); },
         {{"layout.ini", 22, E, "is no 8.3 name"}}},
        {"fragment only in an install section",
         [fragment](CheckedDisk& d) {
             d.writeDisk("USBFRAGMENT.QTR", fragment);
             d.setLine(33, "USB.INF=USBFRAGMENT.QTR,USB.BAK");
         },
         {{"layout.ini", 33, E, "\"USBFRAGMENT.QTR\" is no 8.3 name"}}},
        {"fragment named as a device",
         [renameFragment](CheckedDisk& d) { renameFragment(d, "AUX.QTR"); },
         {{"layout.ini", 22, E, "as the device AUX"},
          {"layout.ini", 25, E, "\"AUX.QTR\" names a device"},
          {"layout.ini", 35, W, "nothing for this line"}}},
        {"picture with a blank in its name",
         [](CheckedDisk& d) {
             d.writeDisk("PIC 16.BMP", picture(4));
             d.setLine(6, "16=PIC 16.BMP");
         },
         {{"layout.ini", 6, E, "holds \" \""}}},
        // The program finds it (".." stops at the drive's root); the disk
        // would not hold it.
        {"picture named with a folder",
         [](CheckedDisk& d) { d.setLine(6, "16=..\\PIC16.BMP"); },
         {{"layout.ini", 6, E, "names a folder"}}},
        {"picture with the Windows program's name",
         [](CheckedDisk& d) {
             d.writeDisk("SETUP.EXE", picture(4));
             d.setLine(6, "16=setup.exe");
         },
         {{"layout.ini", 6, E, "name of the Windows program"}}},
        {"names in lower case", [](CheckedDisk& d) { d.setLine(6, "16=pic16.bmp"); }, {}},
        {"fragment in a subfolder of the disk",
         [fragment](CheckedDisk& d) {
             d.writeDisk("WIN95/ONE.QTR", fragment);
             d.setLine(22, "ONE.INF=WIN95\\ONE.QTR");
             d.setLine(25, "ONE.INF=WIN95\\ONE.QTR,ONE.BAK");
         },
         {{"layout.ini", 22, W, "is in a subfolder of the disk: the program reads it there"}}},
        {"fragment in a subfolder with a long name",
         [fragment](CheckedDisk& d) {
             d.writeDisk("WINDOWS95/ONE.QTR", fragment);
             d.setLine(22, "ONE.INF=WINDOWS95\\ONE.QTR");
             d.setLine(25, "ONE.INF=WINDOWS95\\ONE.QTR,ONE.BAK");
         },
         {{"layout.ini", 22, E, "is no 8.3 name"}}},
    });
}

TEST(DiskCheck, TheDemoDiskChecksClean) {
    TestMachine demo(TestMachine::demo());
    demo.boot();
    CheckReport report = loader::author::checkDisk();
    EXPECT_TRUE(report.findings().empty()) << describe(report.findings());
    EXPECT_EQ(report.exitStatus(), 0);
}

// Windows 95's own binary SYSTEM.DAT is read for the device keys as well.
TEST(DiskCheck, DeviceKeysAreLookedUpInABinaryRegistry) {
    TestMachine demo(TestMachine::demo());
    std::filesystem::remove(demo.cDrive() + "/WINDOWS/SYSTEM.REG");
    std::filesystem::copy_file(TestMachine::demoSource() + "/SYSTEM.DAT",
                               demo.cDrive() + "/WINDOWS/SYSTEM.DAT");
    demo.boot();
    CheckReport clean = loader::author::checkDisk();
    EXPECT_TRUE(clean.findings().empty()) << describe(clean.findings());
    demo.shutdown();

    std::string layout = readHostFile(demo.disk() + "/layout.ini");
    size_t at = layout.find("DEV_7110=1");
    ASSERT_NE(at, std::string::npos);
    layout.replace(at, 8, "DEV_7119");
    writeHostFile(demo.disk() + "/layout.ini", layout);
    demo.boot();
    CheckReport report = loader::author::checkDisk();
    ASSERT_EQ(report.findings().size(), 1u) << describe(report.findings());
    const Finding& finding = report.findings()[0];
    EXPECT_EQ(finding.file, "layout.ini");
    EXPECT_EQ(finding.line, 1 + std::count(layout.begin(), layout.begin() + at, '\n'));
    EXPECT_EQ(finding.severity, W);
    EXPECT_NE(finding.text.find("Enum\\PCI\\VEN_5A17&DEV_7119 is not in"), std::string::npos)
        << finding.text;
}

// The registry file itself is checked: one error per problem, at its offset,
// whatever release's habits it keeps; Windows ME's CLASSES.DAT beside it is
// named as left alone.
TEST(DiskCheck, TheBinaryRegistrysStructureIsChecked) {
    const std::string good = readHostFile(TestMachine::demoSource() + "/SYSTEM.DAT");
    corvane_test::CregBuilder demo98 = corvane_test::cregDemoHive();
    demo98.setHabit(emu::kernel::CregHabit::Windows98);
    const std::string good98 = demo98.build();
    const size_t block98 = emu::kernel::CregFile::read32(good98, 8);
    auto setByte = [](size_t offset, char byte) {
        return [offset, byte](std::string& bytes) { bytes[offset] = byte; };
    };
    struct Row {
        const char* what;
        const std::string& hive;
        std::function<void(std::string&)> change;
        const char* finding;  // empty: none
        bool classes = false; // a CLASSES.DAT beside it
    };
    const Row rows[] = {
        {"sound", good, setByte(0, 'C'), ""},
        {"key tree checksum", good, setByte(0x34, '\x55'), "at 0x34: the key tree's checksum"},
        {"key tree size", good, setByte(0x27, '\x7F'), "at 0x24: the key tree's size"},
        {"Windows 98's habits", good98, setByte(0, 'C'), ""},
        {"Windows 98's unused bytes", good98,
         [&](std::string& bytes) {
             bytes[block98 + 8] = static_cast<char>(bytes[block98 + 8] + 4);
             emu::kernel::CregWriter::resum(
                 bytes, block98, emu::kernel::CregFile::read32(bytes, block98 + 4), block98 + 28,
                 emu::kernel::CregFile::read16(bytes, block98 + 12));
         },
         "data block 0's count of unused bytes"},
        {"Windows ME's CLASSES.DAT", good98, setByte(0, 'C'), "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TestMachine demo(TestMachine::demo());
        std::filesystem::remove(demo.cDrive() + "/WINDOWS/SYSTEM.REG");
        std::string bytes = row.hive;
        row.change(bytes);
        writeHostFile(demo.cDrive() + "/WINDOWS/SYSTEM.DAT", bytes);
        if (row.classes) {
            writeHostFile(demo.cDrive() + "/WINDOWS/CLASSES.DAT", "CREG and whatever follows");
        }
        demo.boot();
        testing::internal::CaptureStderr();
        CheckReport report = loader::author::checkDisk();
        testing::internal::GetCapturedStderr();
        std::vector<Finding> registry;
        for (const Finding& finding : report.findings()) {
            if (finding.file.find("SYSTEM.DAT") != std::string::npos) {
                registry.push_back(finding);
            }
        }
        if (row.classes) {
            ASSERT_EQ(report.findings().size(), 1u) << describe(report.findings());
            EXPECT_EQ(report.findings()[0].severity, W);
            EXPECT_NE(report.findings()[0].file.find("CLASSES.DAT"), std::string::npos);
            EXPECT_NE(report.findings()[0].text.find("left alone"), std::string::npos);
            EXPECT_EQ(report.exitStatus(), 0);
            continue;
        }
        if (*row.finding == '\0') {
            EXPECT_TRUE(report.findings().empty()) << describe(report.findings());
            continue;
        }
        ASSERT_EQ(registry.size(), 1u) << describe(report.findings());
        EXPECT_EQ(registry[0].severity, E);
        EXPECT_NE(registry[0].text.find(row.finding), std::string::npos) << registry[0].text;
        EXPECT_EQ(report.exitStatus(), 1);
    }
}

// The host program's --check: the findings on stdout and the exit status.
std::string runCheck(const std::string& disk, const std::string& cDrive, int& status) {
    std::string command =
        "cd '" + disk + "' && '" + CORVANE_SETUP_EXE + "' --check --drive 'C=" + cDrive + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        output += buffer;
    }
    int raw = pipe != nullptr ? pclose(pipe) : -1;
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

TEST(DiskCheck, SetupCheckPrintsFindingsAndExitsByErrors) {
    TestMachine demo(TestMachine::demo());
    int status = -1;
    const std::string release = "release: no release recorded in the registry, service-pack text "
                                "\"\": sections COMMON, 950\n";
    EXPECT_EQ(runCheck(demo.disk(), demo.cDrive(), status),
              release + "check: 0 errors, 0 warnings\n");
    EXPECT_EQ(status, 0);

    std::string layout = readHostFile(demo.disk() + "/layout.ini");
    size_t at = layout.find("Focus=255,224,64");
    ASSERT_NE(at, std::string::npos);
    layout.replace(at, 16, "Focus=255,224");
    writeHostFile(demo.disk() + "/layout.ini", layout);
    int line = 1 + static_cast<int>(std::count(layout.begin(), layout.begin() + at, '\n'));
    std::string output = runCheck(demo.disk(), demo.cDrive(), status);
    EXPECT_EQ(output, release + "layout.ini:" + std::to_string(line) +
                          ": error: Focus \"255,224\" has 2 of the 3 parts red,green,blue: green "
                          "is read as 0 and the last number is blue\n"
                          "check: 1 error, 0 warnings\n");
    EXPECT_EQ(status, 1);
}

} // namespace
} // namespace corvane_test
