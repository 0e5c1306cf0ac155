// setup --sheet and setup --watch, checked against what ordinary sessions of
// the program show on the same emulated screen.
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/kernel/FileSteps.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    unsigned pixel(int x, int y) const {
        size_t at = (static_cast<size_t>(y) * width + x) * 3;
        return rgb[at] << 16 | rgb[at + 1] << 8 | rgb[at + 2];
    }
    Picture crop(int left, int top, int w, int h) const {
        Picture part;
        part.width = w;
        part.height = h;
        for (int y = top; y < top + h; ++y) {
            for (int x = left; x < left + w; ++x) {
                size_t at = (static_cast<size_t>(y) * width + x) * 3;
                part.rgb.insert(part.rgb.end(), rgb.begin() + at, rgb.begin() + at + 3);
            }
        }
        return part;
    }
};

Picture readPng(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << "cannot read " << path;
        return picture;
    }
    image.format = PNG_FORMAT_RGB;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    EXPECT_NE(png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr), 0);
    png_image_free(&image);
    return picture;
}

// The smallest rectangle holding every pixel that is not the desktop's
// colour (the top-left pixel): left, top, width, height.
std::vector<int> windowBox(const Picture& screen) {
    unsigned desktop = screen.pixel(0, 0);
    int left = screen.width, top = screen.height, right = -1, bottom = -1;
    for (int y = 0; y < screen.height; ++y) {
        for (int x = 0; x < screen.width; ++x) {
            if (screen.pixel(x, y) != desktop) {
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x);
                bottom = std::max(bottom, y);
            }
        }
    }
    return {left, top, right - left + 1, bottom - top + 1};
}

std::string demoFolder(const std::string& name) {
    return std::string(CORVANE_TEST_DATA) + "/../demo/" + name;
}

// Runs setup in folder with the arguments; the exit status.
int runSetup(const std::string& folder, const std::string& arguments, const std::string& errors) {
    std::string line = "cd '" + folder + "' && '" + std::string(CORVANE_SETUP_EXE) + "' " +
                       arguments + " </dev/null >/dev/null 2>'" + errors + "'";
    int raw = std::system(line.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// A plain headless session of the demo disk at depth, the pointer at (x, y)
// of the client area, screenshot to file.
void sessionScreenshot(const TempDir& work, int depth, const char* pointer,
                       const std::string& file) {
    writeHostFile(work / "shot.script",
                  std::string("wait 300\n") + pointer + "screenshot " + file + "\nclose\n");
    ASSERT_EQ(runSetup(work / "disk",
                       "--headless --clock virtual --depth " + std::to_string(depth) +
                           " --drive C='" + work / "c" + "' --input '" + work / "shot.script" + "'",
                       work / "errors.txt"),
              0)
        << readHostFile(work / "errors.txt");
}

// The pointer over the second item of the demo's menu, in client coordinates.
const char kOverSecondItem[] = "move 460 219\n";

TEST(SkinSheet, BothHalvesAreWhatTheProgramShowsAtThatDepth) {
    TempDir work;
    copyHostTree(demoFolder("disk"), work / "disk");
    copyHostTree(demoFolder("c"), work / "c");
    ASSERT_EQ(runSetup(work / "disk",
                       "--drive C='" + work / "c" + "' --sheet '" + work / "s.png" + "'",
                       work / "errors.txt"),
              0)
        << readHostFile(work / "errors.txt");
    EXPECT_EQ(readHostFile(work / "errors.txt"), "");
    Picture sheet = readPng(work / "s.png");
    const int margin = 16;
    const unsigned ground = 0xC0C0C0;
    ASSERT_GT(sheet.width, 3 * margin);
    const int halfWidth = (sheet.width - 3 * margin) / 2;
    const int halfHeight = sheet.height - 2 * margin;
    struct Half {
        int depth;
        int left; // in the sheet
    };
    const Half halves[] = {{4, margin}, {8, 2 * margin + halfWidth}};
    for (const Half& half : halves) {
        SCOPED_TRACE(half.depth);
        sessionScreenshot(work, half.depth, kOverSecondItem, work / "shot.png");
        Picture screen = readPng(work / "shot.png");
        std::vector<int> box = windowBox(screen);
        ASSERT_EQ(box[2], halfWidth);
        ASSERT_EQ(box[3], halfHeight);
        Picture expected = screen.crop(box[0], box[1], box[2], box[3]);
        Picture actual = sheet.crop(half.left, margin, halfWidth, halfHeight);
        EXPECT_TRUE(actual.rgb == expected.rgb) << "the sheet's half differs from the session";
        // Without the pointer over it, the second item looks different: the
        // sheet shows the hover.
        sessionScreenshot(work, half.depth, "", work / "still.png");
        Picture still = readPng(work / "still.png");
        EXPECT_FALSE(still.crop(box[0], box[1], box[2], box[3]).rgb == actual.rgb);
        // The ground is around and between the windows.
        for (int y = 0; y < sheet.height; ++y) {
            EXPECT_EQ(sheet.pixel(half.left - 1, y), ground) << y;
        }
    }
    EXPECT_EQ(sheet.pixel(sheet.width - 1, sheet.height - 1), ground);
}

TEST(SkinSheet, ReplacesOnlyAPictureAndThatWhole) {
    TempDir work;
    copyHostTree(demoFolder("disk"), work / "disk");
    copyHostTree(demoFolder("c"), work / "c");
    emu::host::RgbImage small;
    small.width = 2;
    small.height = 1;
    small.rgb = {1, 2, 3, 4, 5, 6};
    std::string error;
    ASSERT_TRUE(emu::host::Screenshot::writePng(work / "old.png", small, error)) << error;
    writeHostFile(work / "text.png", "not a picture\n");
    writeHostFile(work / "empty.png", "");
    struct Case {
        const char* target; // in work
        bool replaced;      // else refused, the file unchanged
    };
    const Case cases[] = {
        {"disk/layout.ini", false}, // a layout named by mistake
        {"text.png", false},        // a .png name on other bytes
        {"empty.png", false},
        {"old.png", true}, // an earlier sheet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        const std::string file = work / c.target;
        const std::string before = readHostFile(file);
        int status =
            runSetup(work / "disk", "--drive C='" + work / "c" + "' --sheet '" + file + "'",
                     work / "errors.txt");
        const std::string errors = readHostFile(work / "errors.txt");
        if (c.replaced) {
            EXPECT_EQ(status, 0) << errors;
            EXPECT_GT(readPng(file).width, small.width);
        } else {
            EXPECT_EQ(status, 2);
            EXPECT_NE(errors.find(file + " is not a PNG picture; --sheet replaces only a picture"),
                      std::string::npos)
                << errors;
            EXPECT_EQ(readHostFile(file), before);
        }
    }
    // A write that fails on a full disk leaves the sheet there whole and no
    // new file beside it.
    const std::string sheet = readHostFile(work / "old.png");
    const std::vector<std::string> entries = folderEntries(work.path());
    emu::kernel::FileSteps::failWrite(1);
    EXPECT_FALSE(emu::host::Screenshot::writePng(work / "old.png", small, error));
    emu::kernel::FileSteps::failWrite(-1);
    EXPECT_EQ(error, "cannot write screenshot " + work / "old.png");
    EXPECT_EQ(readHostFile(work / "old.png"), sheet);
    EXPECT_EQ(folderEntries(work.path()), entries);
}

// The demo's layout.ini with some of its lines replaced.
std::string changedLayout(const std::string& layout,
                          const std::vector<std::pair<std::string, std::string>>& changes) {
    std::string text = layout;
    for (const auto& [from, to] : changes) {
        size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    return text;
}

TEST(Watch, AChangedLayoutRemakesTheWindowInPlaceABrokenOneIsNamedInTheCaption) {
    TempDir work;
    copyHostTree(demoFolder("disk"), work / "disk");
    copyHostTree(demoFolder("c"), work / "c");
    const std::string layout = readHostFile(work / "disk/layout.ini");
    // Same size, other colours and spacing: a fresh start must look the same
    // as the reload.
    writeHostFile(work / "moved.ini",
                  changedLayout(layout, {{"VERTICAL=170", "VERTICAL=60"},
                                         {"Focus=255,224,64", "Focus=255,64,64"}}));
    // A smaller window: it keeps its top-left corner.
    writeHostFile(work / "smaller.ini",
                  changedLayout(layout, {{"SIZE=560, 400", "SIZE=480, 360"}}));
    writeHostFile(work / "broken.ini", "[LAYOUT]\nnothing else\n");
    struct Step {
        const char* layout; // copied over layout.ini; then a screenshot
        bool reloads;
    };
    const Step steps[] = {{"moved.ini", true}, {"smaller.ini", true}, {"broken.ini", false}};
    std::string script =
        std::string("wait 300\n") + kOverSecondItem + "screenshot " + work / "step0.png" + "\n";
    int n = 1;
    for (const Step& step : steps) {
        script += "copy " + work / step.layout + " " + work / "disk/layout.ini\nwait 100\n" +
                  kOverSecondItem + "screenshot " + work / ("step" + std::to_string(n++)) +
                  ".png\n";
    }
    script += "close\n";
    writeHostFile(work / "watch.script", script);
    ASSERT_EQ(runSetup(work / "disk",
                       "--headless --clock virtual --watch --drive C='" + work / "c" +
                           "' --trace '" + work / "trace.txt" + "' --input '" +
                           work / "watch.script" + "'",
                       work / "errors.txt"),
              0)
        << readHostFile(work / "errors.txt");

    std::vector<int> before = windowBox(readPng(work / "step0.png"));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(steps[i].layout);
        Picture shot = readPng(work / ("step" + std::to_string(i + 1) + ".png"));
        std::vector<int> box = windowBox(shot);
        EXPECT_EQ(box[0], before[0]);
        EXPECT_EQ(box[1], before[1]);
        if (i == 0) {
            // What a program started with that layout shows.
            writeHostFile(work / "disk/layout.ini", readHostFile(work / "moved.ini"));
            sessionScreenshot(work, 32, kOverSecondItem, work / "fresh.png");
            EXPECT_TRUE(readPng(work / "fresh.png").rgb == shot.rgb);
            EXPECT_FALSE(readPng(work / "step0.png").rgb == shot.rgb);
        }
        if (i == 1) {
            EXPECT_EQ(box[2], 480);
            EXPECT_EQ(box[3], 360);
        }
        if (i == 2) {
            // The last good window stays, under a caption that says why.
            Picture last = readPng(work / "step2.png");
            EXPECT_EQ(box, windowBox(last));
        }
    }
    const std::string trace = readHostFile(work / "trace.txt");
    EXPECT_NE(trace.find("SetWindowTextA(0x3, \"Quentor - QX-20 Chipset Driver Disk - not "
                         "reloaded: layout.ini, its picture, font or items did not load\") = 1"),
              std::string::npos)
        << trace;
    EXPECT_EQ(trace.find("MessageBoxA"), std::string::npos);
    // The first window and the one remade from moved.ini went; the last good
    // one ended the session.
    EXPECT_NE(trace.find("DestroyWindow(0x1) = 1"), std::string::npos);
    EXPECT_NE(trace.find("DestroyWindow(0x2) = 1"), std::string::npos);
    EXPECT_NE(trace.find("DestroyWindow(0x3) = 1"), std::string::npos);
}

} // namespace
} // namespace corvane_test
