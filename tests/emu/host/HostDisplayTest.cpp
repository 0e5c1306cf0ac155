#include "tests/support/UserFixture.h"

#include "platform/emu/host/HostDisplay.h"
#include "platform/emu/user/Look95.h"

#include <SDL.h>

#include <cstdlib>

namespace corvane_test {
namespace {

using Display = UserFixture;

// SDL's offscreen driver stands in for a display server.
TEST_F(Display, HostMouseAndKeysBecomeEmulatedInput) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    std::string error;
    auto display = emu::host::HostDisplay::open(800, 600, error);
    unsetenv("SDL_VIDEODRIVER");
    ASSERT_NE(display, nullptr) << error;
    HWND hwnd = topLevel(100, 100, 300, 200);
    ShowWindow(hwnd, SW_SHOW);
    pump();
    display->present();
    forget();
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    // The client point (10, 20) on the screen: past the window's frame and caption.
    RECT insets = emu::user::Look95::frameInsets(
        static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE)), false);
    motion.motion.x = 100 + insets.left + 10;
    motion.motion.y = 100 + insets.top + 20;
    SDL_PushEvent(&motion);
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.keysym.sym = SDLK_DOWN;
    SDL_PushEvent(&key);
    key.type = SDL_KEYUP;
    SDL_PushEvent(&key);
    EXPECT_TRUE(display->pumpEvents(100));
    pump();
    auto moves = seen(hwnd, {WM_MOUSEMOVE});
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].lParam, MAKELPARAM(10, 20));
    EXPECT_EQ(seenKinds(hwnd, {WM_KEYDOWN, WM_KEYUP}), (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    EXPECT_FALSE(display->pumpEvents(100));
}

} // namespace
} // namespace corvane_test
