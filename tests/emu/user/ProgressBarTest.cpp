#include "tests/emu/user/DialogFixture.h"

#include <string>

using corvane_test::DialogFixture;

namespace {

class ProgressBar : public DialogFixture {
protected:
    void SetUp() override {
        DialogFixture::SetUp();
        m_owner = owner(100, 100, 400, 200);
        m_bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 30,
                                300, 20, m_owner, reinterpret_cast<HMENU>(1000),
                                GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_bar, nullptr);
    }

    LRESULT send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(m_bar, message, wParam, lParam);
    }
    // The position, read back through a PBM_SETPOS that puts it back.
    int position() {
        int pos = static_cast<int>(send(PBM_SETPOS, 0, 0));
        send(PBM_SETPOS, static_cast<WPARAM>(pos), 0);
        return pos;
    }

    HWND m_owner = nullptr;
    HWND m_bar = nullptr;
};

struct Step {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result; // what the message returns
    int positionAfter;
};

} // namespace

TEST_F(ProgressBar, MessagesFollowTheCommonControl) {
    const Step steps[] = {
        // Defaults: range 0..100, step 10, position 0.
        {PBM_SETRANGE, 0, MAKELPARAM(0, 5000), MAKELONG(0, 100), 0},
        {PBM_SETRANGE, 0, MAKELPARAM(0, 5000), MAKELONG(0, 5000), 0},
        {PBM_SETSTEP, 1, 0, 10, 0},
        {PBM_SETSTEP, 1, 0, 1, 0},
        {PBM_SETPOS, 2000, 0, 0, 2000},
        {PBM_STEPIT, 0, 0, 2000, 2001},
        {PBM_DELTAPOS, 999, 0, 2001, 3000},
        {PBM_SETPOS, 9000, 0, 3000, 5000},
        {PBM_SETPOS, static_cast<WPARAM>(-5), 0, 5000, 0},
        {PBM_SETPOS, 5000, 0, 0, 5000},
        // Past the upper bound the bar starts over from the lower one.
        {PBM_STEPIT, 0, 0, 5000, 1},
        {PBM_SETSTEP, 700, 0, 1, 1},
        {PBM_SETPOS, 4900, 0, 1, 4900},
        {PBM_STEPIT, 0, 0, 4900, 600},
        // A range that no longer holds the position pulls it in.
        {PBM_SETRANGE, 0, MAKELPARAM(100, 200), MAKELONG(0, 5000), 200},
        {PBM_SETPOS, 50, 0, 200, 100},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE("message " + std::to_string(s.message) + " wParam " +
                     std::to_string(static_cast<long long>(s.wParam)));
        EXPECT_EQ(send(s.message, s.wParam, s.lParam), s.result);
        EXPECT_EQ(position(), s.positionAfter);
    }
}

TEST_F(ProgressBar, BoundsAreSixteenBitsEach) {
    // MAKELPARAM keeps the low 16 bits of each bound: 70000 arrives as 4464.
    send(PBM_SETRANGE, 0, MAKELPARAM(70000, 70100));
    EXPECT_EQ(send(PBM_SETRANGE, 0, MAKELPARAM(0, 65535)), MAKELONG(4464, 4564));
    EXPECT_EQ(position(), 4464);
    // The whole unsigned 16-bit range is usable.
    send(PBM_SETPOS, 65535, 0);
    EXPECT_EQ(position(), 65535);
    EXPECT_EQ(send(PBM_SETRANGE, 0, 0), MAKELONG(0, 65535));
}

TEST_F(ProgressBar, SteppingPastTheEndWrapsEveryTime) {
    send(PBM_SETRANGE, 0, MAKELPARAM(0, 10));
    send(PBM_SETSTEP, 1, 0);
    std::string seen;
    for (int i = 0; i < 23; ++i) {
        send(PBM_STEPIT, 0, 0);
        seen += std::to_string(position()) + " ";
    }
    EXPECT_EQ(seen, "1 2 3 4 5 6 7 8 9 10 1 2 3 4 5 6 7 8 9 10 1 2 3 ");
}

TEST_F(ProgressBar, EveryChangeIsOnTheScreenAtOnce) {
    // No message is pumped: the bar draws as its position changes.
    RECT client{0, 0, 0, 0};
    GetClientRect(m_bar, &client);
    const COLORREF chunk = RGB(0, 0, 128);
    const COLORREF face = RGB(192, 192, 192);
    auto countChunkColumns = [&] {
        int columns = 0;
        for (int x = 0; x < client.right; ++x) {
            POINT p = screenPoint(m_bar, x, client.bottom / 2);
            columns += pixel(p.x, p.y) == chunk;
        }
        return columns;
    };
    send(PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    send(PBM_SETPOS, 50, 0);
    int half = countChunkColumns();
    EXPECT_GT(half, client.right / 4);
    EXPECT_LT(half, client.right / 2);
    POINT right = screenPoint(m_bar, client.right - 6, client.bottom / 2);
    EXPECT_EQ(pixel(right.x, right.y), face);
    send(PBM_SETPOS, 100, 0);
    EXPECT_GT(countChunkColumns(), half * 3 / 2);
    send(PBM_SETPOS, 0, 0);
    EXPECT_EQ(countChunkColumns(), 0);
}
