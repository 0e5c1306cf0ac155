#include "tests/emu/user/DialogFixture.h"

#include "platform/emu/gdi/ScreenAccess.h"
#include "platform/emu/kernel/ModuleResources.h"
#include "platform/emu/kernel/SystemInfo.h"
#include "platform/emu/user/HostInput.h"
#include "platform/emu/user/controls/AnimateControl.h"
#include "platform/emu/user/controls/AnimationPlayer.h"
#include "platform/emu/user/controls/AviClip.h"
#include "resources/resource.h"

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <set>
#include <thread>

using corvane_test::DialogFixture;
using emu::user::AnimateControl;

namespace {

// The machine keeps virtual time: the clip moves only as the tick counter
// does, so each test knows which frame shows when.
class Animation : public DialogFixture {
protected:
    void SetUp() override {
        m_machine.config().clock = emu::ClockMode::Virtual;
        DialogFixture::SetUp();
    }

    // The progress dialog over launcher with clip 132 opened in it (and so
    // playing: the control autoplays); the clip's control, NULL without one.
    HWND openClipOver(HWND launcher) {
        s_onInit = [](HWND dialog) {
            SendMessageA(GetDlgItem(dialog, 1001), ACM_OPENA, 0, IDR_CLIP);
        };
        HWND dialog = progressDialog(launcher);
        return dialog != nullptr ? GetDlgItem(dialog, 1001) : nullptr;
    }
};

constexpr LPARAM kWholeClip = static_cast<LPARAM>(0xFFFF0000u);

// The virtual tick at which the clip was last asked to play.
DWORD g_playedAt = 0;

// Asks the clip to play, noting when.
void play(HWND clip, WPARAM repeat, LPARAM range) {
    g_playedAt = *emu::kernel::virtualTick();
    SendMessageA(clip, ACM_PLAY, repeat, range);
}

// What the progress dialog does when it starts: open clip 132 and loop it.
void openAndLoopTheClip(HWND dialog) {
    HWND clip = GetDlgItem(dialog, 1001);
    SendMessageA(clip, ACM_OPENA, 0, IDR_CLIP);
    play(clip, static_cast<WPARAM>(-1), kWholeClip);
}

constexpr int kClipFrames = 17;

// One period of clip 132 in microseconds.
DWORD periodMicroseconds() {
    const std::vector<unsigned char>& bytes = emu::kernel::moduleResources().clips.at(IDR_CLIP);
    std::string why;
    auto clip = emu::user::AviClip::load(bytes.data(), bytes.size(), why);
    return clip == nullptr ? 0 : clip->microsecondsPerFrame();
}

// One period of clip 132 in whole milliseconds.
DWORD framePeriod() {
    return (periodMicroseconds() + 999) / 1000;
}

// The frame the control shows once its thread has caught up with the
// virtual clock.
int frameNow(HWND control) {
    emu::user::catchUpAnimations();
    return AnimateControl::currentFrame(control);
}

// Lets one period of virtual time pass.
void onePeriod() {
    emu::kernel::advanceVirtualClock(framePeriod());
}

// Virtual microseconds since the clip was last asked to play.
int64_t sincePlayed() {
    return int64_t{static_cast<DWORD>(*emu::kernel::virtualTick() - g_playedAt)} * 1000;
}

// Lets virtual time pass until `halves` half periods have passed since the
// clip was asked to play.
void advanceToHalfPeriods(int halves) {
    int64_t target = int64_t{halves} * periodMicroseconds() / 2;
    int64_t now = sincePlayed();
    if (target > now) {
        emu::kernel::advanceVirtualClock(static_cast<DWORD>((target - now + 999) / 1000));
    }
}

} // namespace

TEST_F(Animation, PlaysOnItsOwnThreadUntilAskedToPlayNothing) {
    HWND launcher = owner(100, 100, 560, 400);
    s_onInit = openAndLoopTheClip;
    HWND dialog = progressDialog(launcher);
    ASSERT_NE(dialog, nullptr);
    HWND clip = GetDlgItem(dialog, 1001);
    ASSERT_GT(framePeriod(), 0u);
    // The program's thread pumps nothing here; the frames move with the
    // clock, one a period, round the clip and on.
    EXPECT_EQ(AnimateControl::currentFrame(clip), 0);
    for (int step = 1; step <= kClipFrames + 3; ++step) {
        onePeriod();
        ASSERT_EQ(frameNow(clip), step % kClipFrames) << "step " << step;
    }
    // Host time alone moves nothing: three periods of it later the frame
    // is still the one the counter gave.
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * framePeriod()));
    EXPECT_EQ(frameNow(clip), 3);
    // Finish's request: repeat 0, from and to the last frame.
    EXPECT_EQ(SendMessageA(clip, ACM_PLAY, 0, static_cast<LPARAM>(0xFFFFFFFFu)), TRUE);
    int halted = AnimateControl::currentFrame(clip);
    emu::kernel::advanceVirtualClock(10 * framePeriod());
    EXPECT_EQ(frameNow(clip), halted);
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
    for (int frame = 1; frame <= 3; ++frame) {
        onePeriod();
        // Until the clip's thread has drawn the frame, the dialog keeps
        // changing under it.
        std::atomic<bool> drawn{false};
        std::thread waiter([&] {
            emu::user::catchUpAnimations();
            drawn = true;
        });
        while (!drawn) {
            EnableWindow(dialog, FALSE);
            EnableWindow(dialog, TRUE);
        }
        waiter.join();
        EXPECT_EQ(AnimateControl::currentFrame(clip), frame);
    }
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
            // A single frame played once stays on the screen, however much
            // time passes.
            EXPECT_EQ(frameNow(clip), s.frameAfter) << s.what;
            emu::kernel::advanceVirtualClock(3 * framePeriod());
            EXPECT_EQ(frameNow(clip), s.frameAfter) << s.what;
        }
    }
}

TEST_F(Animation, TheClipsBackgroundIsTheDialogsFace) {
    HWND launcher = owner(100, 100, 560, 400);
    HWND clip = openClipOver(launcher);
    ASSERT_NE(clip, nullptr);
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
    // The command handler's loop: step as fast as the bar answers, pump
    // nothing; its reads of the tick counter are what moves virtual time.
    ASSERT_EQ(frameNow(clip), 0);
    std::set<uint64_t> pictures{screenDigest(clip)};
    for (int frame = 1; frame <= 4; ++frame) {
        while (sincePlayed() < int64_t{frame} * periodMicroseconds()) {
            SendMessageA(bar, PBM_STEPIT, 0, 0);
            GetTickCount();
        }
        EXPECT_EQ(frameNow(clip), frame);
        pictures.insert(screenDigest(clip));
    }
    EXPECT_EQ(pictures.size(), 5u);
    SendMessageA(clip, ACM_PLAY, 0, static_cast<LPARAM>(0xFFFFFFFFu));
    EXPECT_TRUE(DestroyWindow(dialog));
}

TEST_F(Animation, NeverDrawsOverAWindowInFrontOfIt) {
    HWND launcher = owner(100, 100, 560, 400);
    HWND clip = openClipOver(launcher);
    ASSERT_NE(clip, nullptr);
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
    for (int frame = 1; frame <= 12; ++frame) {
        onePeriod();
        ASSERT_EQ(frameNow(clip), frame);
    }
    EXPECT_EQ(screenDigest(cover), covered);
    POINT inside = screenPoint(cover, 60, 10);
    EXPECT_EQ(pixel(inside.x, inside.y), RGB(255, 255, 255));
}

// The clip's time starts when ACM_PLAY is handled, not when its thread first
// runs: a thread held back while the clock moves on shows, once it runs, the
// frame due at each moment, as one that ran at once would.
TEST_F(Animation, ShowsTheFrameDueAtEachMomentHoweverLateItsThreadStarts) {
    HWND launcher = owner(100, 100, 560, 400);
    HWND clip = openClipOver(launcher);
    ASSERT_NE(clip, nullptr);
    ASSERT_GT(periodMicroseconds(), 0u);
    struct Check {
        int halves; // half periods since ACM_PLAY
        int frame;
    };
    struct Row {
        const char* what;
        WPARAM repeat;
        LPARAM range;
        int heldHalves; // how long the thread's first step is held back
        std::vector<Check> checks;
    };
    const Row rows[] = {
        {"the clip looped",
         static_cast<WPARAM>(-1),
         kWholeClip,
         5,
         {{5, 2}, {7, 3}, {9, 4}, {35, 0}, {37, 1}}},
        {"frames 3 to 5 twice",
         2,
         MAKELPARAM(3, 5),
         3,
         {{3, 4}, {5, 5}, {7, 3}, {11, 5}, {13, 5}, {40, 5}}},
        {"frames 3 to 5 twice, held past their end", 2, MAKELPARAM(3, 5), 15, {{15, 5}, {30, 5}}},
        {"frame 6 once", 1, MAKELPARAM(6, 6), 4, {{4, 6}, {9, 6}}},
        {"the clip looped, not held",
         static_cast<WPARAM>(-1),
         kWholeClip,
         0,
         {{1, 0}, {3, 1}, {5, 2}}},
    };
    for (const Row& row : rows) {
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        emu::user::AnimationPlayer::setFirstStepHook([released] { released.wait(); });
        play(clip, row.repeat, row.range);
        emu::user::AnimationPlayer::setFirstStepHook(nullptr);
        advanceToHalfPeriods(row.heldHalves);
        release.set_value();
        for (const Check& check : row.checks) {
            advanceToHalfPeriods(check.halves);
            EXPECT_EQ(frameNow(clip), check.frame)
                << row.what << ", " << check.halves << " half periods";
        }
    }
    EXPECT_TRUE(DestroyWindow(GetParent(clip)));
}
