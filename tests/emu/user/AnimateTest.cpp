#include "tests/emu/user/DialogFixture.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/user/controls/AnimateControl.h"
#include "resources/resource.h"

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

using corvane_test::DialogFixture;
using emu::user::AnimateControl;

namespace {

using Animation = DialogFixture;

constexpr LPARAM kWholeClip = static_cast<LPARAM>(0xFFFF0000u);

// What the progress dialog does when it starts: open clip 132 and loop it.
void openAndLoopTheClip(HWND dialog) {
    HWND clip = GetDlgItem(dialog, 1001);
    SendMessageA(clip, ACM_OPENA, 0, IDR_CLIP);
    SendMessageA(clip, ACM_PLAY, static_cast<WPARAM>(-1), kWholeClip);
}

// Frames seen within `limit`, polled every few milliseconds; stops early
// once `enough` different frames have shown.
std::set<int> framesSeen(HWND control, std::chrono::milliseconds limit, size_t enough) {
    std::set<int> seen;
    auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end && seen.size() < enough) {
        seen.insert(AnimateControl::currentFrame(control));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return seen;
}

} // namespace

TEST_F(Animation, PlaysOnItsOwnThreadUntilAskedToPlayNothing) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = openAndLoopTheClip;
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    // The program's thread pumps nothing here; the frames move anyway.
    std::set<int> seen = framesSeen(clip, std::chrono::seconds(10), 4);
    EXPECT_GE(seen.size(), 4u);
    for (int frame : seen) {
        EXPECT_GE(frame, 0);
        EXPECT_LT(frame, 17);
    }
    // Finish's request: repeat 0, from and to the last frame.
    EXPECT_EQ(SendMessageA(clip, ACM_PLAY, 0, static_cast<LPARAM>(0xFFFFFFFFu)), TRUE);
    int halted = AnimateControl::currentFrame(clip);
    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    EXPECT_EQ(AnimateControl::currentFrame(clip), halted);
    EXPECT_TRUE(DestroyWindow(dialog));
    EXPECT_EQ(AnimateControl::currentFrame(clip), -1);
}

// The clip's thread reads the dialog's style under the tree lock each time it
// draws (is the dialog shown?), while the program's thread disables and
// enables the dialog, as a message box over it does.
TEST_F(Animation, PlaysOnWhileItsDialogIsDisabledAndEnabled) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = openAndLoopTheClip;
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    std::set<int> seen;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (seen.size() < 3 && std::chrono::steady_clock::now() < end) {
        EnableWindow(dialog, FALSE);
        EnableWindow(dialog, TRUE);
        seen.insert(AnimateControl::currentFrame(clip));
    }
    EXPECT_GE(seen.size(), 3u);
    EXPECT_TRUE(IsWindowEnabled(dialog));
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(Animation, OpenPlayAndStopAnswerAsTheControlDoes) {
    HWND launcher = owner(100, 100, 560, 400);
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    emu::kernel::ModuleResources resources = emu::kernel::moduleResources();
    resources.clips[140] = resources.clips[IDR_CLIP];
    resources.clips[140].resize(resources.clips[140].size() / 2);
    emu::kernel::setModuleResources(resources);
    HINSTANCE other = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000000));

    struct Step {
        const char* what;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        LRESULT result;
        int frameAfter; // -2: any frame of the clip
    };
    const Step steps[] = {
        {"play without a clip", ACM_PLAY, 1, kWholeClip, FALSE, -1},
        {"no such resource", ACM_OPENA, 0, 133, FALSE, -1},
        {"damaged clip", ACM_OPENA, 0, 140, FALSE, -1},
        {"another module", ACM_OPENA, reinterpret_cast<WPARAM>(other), IDR_CLIP, FALSE, -1},
        {"a file name", ACM_OPENA, 0, reinterpret_cast<LPARAM>("C:\\CLIP.AVI"), FALSE, -1},
        {"the clip, played at once (autoplay)", ACM_OPENA, 0, IDR_CLIP, TRUE, -2},
        {"stop", ACM_STOP, 0, 0, TRUE, -2},
        {"frames past the end", ACM_PLAY, 1, MAKELPARAM(0, 17), FALSE, -2},
        {"backwards", ACM_PLAY, 1, MAKELPARAM(5, 2), FALSE, -2},
        {"one frame once", ACM_PLAY, 1, MAKELPARAM(3, 3), TRUE, 3},
        {"the last frame once", ACM_PLAY, 1, MAKELPARAM(0xFFFF, 0xFFFF), TRUE, 16},
        {"close", ACM_OPENA, 0, 0, TRUE, -1},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(SendMessageA(clip, s.message, s.wParam, s.lParam), s.result) << s.what;
        if (s.frameAfter == -1) {
            EXPECT_EQ(AnimateControl::currentFrame(clip), -1) << s.what;
        } else if (s.frameAfter == -2) {
            EXPECT_GE(AnimateControl::currentFrame(clip), 0) << s.what;
        } else {
            // A single frame played once stays on the screen.
            auto seen = framesSeen(clip, std::chrono::milliseconds(300), 2);
            EXPECT_EQ(seen, std::set<int>{s.frameAfter}) << s.what;
        }
    }
}

TEST_F(Animation, TheClipsBackgroundIsTheDialogsFace) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = [](HWND dialog) { SendMessageA(GetDlgItem(dialog, 1001), ACM_OPENA, 0, IDR_CLIP); };
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    SendMessageA(clip, ACM_STOP, 0, 0);
    RECT client{0, 0, 0, 0};
    GetClientRect(clip, &client);
    // ACS_CENTER: the 260 x 40 frame sits in the middle of the control.
    int left = (client.right - 260) / 2;
    int top = (client.bottom - 40) / 2;
    POINT corner = screenPoint(clip, left, top);
    POINT folder = screenPoint(clip, left + 30, top + 30);
    POINT rightFolder = screenPoint(clip, left + 250, top + 30);
    EXPECT_EQ(pixel(corner.x, corner.y), RGB(192, 192, 192));
    EXPECT_EQ(pixel(folder.x, folder.y), RGB(255, 255, 0));
    EXPECT_EQ(pixel(rightFolder.x, rightFolder.y), RGB(255, 255, 0));
    for (int x = 0; x < client.right; ++x) {
        for (int y = 0; y < client.bottom; ++y) {
            POINT p = screenPoint(clip, x, y);
            ASSERT_NE(pixel(p.x, p.y), RGB(255, 0, 255)) << x << "," << y;
        }
    }
}

namespace {

// A digest of what the screen shows inside a window's client area.
uint64_t screenDigest(HWND window) {
    RECT client{0, 0, 0, 0};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    emu::gdi::FrameBuffer& screen = emu::gdi::screen();
    std::lock_guard<std::mutex> lock(screen.mutex());
    uint64_t digest = 1469598103934665603ull;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            digest = (digest ^ screen.pixel(origin.x + x, origin.y + y)) * 1099511628211ull;
        }
    }
    return digest;
}

} // namespace

TEST_F(Animation, KeepsMovingWhileTheProgramStepsTheBar) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = openAndLoopTheClip;
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND bar = GetDlgItem(dialog, 1000);
    HWND clip = GetDlgItem(dialog, 1001);
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, 5000));
    SendMessageA(bar, PBM_SETSTEP, 1, 0);
    SendMessageA(bar, PBM_SETPOS, 2000, 0);
    // The command handler's loop: step as fast as the bar answers, pump nothing.
    std::set<uint64_t> pictures;
    std::set<int> frames;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    long steps = 0;
    while (std::chrono::steady_clock::now() < end && pictures.size() < 4) {
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        if (++steps % 200 == 0) {
            frames.insert(AnimateControl::currentFrame(clip));
            pictures.insert(screenDigest(clip));
        }
    }
    EXPECT_GE(pictures.size(), 4u);
    EXPECT_GE(frames.size(), 3u);
    SendMessageA(clip, ACM_PLAY, 0, static_cast<LPARAM>(0xFFFFFFFFu));
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(Animation, NeverDrawsOverAWindowInFrontOfIt) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = [](HWND dialog) { SendMessageA(GetDlgItem(dialog, 1001), ACM_OPENA, 0, IDR_CLIP); };
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    // A window with a white client area over the middle of the clip, where the sheet flies.
    RECT area = windowRect(clip);
    int middle = (area.left + area.right) / 2;
    HWND cover = CreateWindowExA(0, kOwnerClass, "", WS_POPUP | WS_VISIBLE, middle - 60, area.top,
                                 120, area.bottom - area.top, launcher, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(cover, nullptr);
    UpdateWindow(cover);
    uint64_t covered = screenDigest(cover);
    // Long enough for the sheet to cross the covered middle.
    std::set<int> frames = framesSeen(clip, std::chrono::seconds(10), 12);
    EXPECT_GE(frames.size(), 12u);
    EXPECT_EQ(screenDigest(cover), covered);
    POINT inside = screenPoint(cover, 60, 10);
    EXPECT_EQ(pixel(inside.x, inside.y), RGB(255, 255, 255));
}
