// Start-up of the launcher: the window's size, place and title from
// layout.ini, the platform test and its release tag, and how the program ends.
#include "app/CLauncherApp.h"
#include "platform/emu/kernel/Trace.h"
#include "platform/framework/CWnd.h"
#include "tests/support/BmpFile.h"
#include "tests/support/CregSamples.h"
#include "tests/support/ScriptedInput.h"
#include "tests/support/SetupRun.h"
#include "tests/support/TestDisk.h"
#include "tests/support/TestMachine.h"

#include <gtest/gtest.h>

using namespace corvane_test;

namespace {

std::string picture(int width, int height) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bitCount = 8;
    bmp.palette = {RGB(10, 20, 30), RGB(200, 100, 50)};
    bmp.pixel = [](int x, int) { return x % 2; };
    return bmp.bytes();
}

std::string layout(const std::string& layoutSection) {
    return "[LAYOUT]\r\n" + layoutSection + "[BITMAP]\r\n256=PIC.BMP\r\n16=PIC.BMP\r\n" +
           "[MENU]\r\n1=Install,100,\r\n2=Quit,4,\r\n";
}

// The program's start-up in this process, on a machine whose disk holds
// layout.ini (unless it is empty) and a 300 x 200 picture.
class StartUp : public ::testing::Test {
protected:
    // Start-up's message boxes, if any, are answered with Enter.
    BOOL start(const std::string& layoutText) {
        if (!layoutText.empty()) {
            machine.writeDisk("layout.ini", layoutText);
        }
        machine.writeDisk("PIC.BMP", picture(300, 200));
        machine.config().traceFile = traceDir / "trace.txt";
        machine.boot();
        session = startScriptedInput("key enter\n");
        app.LoadAppTitle();
        return app.InitInstance();
    }
    void TearDown() override {
        if (app.m_pMainWnd != nullptr) {
            app.m_pMainWnd->DestroyWindow();
        }
        emu::Trace::close();
    }
    RECT windowRect() {
        RECT rect = {};
        GetWindowRect(app.m_pMainWnd->m_hWnd, &rect);
        return rect;
    }
    std::vector<std::string> traceLines(const std::string& prefix) {
        std::vector<std::string> lines;
        std::string text = readHostFile(traceDir / "trace.txt");
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            std::string line = text.substr(start, end - start);
            if (line.compare(0, prefix.size(), prefix) == 0) {
                lines.push_back(line);
            }
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return lines;
    }

    TempDir traceDir;
    TestMachine machine;
    std::unique_ptr<emu::host::HostSession> session;
    CLauncherApp app;
};

} // namespace

TEST_F(StartUp, WithoutASizeTheWindowIs560By400CentredOnTheScreen) {
    ASSERT_TRUE(start(layout("")));
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 560);
    EXPECT_EQ(rect.bottom - rect.top, 400);
    EXPECT_EQ(rect.left, (800 - 560) / 2);
    EXPECT_EQ(rect.top, (600 - 400) / 2);
    EXPECT_TRUE(IsWindowVisible(app.m_pMainWnd->m_hWnd));
    EXPECT_EQ(traceLines("ShowWindow(0x1, 5)").size(), 1u);
}

TEST_F(StartUp, SizeBitmapTakesThePicturesSize) {
    ASSERT_TRUE(start(layout("SIZE=bitmap\r\n")));
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 300);
    EXPECT_EQ(rect.bottom - rect.top, 200);
    RECT client = {};
    GetClientRect(app.m_pMainWnd->m_hWnd, &client);
    EXPECT_EQ(client.right, 294);
    EXPECT_EQ(client.bottom, 173);
}

TEST_F(StartUp, ASizeWithoutACommaIsAHeightOnly) {
    ASSERT_TRUE(start(layout("SIZE=640\r\n")));
    RECT rect = windowRect();
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 640);
    EXPECT_EQ(traceLines("MoveWindow(0x1, 0, 0, 0, 640, 1)").size(), 1u);
}

TEST_F(StartUp, TheTitleComesFromTheCaption) {
    ASSERT_TRUE(start(layout("CAPTION=Driver Setup\r\n")));
    char title[64] = {};
    GetWindowTextA(app.m_pMainWnd->m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Quentor - Driver Setup");
}

TEST_F(StartUp, AMissingLayoutIsTheOnlyMessage) {
    machine.config().platformId = VER_PLATFORM_WIN32_NT;
    EXPECT_FALSE(start(""));
    std::vector<std::string> boxes = traceLines("MessageBoxA(");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "MessageBoxA(0x0, \"Couldn't open layout.ini file.\\nPlease make sure it "
                        "is in the same directory as setup.exe.\", \"corvane\", 16) = 1");
    EXPECT_TRUE(traceLines("ShowWindow(").empty());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST_F(StartUp, AnotherPlatformReadsTheLayoutThenRefusesWithoutShowingTheWindow) {
    machine.config().platformId = VER_PLATFORM_WIN32_NT;
    EXPECT_FALSE(start(layout("CAPTION=Seen\r\n")));
    EXPECT_EQ(traceLines("SetWindowTextA(0x1, \"Quentor - Seen\")").size(), 1u);
    std::vector<std::string> boxes = traceLines("MessageBoxA(");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "MessageBoxA(0x0, \"This program runs under Windows 95 system only.\", "
                        "\"corvane\", 48) = 1");
    EXPECT_TRUE(traceLines("ShowWindow(").empty());
    EXPECT_EQ(app.m_pMainWnd, nullptr);
}

// The tag follows the service-pack text: given (--csd), or as the release
// the registry records reports it.
TEST(ReleaseTag, ComesFromTheServicePackText) {
    struct Row {
        DWORD platform;
        const char* csd; // nullptr: not given
        // VersionNumber and SubVersionNumber in SYSTEM.DAT; nullptr: none
        const char* version;
        const char* subVersion;
        int supported;
        const char* tag;
    };
    const Row rows[] = {
        {1, " A ", nullptr, nullptr, 1, "950A"},
        {1, " B", nullptr, nullptr, 1, "950B"},
        {1, " C", nullptr, nullptr, 1, "950"},
        {1, "", nullptr, nullptr, 1, "950"},
        {1, "aB", nullptr, nullptr, 1, "950A"},
        {1, "Service Pack 1", nullptr, nullptr, 1, "950A"},
        {1, "b", nullptr, nullptr, 1, "950B"},
        {2, " A ", nullptr, nullptr, 0, ""},
        {0, "", nullptr, nullptr, 0, ""},
        {1, nullptr, nullptr, nullptr, 1, "950"},
        // Each release as it records itself: 95, OSR1, OSR2, OSR2.1, OSR2.5,
        // 98, 98 SE, ME; --csd decides over the registry.
        {1, nullptr, "4.00.950", "", 1, "950"},
        {1, nullptr, "4.00.950", " A", 1, "950A"},
        {1, nullptr, "4.00.1111", " B", 1, "950B"},
        {1, nullptr, "4.03.1212", " B", 1, "950B"},
        {1, nullptr, "4.03.1214", " C", 1, "950"},
        {1, nullptr, "4.10.1998", " ", 1, "950"},
        {1, nullptr, "4.10.2222", " A ", 1, "950A"},
        {1, nullptr, "4.90.3000", " ", 1, "950"},
        {1, " A ", "4.00.1111", " B", 1, "950A"},
    };
    for (const Row& row : rows) {
        TestMachine machine;
        machine.config().platformId = row.platform;
        if (row.csd != nullptr) {
            machine.config().csdVersion = row.csd;
        }
        if (row.version != nullptr) {
            machine.writeC("WINDOWS/SYSTEM.DAT", cregReleaseHive(row.version, row.subVersion));
        }
        machine.boot();
        CLauncherApp app;
        std::string which =
            std::string(row.csd ? row.csd : "-") + "/" + (row.version ? row.version : "-");
        EXPECT_EQ(app.ClassifyRelease(), row.supported) << which;
        EXPECT_STREQ(app.GetReleaseTag(), row.tag) << row.platform << " " << which;
    }
}

TEST(Ending, TheCloseBoxEndsTheProgramWithoutAQuestion) {
    // The close box lies at the window's far edge, so a window as large as an
    // int allows puts it, and every point the host works out from the window,
    // at the edge of the coordinate range; the run under the sanitizers fails
    // on any overflow on the way.
    struct Row {
        const char* size;
        const char* script;
    };
    const Row rows[] = {
        {"560, 400", "close\n"},
        {"2147483647,2147483647", "close\n"},
        {"2147483647,2147483647",
         "move 32767 32767\nclick -32768 -32768\nscreenshot shot.png\nmove 5 5\nclose\n"},
        {"2147483647, 300", "move 32767 5\nclose\n"},
    };
    for (const Row& row : rows) {
        TestDisk disk;
        std::string layout = readHostFile(disk.disk() + "/layout.ini");
        size_t at = layout.find("SIZE=560, 400");
        ASSERT_NE(at, std::string::npos);
        disk.writeDisk("layout.ini", layout.replace(at + 5, 8, row.size));
        SetupRun run;
        run.disk = disk.disk();
        run.cDrive = disk.cDrive();
        run.script = row.script;
        SetupResult result = run.run();
        EXPECT_EQ(result.exitStatus, 0) << row.size << ": " << result.errors;
        EXPECT_TRUE(result.calls("MessageBoxA").empty()) << row.size;
        EXPECT_EQ(result.calls("DestroyWindow(0x1)").size(), 1u) << row.size;
    }
}

TEST(Ending, ArrowKeysWorkAgainAfterTheWindowWasDeactivated) {
    // The quit question takes the activation away and gives it back; Down
    // then moves the focus from Quit round to Install, and Enter runs it.
    TestDisk disk;
    SetupRun run;
    run.disk = disk.disk();
    run.cDrive = disk.cDrive();
    run.script = "key up\nkey enter\nkey n\nkey down\nkey enter\nkey n\n";
    SetupResult result = run.run();
    EXPECT_EQ(result.calls("MessageBoxA(0x1, \"Quit this program?\"").size(), 1u);
    EXPECT_EQ(result.calls("CreateDialogParamA(").size(), 1u);
    EXPECT_TRUE(disk.infExists("ONE.BAK"));
}
