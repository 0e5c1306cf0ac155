#include "platform/emu/user/HostInput.h"
#include "tests/support/UserFixture.h"

namespace corvane_test {

// A program that draws in a busy loop pumps no messages; the host learns of
// its drawing from the release of each device context on its own thread.
TEST_F(UserFixture, ReleasingAWindowContextTellsTheHost) {
    HWND window = topLevel(10, 10, 200, 100);
    int calls = 0;
    emu::user::setDrawnHandler([&calls] { ++calls; });
    HDC dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(calls, 1);
    // A context that was never handed out is not a drawing.
    EXPECT_EQ(ReleaseDC(window, nullptr), 0);
    EXPECT_EQ(calls, 1);
    emu::user::setDrawnHandler(nullptr);
    dc = GetDC(window);
    ReleaseDC(window, dc);
    EXPECT_EQ(calls, 1);
}

} // namespace corvane_test
