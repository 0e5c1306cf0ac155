#include "skin/CLayout.h"
#include "tests/skin/SkinMachine.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace corvane_test {
namespace {

class LayoutTest : public SkinMachine {};

TEST_F(LayoutTest, IniFileIsLookedForInTheCurrentDirectory) {
    TempDir floppy;
    std::filesystem::create_directories(m_machine.cDrive() + "/DISK");
    m_machine.writeC("DISK/layout.ini", "[LAYOUT]\n");
    writeHostFile(floppy / "layout.ini", "[LAYOUT]\n");
    m_machine.config().drives['A'] = floppy.path();
    struct Row {
        const char* currentDir;
        const char* expected;
    } rows[] = {
        {"C:\\DISK", "C:\\DISK\\layout.ini"},
        {"A:\\", "A:\\layout.ini"},
    };
    for (const Row& row : rows) {
        m_machine.config().currentDir = row.currentDir;
        m_machine.boot();
        CLayout layout;
        CString path;
        EXPECT_EQ(layout.LocateIniFile(path), 1) << row.currentDir;
        EXPECT_STREQ(path, row.expected);
        ASSERT_EQ(layout.Load(), 1) << row.currentDir;
        EXPECT_STREQ(layout.GetIniPath(), row.expected);
    }
}

// Another copy starting at the same moment holds layout.ini for an instant,
// and a busy host may keep that copy off the processor for a while: on the
// virtual clock too, the retries must outlast a hold of a tenth of a second.
TEST_F(LayoutTest, IniFileHeldForAMomentIsWaitedFor) {
    writeLayout("[LAYOUT]\n");
    m_machine.config().clock = emu::ClockMode::Virtual;
    m_machine.boot();
    HANDLE held = CreateFileA(kIniPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread holder([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        CloseHandle(held);
    });
    CLayout layout;
    CString path;
    EXPECT_EQ(layout.LocateIniFile(path), 1);
    holder.join();
}

TEST_F(LayoutTest, MissingIniFileDoesNotLocateButKeepsThePath) {
    CLayout layout;
    CString path;
    EXPECT_EQ(layout.LocateIniFile(path), 0);
    EXPECT_STREQ(path, "D:\\layout.ini");
}

TEST_F(LayoutTest, SizeGivesWidthAndHeight) {
    struct Row {
        const char* line;
        LONG width, height;
    } rows[] = {
        {"", 560, 400},           {"SIZE=560, 400", 560, 400}, {"SIZE=300,200", 300, 200},
        {"SIZE=bitmap", 0, 0},    {"SIZE=BITMAP", 0, 0},       {"SIZE=BitMap", 0, 0},
        {"SIZE=0,0", 0, 0},       {"SIZE=640", 0, 640},        {"SIZE=640x480", 0, 640},
        {"SIZE=wide,tall", 0, 0},
    };
    for (const Row& row : rows) {
        CLayout layout;
        writeLayout(std::string("[LAYOUT]\n") + row.line + "\n");
        ASSERT_EQ(layout.Load(), 1);
        RECT size = layout.GetSizeRect();
        EXPECT_EQ(size.left, 0) << row.line;
        EXPECT_EQ(size.top, 0) << row.line;
        EXPECT_EQ(size.right, row.width) << row.line;
        EXPECT_EQ(size.bottom, row.height) << row.line;
    }
}

TEST_F(LayoutTest, AlignmentNamesGiveTheirCodes) {
    struct Row {
        const char* line;
        int expected;
    } rows[] = {
        {"", 3},
        {"ALIGNMENT=RIGHT", 3},
        {"ALIGNMENT=right", 3},
        {"ALIGNMENT=center", 2},
        {"ALIGNMENT=CENTER", 2},
        {"ALIGNMENT=Centre", 1},
        {"ALIGNMENT=LEFT", 1},
        {"ALIGNMENT=", 1},
    };
    for (const Row& row : rows) {
        CLayout layout;
        writeLayout(std::string("[LAYOUT]\n") + row.line + "\n");
        ASSERT_EQ(layout.Load(), 1);
        EXPECT_EQ(layout.GetAlignment(), row.expected) << row.line;
    }
}

TEST_F(LayoutTest, CaptionAlwaysStartsWithTheMakersName) {
    struct Row {
        const char* line;
        const char* expected;
    } rows[] = {
        {"", "Quentor - "},
        {"CAPTION=Utility Disk", "Quentor - Utility Disk"},
        {"CAPTION=Driver Setup", "Quentor - Driver Setup"},
    };
    for (const Row& row : rows) {
        CLayout layout;
        writeLayout(std::string("[LAYOUT]\n") + row.line + "\n");
        ASSERT_EQ(layout.Load(), 1);
        CString caption;
        EXPECT_EQ(layout.GetCaption(caption), lstrlenA(row.expected)) << row.line;
        EXPECT_STREQ(caption, row.expected);
    }
}

TEST_F(LayoutTest, PictureNameFollowsTheDisplayDepth) {
    struct Row {
        int depth;
        const char* expected;
    } rows[] = {
        {4, "SMALL.BMP"},
        {8, "LARGE.BMP"},
        {32, "LARGE.BMP"},
    };
    for (const Row& row : rows) {
        bootMachine(row.depth);
        CLayout layout;
        writeLayout("[BITMAP]\n16=SMALL.BMP\n256=LARGE.BMP\n");
        ASSERT_EQ(layout.Load(), 1);
        ScreenDC dc;
        EXPECT_STREQ(layout.GetBitmapFileName(&dc), row.expected) << row.depth;
    }
    CLayout layout;
    writeLayout("[BITMAP]\n16=SMALL.BMP\n");
    ASSERT_EQ(layout.Load(), 1);
    ScreenDC dc;
    EXPECT_STREQ(layout.GetBitmapFileName(&dc), "");
}

} // namespace
} // namespace corvane_test
