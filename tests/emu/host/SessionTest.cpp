#include "tests/support/UserFixture.h"

#include "platform/emu/host/Screenshot.h"
#include "platform/emu/user/HostInput.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace corvane_test {
namespace {

using Session = UserFixture;

struct PngPixels {
    int width = 0;
    int height = 0;
    std::vector<png_byte> rgb;
    COLORREF at(int x, int y) const {
        size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return RGB(rgb[i], rgb[i + 1], rgb[i + 2]);
    }
};

bool readPng(const std::string& path, PngPixels& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    bool ok = png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

TEST_F(Session, AHeadlessRunMovesKeysAndLeavesAScreenshotOfTheScreen) {
    HWND hwnd = topLevel(120, 100, 560, 400, "Quentor - Utility");
    ShowWindow(hwnd, SW_SHOW);
    std::string shot = m_files / "session.png";
    forget();
    runScript("move 300 40\nkey down\nkey up\nwait 200\nscreenshot " + shot + "\n");
    EXPECT_TRUE(m_exhausted);
    EXPECT_EQ(seen(hwnd, {WM_MOUSEMOVE}).size(), 1u);
    EXPECT_EQ(seenKinds(hwnd, {WM_KEYDOWN, WM_KEYUP}),
              (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP}));
    PngPixels png;
    ASSERT_TRUE(readPng(shot, png));
    ASSERT_EQ(png.width, 800);
    ASSERT_EQ(png.height, 600);
    for (auto [x, y] : std::vector<std::pair<int, int>>{{0, 0}, {300, 300}, {650, 110}, {5, 590}}) {
        EXPECT_EQ(png.at(x, y), pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(png.at(5, 5), RGB(0, 128, 128));
    EXPECT_EQ(png.at(650, 110), RGB(0, 0, 128));
}

// With no host to feed it, a loop that runs out of work ends instead of
// waiting for ever: the posted message and the painting still come first.
TEST_F(Session, WithoutAnIdleHandlerALoopEndsOnceNothingIsLeft) {
    HWND hwnd = topLevel(120, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    emu::user::setIdleHandler(nullptr);
    PostMessageA(hwnd, WM_USER + 7, 0, 0);
    std::vector<UINT> got;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        got.push_back(message.message);
        DispatchMessageA(&message);
    }
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), static_cast<UINT>(WM_USER + 7));
    EXPECT_NE(std::find(got.begin(), got.end(), static_cast<UINT>(WM_PAINT)), got.end());
}

TEST_F(Session, AScreenshotThatCannotBeWrittenFailsTheRun) {
    emu::host::InputScript script;
    std::string error;
    ASSERT_TRUE(emu::host::InputScript::parse("wait 1\nscreenshot /nonexistent/dir/x.png\n", script,
                                              error));
    std::string reason;
    emu::host::SessionEnds ends;
    ends.exhausted = [] { PostQuitMessage(0); };
    ends.failed = [&](const std::string& why) { reason = why; };
    emu::host::HostSession session(std::move(script), nullptr, ends);
    session.start();
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    EXPECT_EQ(reason, "line 2: cannot write screenshot /nonexistent/dir/x.png");
}

} // namespace
} // namespace corvane_test
