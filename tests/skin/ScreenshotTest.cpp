// The skin as a user sees it: the launcher's own window, driven by emulated
// mouse and key input, and a picture of the screen.
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/gdi/EditionFaces.h"
#include "platform/emu/user/HostInput.h"
#include "platform/emu/user/Look95.h"
#include "skin/CMenuCollector.h"
#include "skin/CMyMenu.h"
#include "tests/skin/SkinMachine.h"
#include "tests/support/BmpFile.h"
#include "tests/support/GlyphInk.h"
#include "window/CSetupWnd.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace corvane_test {
namespace {

// A night-sky gradient with a lighter band, so that glyphs, the arrow and the
// inverted dots of the frame all show.
BmpFile skinPicture() {
    BmpFile bmp;
    bmp.width = 240;
    bmp.height = 180;
    for (int i = 0; i < 256; ++i) {
        bmp.palette.push_back(RGB(10 + i / 8, 30 + i / 3, 60 + i * 3 / 4));
    }
    bmp.pixel = [](int x, int y) {
        int band = (y > 120 && y < 140) ? 60 : 0;
        return std::min(255, y * 200 / 179 + x / 24 + band);
    };
    return bmp;
}

// The launcher's window on the disk in the current folder, shown and active;
// it deletes itself when it is destroyed. nullptr when it cannot be made.
CSetupWnd* openLauncher() {
    CSetupWnd* window = new CSetupWnd;
    if (!window->Create("Quentor - Utility", RECT{0, 0, 400, 420})) {
        return nullptr;
    }
    window->ShowWindow(SW_SHOW);
    window->UpdateWindow();
    SetFocus(window->m_hWnd);
    emu::user::pumpPending();
    return window;
}

class ScreenshotTest : public SkinMachine {
protected:
    POINT toScreen(HWND hWnd, POINT client) {
        ClientToScreen(hWnd, &client);
        return client;
    }
    // Outline pixels of item i's frame (screen coordinates) that are now
    // the inversion of what they were in `before`.
    int invertedOnOutline(HWND hWnd, const RECT& item, const ScreenArea& before) {
        POINT origin = toScreen(hWnd, POINT{0, 0});
        RECT f = {item.left - 3, item.top - 1, item.right + 3, item.bottom + 1};
        int count = 0;
        int stride = before.rect.right - before.rect.left;
        for (int y = f.top; y <= f.bottom; ++y) {
            for (int x = f.left; x <= f.right; ++x) {
                if (y != f.top && y != f.bottom && x != f.left && x != f.right) {
                    continue;
                }
                int sx = origin.x + x;
                int sy = origin.y + y;
                COLORREF old = before.pixels[sy * stride + sx];
                count += pixel(sx, sy) == (old ^ 0x00FFFFFF) ? 1 : 0;
            }
        }
        return count;
    }
    int countColour(HWND hWnd, const RECT& item, COLORREF colour) {
        POINT origin = toScreen(hWnd, POINT{0, 0});
        int count = 0;
        for (int y = item.top; y < item.bottom; ++y) {
            for (int x = item.left; x <= item.right; ++x) {
                count += pixel(origin.x + x, origin.y + y) == colour ? 1 : 0;
            }
        }
        return count;
    }
};

TEST_F(ScreenshotTest, HoverAndDownShowOnTheSkinnedWindow) {
    const COLORREF focus = RGB(255, 255, 0);
    const COLORREF nonFocus = RGB(255, 255, 255);
    writeLayout("[LAYOUT]\nSIZE=480, 360\nALIGNMENT=RIGHT\nCAPTION=Skin Check\n"
                "[BITMAP]\n16=SKIN16.BMP\n256=SKIN256.BMP\n"
                "[FONT]\nSize=20\nFaceName=Arial\nFocus=255,255,0\nNonFocus=255,255,255\n"
                "[GAPS]\nVERTICAL=40\nHORIZONTAL=30\nIN_BETWEEN=12\n"
                "[MENU]\n1=Install drivers,100,\n2=More options,2,\n3=Quit,4,\n");
    writeDiskFile("SKIN256.BMP", skinPicture().bytes());

    CSetupWnd* window = openLauncher();
    ASSERT_NE(window, nullptr);
    CMenuCollector& menu = *window->GetMenu();

    const RECT second = menu.GetItem(1)->GetRect();
    POINT middle = {(second.left + second.right) / 2, (second.top + second.bottom) / 2};
    emu::user::postMouseMove(toScreen(window->m_hWnd, middle));
    emu::user::pumpPending();
    ScreenArea beforeDown = capture(RECT{0, 0, 800, 600});

    emu::user::postKey(VK_DOWN, true);
    emu::user::postKey(VK_DOWN, false);
    emu::user::pumpPending();
    std::string error;
    EXPECT_TRUE(emu::host::Screenshot::write(
        std::string(CORVANE_BINARY_DIR) + "/skin-screenshot.png", error))
        << error;

    EXPECT_EQ(menu.GetFocusIndex(), 1);
    for (int i = 0; i < 3; ++i) {
        const RECT& r = menu.GetItem(i)->GetRect();
        EXPECT_EQ(countColour(window->m_hWnd, r, focus) > 0, i == 1) << i;
        EXPECT_EQ(countColour(window->m_hWnd, r, nonFocus) > 0, i != 1) << i;
    }
    // The frame left the first item and came to the second.
    EXPECT_GT(invertedOnOutline(window->m_hWnd, menu.GetItem(0)->GetRect(), beforeDown), 0);
    EXPECT_GT(invertedOnOutline(window->m_hWnd, second, beforeDown), 0);
    EXPECT_EQ(invertedOnOutline(window->m_hWnd, menu.GetItem(2)->GetRect(), beforeDown), 0);
    char title[64] = {};
    GetWindowTextA(window->m_hWnd, title, sizeof title);
    EXPECT_STREQ(title, "Quentor - Skin Check");
    window->DestroyWindow();
}

// The Traditional Chinese demo on its edition's machine: the code page comes
// from the installation's registry, and the caption (in the edition's face)
// and every menu item (in the face layout.ini names) show Chinese glyphs,
// not the missing-glyph box.
TEST(LocalisedDemoScreenshot, CaptionAndMenuItemsAreDrawnInChineseGlyphs) {
    TestMachine machine(TestMachine::demo950());
    machine.boot();
    ASSERT_EQ(GetACP(), 950u);
    CSetupWnd* window = openLauncher();
    ASSERT_NE(window, nullptr);
    std::string error;
    EXPECT_TRUE(emu::host::Screenshot::write(
        std::string(CORVANE_BINARY_DIR) + "/localised-demo-screenshot.png", error))
        << error;

    // Only the double-byte characters are judged; the Latin ones between
    // them ("HV-5T") are no test of the edition's type. Each font's
    // missing-glyph shape is drawn on the desktop below the window, after
    // the checks' pixels are on the screen.
    int judged = 0;
    const auto expectGlyphs = [&judged](HFONT font, const std::string& text, int left, int top,
                                        int bottom, std::vector<COLORREF> inks) {
        std::vector<std::pair<CharacterCell, GlyphInk>> found;
        for (const CharacterCell& cell : characterCells(font, text, left, top, bottom)) {
            if (cell.character.size() != 2) {
                continue;
            }
            GlyphInk most;
            for (COLORREF ink : inks) {
                const GlyphInk inColour = glyphInk(cell.cell, ink);
                most = inColour.ink > most.ink ? inColour : most;
            }
            found.emplace_back(cell, most);
        }
        if (found.empty()) {
            return;
        }
        const RECT desktop{0, 540, 80, 600};
        const GlyphInk missing = missingGlyph(font, found.front().first.character[0], desktop);
        for (const auto& [cell, ink] : found) {
            EXPECT_TRUE(ink.drawnUnlike(missing)) << "character at " << cell.cell.left << ", ink "
                                                  << ink.ink << ", inside " << ink.interior;
            ++judged;
        }
    };

    char title[128] = {};
    GetWindowTextA(window->m_hWnd, title, sizeof title);
    const std::string caption = title;
    EXPECT_EQ(caption, "Quentor - \xAB\xA2\xA8\x55\xAA\x4C HV-5T "
                       "\xB4\xB9\xA4\xF9\xB2\xD5\xC5\x58\xB0\xCA\xB5\x7B\xA6\xA1"
                       "\xBA\xCF\xA4\xF9");
    RECT frame{};
    GetWindowRect(window->m_hWnd, &frame);
    const int barTop = frame.top + emu::user::Look95::kFixedFrame;
    HFONT captionFont = emu::user::Look95::createUiFont(true);
    expectGlyphs(captionFont, caption, frame.left + emu::user::Look95::kFixedFrame + 2, barTop,
                 barTop + emu::user::Look95::kCaptionBar, {GetSysColor(COLOR_CAPTIONTEXT)});
    DeleteObject(captionFont);

    // The menu's font as CMyFont makes it from [FONT]: Size=22, bold.
    LOGFONTA lf{};
    lf.lfHeight = 22;
    lf.lfWeight = FW_BOLD;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::strncpy(lf.lfFaceName, emu::gdi::EditionFaces::uiFace(950), LF_FACESIZE - 1);
    HFONT menuFont = CreateFontIndirectA(&lf);
    CMenuCollector& menu = *window->GetMenu();
    POINT origin{0, 0};
    ClientToScreen(window->m_hWnd, &origin);
    for (int i = 0; i < 4; ++i) {
        const CMyMenu& item = *menu.GetItem(i);
        std::string shown = static_cast<const char*>(item.GetText());
        shown.erase(std::remove(shown.begin(), shown.end(), '&'), shown.end());
        const RECT& r = item.GetRect();
        // [FONT]'s NonFocus and Focus colours.
        expectGlyphs(menuFont, shown, origin.x + r.left, origin.y + r.top, origin.y + r.bottom,
                     {RGB(255, 255, 255), RGB(255, 176, 64)});
    }
    DeleteObject(menuFont);
    // 12 characters in the caption, 6 + 6 + 4 + 2 in the items.
    EXPECT_EQ(judged, 30);
    window->DestroyWindow();
}

} // namespace
} // namespace corvane_test
