#include "tests/support/UserFixture.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/host/Screenshot.h"
#include "platform/emu/user/HostInput.h"

#include <cstring>
#include <functional>

namespace corvane_test {
namespace {

using MessageBoxes = UserFixture;

const COLORREF kActiveCaption = RGB(0, 0, 128);
const COLORREF kInactiveCaption = RGB(128, 128, 128);

class MessageBoxRun : public MessageBoxes {
protected:
    int run(const char* text, UINT flags, const std::string& script) {
        int result = -1;
        s_onUser = [&](HWND hwnd) { result = MessageBoxA(hwnd, text, "corvane", flags); };
        PostMessageA(m_owner, WM_USER, 0, 0);
        runScript(script);
        s_onUser = nullptr;
        return result;
    }
    // The same, with no script: once the box is up and waiting, whileUp is
    // called with it, once, and answers it with posted input. The loop ends
    // when the box is gone and nothing more comes.
    int runWhileUp(const char* text, UINT flags, const std::function<void(HWND box)>& whileUp) {
        int result = -1;
        s_onUser = [&](HWND hwnd) { result = MessageBoxA(hwnd, text, "corvane", flags); };
        PostMessageA(m_owner, WM_USER, 0, 0);
        emu::host::InputScript pause; // a pause lets the box come up first
        std::string error;
        EXPECT_TRUE(emu::host::InputScript::parse("wait 1\n", pause, error)) << error;
        bool looked = false;
        emu::host::SessionEnds ends;
        ends.exhausted = [&] {
            if (looked) {
                PostQuitMessage(0);
                return;
            }
            looked = true;
            whileUp(GetActiveWindow());
        };
        {
            emu::host::HostSession session(std::move(pause), nullptr, ends);
            session.start();
            MSG message;
            while (GetMessageA(&message, nullptr, 0, 0) > 0) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        }
        s_onUser = nullptr;
        EXPECT_TRUE(looked) << text;
        return result;
    }
    void SetUp() override {
        MessageBoxes::SetUp();
        m_owner = topLevel(120, 100, 560, 400, "Quentor - Utility");
        ShowWindow(m_owner, SW_SHOW);
    }
    HWND m_owner = nullptr;
};

TEST_F(MessageBoxRun, KeysAndClicksAnswerAsTheButtonsSay) {
    struct Row {
        UINT flags;
        const char* script;
        int expected;
    };
    const Row rows[] = {
        {36, "key n\n", IDNO},
        {36, "key y\n", IDYES},
        {36, "key enter\n", IDYES},         // the first button is the default
        {36, "key escape\nkey n\n", IDNO},  // no Cancel: Escape does nothing
        {36, "key tab\nkey enter\n", IDNO}, // Enter presses the focused button
        {36, "key tab\nkey space\n", IDNO},
        {36, "close\nkey n\n", IDNO}, // a greyed close box does nothing
        {16, "key enter\n", IDOK},
        {0, "key o\n", IDOK},
        {0, "key escape\n", IDOK},
        {48, "close\n", IDOK},
        {MB_OKCANCEL, "key escape\n", IDCANCEL},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(run("Quit this program?", row.flags, row.script), row.expected)
            << row.flags << " " << row.script;
        EXPECT_TRUE(IsWindowEnabled(m_owner));
        EXPECT_EQ(GetActiveWindow(), m_owner);
    }
}

TEST_F(MessageBoxRun, ClickOnAButtonPressesItAndTheOwnerIsDisabledMeanwhile) {
    // The box is centred over its owner: 560 x 400 at (120, 100). Its Yes and
    // No buttons sit side by side in the middle of its bottom row; find them
    // from the box itself while it is up.
    bool ownerEnabled = true;
    HWND box = nullptr;
    forget();
    int result = runWhileUp("Quit this program?", 36, [&](HWND up) {
        box = up;
        ownerEnabled = IsWindowEnabled(m_owner) != FALSE;
        RECT yes{};
        GetWindowRect(GetDlgItem(box, IDYES), &yes);
        POINT at{(yes.left + yes.right) / 2, (yes.top + yes.bottom) / 2};
        POINT onOwner{50, 50};
        ClientToScreen(m_owner, &onOwner);
        emu::user::postMouseButton(onOwner, true); // ignored: the owner is disabled
        emu::user::postMouseButton(onOwner, false);
        emu::user::postMouseMove(at);
        emu::user::postMouseButton(at, true);
        emu::user::postMouseButton(at, false);
    });
    ASSERT_NE(box, nullptr);
    EXPECT_NE(box, m_owner);
    EXPECT_FALSE(ownerEnabled);
    EXPECT_EQ(result, IDYES);
    EXPECT_TRUE(seen(m_owner, {WM_LBUTTONDOWN, WM_LBUTTONUP}).empty());
    EXPECT_FALSE(IsWindow(box));
    EXPECT_NE(traceText().find("MessageBoxA(0x1, \"Quit this program?\", \"corvane\", 36) = 6\n"),
              std::string::npos)
        << traceText();
    // The box's own windows are no calls of the program.
    EXPECT_EQ(traceText().find("\"&Yes\""), std::string::npos) << traceText();
}

TEST_F(MessageBoxRun, TheBoxShowsCaptionIconTextAndButtons) {
    std::string shot = m_files / "box.png";
    int result = run("This program couldn't proceed because of file or files missing.\nPlease "
                     "make sure the following files are exist:\n\n1) MSHDC.QTR in this working "
                     "directory.\n2) MSHDC.INF in Windows INF directory.",
                     16, "screenshot " + shot + "\nkey enter\n");
    EXPECT_EQ(result, IDOK);
    std::string png = readHostFile(shot);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
}

// The pixels of a rectangle of the screen, row after row.
std::vector<COLORREF> block(const RECT& r) {
    std::vector<COLORREF> out;
    emu::gdi::FrameBuffer& surface = emu::gdi::screen();
    std::lock_guard<std::mutex> lock(surface.mutex());
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            out.push_back(surface.at(x, y));
        }
    }
    return out;
}

// What DrawText sets in 8-point MS Sans Serif on the button face, in a
// rectangle of the screen grown by `margin` on every side.
std::vector<COLORREF> referenceText(const char* text, RECT r, int margin) {
    HDC dc = emu::gdi::createDeviceContext(POINT{0, 0}, {RECT{0, 0, 800, 600}});
    RECT ground{r.left - margin, r.top - margin, r.right + margin, r.bottom + margin};
    HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_3DFACE));
    FillRect(dc, &ground, face);
    DeleteObject(face);
    LOGFONTA lf{};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    std::strncpy(lf.lfFaceName, "MS Sans Serif", LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    DrawTextA(dc, text, -1, &r, DT_WORDBREAK | DT_NOPREFIX | DT_LEFT);
    SelectObject(dc, old);
    DeleteObject(font);
    emu::gdi::destroyDeviceContext(dc);
    return block(ground);
}

TEST_F(MessageBoxRun, TheLayoutFollowsTheDialogFontsMetrics) {
    // In 8-point MS Sans Serif (13-pixel lines) "Quit this program?" is 85
    // pixels wide, the two lines below 158 and 195. The icon sits 12 pixels
    // in, the text 12 pixels right of it (x 56), centred on the icon's 32
    // pixels when shorter; the 75 x 23 buttons (50 x 14 dialog units of
    // base units 6 x 13), 6 apart, come 12 below the icon and are centred in
    // a client area 12 wider than the text or the button row, whichever is
    // wider; the frame adds 3 a side and the caption band 21.
    struct Row {
        const char* text;
        UINT flags;
        RECT textAt; // client coordinates
        std::vector<POINT> buttons;
        SIZE client;
        SIZE outer;
    };
    const Row rows[] = {
        {"Quit this program?", 36, {56, 21, 141, 34}, {{12, 56}, {93, 56}}, {180, 91}, {186, 118}},
        {"There were no uninstall files exist.\nUninstall function was unable to proceed.",
         48,
         {56, 15, 251, 41},
         {{94, 56}},
         {263, 91},
         {269, 118}},
    };
    constexpr int kMargin = 2;
    for (const Row& row : rows) {
        RECT outer{}, client{};
        std::vector<RECT> buttons;
        std::vector<COLORREF> shown;
        runWhileUp(row.text, row.flags, [&](HWND box) {
            GetWindowRect(box, &outer);
            GetClientRect(box, &client);
            for (HWND b = GetWindow(box, GW_CHILD); b != nullptr; b = GetWindow(b, GW_HWNDNEXT)) {
                RECT r{};
                GetWindowRect(b, &r);
                ScreenToClient(box, reinterpret_cast<POINT*>(&r.left));
                ScreenToClient(box, reinterpret_cast<POINT*>(&r.right));
                buttons.push_back(r);
            }
            POINT at{row.textAt.left - kMargin, row.textAt.top - kMargin};
            ClientToScreen(box, &at);
            shown = block(RECT{at.x, at.y, at.x + row.textAt.right - row.textAt.left + 2 * kMargin,
                               at.y + row.textAt.bottom - row.textAt.top + 2 * kMargin});
            emu::user::postKey(VK_RETURN, true);
            emu::user::postKey(VK_RETURN, false);
        });
        EXPECT_EQ(outer.right - outer.left, row.outer.cx) << row.text;
        EXPECT_EQ(outer.bottom - outer.top, row.outer.cy) << row.text;
        EXPECT_EQ(client.right, row.client.cx) << row.text;
        EXPECT_EQ(client.bottom, row.client.cy) << row.text;
        ASSERT_EQ(buttons.size(), row.buttons.size()) << row.text;
        for (size_t i = 0; i < buttons.size(); ++i) {
            EXPECT_EQ(buttons[i].left, row.buttons[i].x) << row.text << " " << i;
            EXPECT_EQ(buttons[i].top, row.buttons[i].y) << row.text << " " << i;
            EXPECT_EQ(buttons[i].right - buttons[i].left, 75) << row.text << " " << i;
            EXPECT_EQ(buttons[i].bottom - buttons[i].top, 23) << row.text << " " << i;
        }
        // The text, pixel for pixel, where the layout puts it.
        const RECT reference{20, 500, 20 + row.textAt.right - row.textAt.left,
                             500 + row.textAt.bottom - row.textAt.top};
        EXPECT_EQ(shown, referenceText(row.text, reference, kMargin)) << row.text;
    }
}

TEST_F(MessageBoxRun, OwnerCaptionTurnsInactiveWhileTheBoxIsUp) {
    COLORREF ownerCaption = 0;
    COLORREF boxCaption = 0;
    int result = runWhileUp("Restart now?", 36, [&](HWND box) {
        ownerCaption = pixel(120 + 560 - 30, 100 + 10);
        RECT boxRect{};
        GetWindowRect(box, &boxRect);
        boxCaption = pixel(boxRect.right - 30, boxRect.top + 10);
        emu::user::postKey('N', true);
        emu::user::postKey('N', false);
    });
    EXPECT_EQ(result, IDNO);
    EXPECT_EQ(ownerCaption, kInactiveCaption);
    EXPECT_EQ(boxCaption, kActiveCaption);
    EXPECT_EQ(pixel(120 + 560 - 30, 100 + 10), kActiveCaption);
}

} // namespace
} // namespace corvane_test
